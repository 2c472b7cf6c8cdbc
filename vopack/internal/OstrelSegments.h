// The parallel encoder's pieces. The parse is a chain of token starts, each
// token a function of the input and its position alone, so a segment's chain
// can be found from the segment's start on its own thread. Joining the
// segments in order, the true chain enters a segment at its frontier; where
// the segment's own chain also passes through that position, the rest of it
// is the true chain, else tokens are found from the frontier (the fix-up)
// until the two meet. Then each segment writes its tokens, flag words
// placed by their index in the whole stream, into its own stretch of the
// output.
#pragma once

#include <cstdint>

#include "vopack/StreamFormat.h"
#include "vopack/internal/OstrelSearch.h"

namespace ostrel::parallel {

// A token as the parse finds it: length | distance << 16; 0 is a literal.
using TRecord = std::uint32_t;

// The input of one round: position p lies at Data + (p - First), for the
// positions the round may touch; Size is the whole input's size.
struct TInputView {
    const unsigned char* Data;
    int First;
    int Size;
    const unsigned char* At(int pos) const { return Data + (pos - First); }
};

// A match finder that parses stretches of one input in increasing order,
// entering the window before each stretch that does not follow on the last.
class TParser {
public:
    explicit TParser(TOstrelSearchTables& tables) : FTables(tables) {}
    // Tokens from pos while their start lies before until; each goes to emit
    // (TMatch; length 0 a literal). Returns the position after the last one.
    // pos may not lie before Entered().
    template <typename TEmit>
    int Run(const TInputView& in, int pos, int until, TEmit&& emit);
    // Where the last stretch ended: its chain goes on from there.
    int Entered() const { return FEntered; }

private:
    void WarmUp(const TInputView& in, int pos);
    TOstrelSearchTables& FTables;
    int FEntered = 0;  // every position before it that a window can reach is entered, once
};

struct TSegment {
    // Set by the round: token starts in [Start, End); Records and Fixup hold
    // Capacity records each (one per input byte of the segment, and one).
    int Start = 0;
    int End = 0;
    TRecord* Records = nullptr;
    TRecord* Fixup = nullptr;
    // The parse: Count records from First (Start, or where the same thread's
    // chain of the segment before entered this one), ending at Finish,
    // Bytes their token bytes.
    int First = 0;
    int Count = 0;
    int Finish = 0;
    std::int64_t Bytes = 0;
    // The join: the stream takes FixupCount fixup records from FixupStart,
    // then the records from Accept on (at AcceptStart); the segment's first
    // token is token FirstToken of the stream and its bytes, OutBytes of
    // them, flag words included, start at OutAt in the round's output.
    int FixupCount = 0;
    int FixupStart = 0;
    int Accept = 0;
    int AcceptStart = 0;
    std::int64_t FirstToken = 0;
    std::int64_t OutAt = 0;
    std::int64_t OutBytes = 0;
    // The writer: flag bits of its tokens in the group opened before it, and
    // where the last group it opened has its flag word (-1: none).
    std::uint32_t LeadBits = 0;
    std::int64_t LastSlot = -1;
};

// Records needed for a segment of n input bytes: one per byte, and one.
constexpr int RecordCapacity(int n) { return n + 1; }

// Finds the segment's chain from its start, or from where the parser's last
// chain entered it. Segments go to a parser in increasing order.
void ParseSegment(TParser& parser, const TInputView& in, TSegment& seg);

// The serial join, segment after segment over every round.
class TJoin {
public:
    explicit TJoin(TOstrelSearchTables& tables) : FParser(tables) {}
    // Decides what seg contributes and where (OutAt from out on), and
    // returns the offset after its bytes.
    std::int64_t Join(const TInputView& in, TSegment& seg, std::int64_t out);
    int Frontier() const { return FFrontier; }
    std::int64_t Tokens() const { return FTokens; }

private:
    TParser FParser;
    int FFrontier = 0;         // where the true chain's next token starts
    std::int64_t FTokens = 0;  // tokens of the stream so far
};

// Writes seg's tokens and the flag words of the groups they open at out +
// seg.OutAt, and nothing outside its OutBytes bytes.
void WriteSegment(const TInputView& in, TSegment& seg, unsigned char* out);

// Flag words opened before the first group start: the tokens' bits that the
// writer of each segment handed back go into the group open before it. slot
// is the offset of the flag word of the group open before the first segment
// (-1: none); returns that of the group open after the last.
std::int64_t PatchFlags(TSegment* segs, int count, unsigned char* out, std::int64_t slot);

// Flag words a stretch of count tokens opens when its first is token first
// of the stream.
constexpr std::int64_t GroupsOpened(std::int64_t first, std::int64_t count) {
    return (first + count + TokensPerGroup - 1) / TokensPerGroup - (first + TokensPerGroup - 1) / TokensPerGroup;
}

namespace segment_detail {

template <bool Steady, typename TEmit>
OSTREL_ALWAYS_INLINE int Step(TOstrelSearchTables& tables, const unsigned char* at, int pos, int size, TEmit& emit) {
    return FindMatchAndEnter<Steady>(tables, at, pos, size, 0, [&](TMatch m) {
        emit(m);
        EnterMatchRest<Steady>(tables, at, pos, m.Length, size);
        return m.Length + (m.Length == 0);
    });
}

}  // namespace segment_detail

template <typename TEmit>
int TParser::Run(const TInputView& in, int pos, int until, TEmit&& emit) {
    WarmUp(in, pos);
    const int size = in.Size;
    const int steadyLast = size - SteadyTail;
    const unsigned char* at = in.At(pos);
    while (pos < until) {
        const int taken = pos >= WindowSize && pos <= steadyLast
                              ? segment_detail::Step<true>(FTables, at, pos, size, emit)
                              : segment_detail::Step<false>(FTables, at, pos, size, emit);
        at += taken;
        pos += taken;
    }
    FEntered = pos;
    return pos;
}

}  // namespace ostrel::parallel
