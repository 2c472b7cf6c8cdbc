#include "vopack/internal/OstrelSegments.h"

#include <algorithm>
#include <cstring>

#include "vopack/internal/LittleEndian.h"
#include "vopack/internal/OstrelTokenWrite.h"

namespace ostrel::parallel {
namespace {

TRecord MakeRecord(TMatch m) { return static_cast<TRecord>(m.Length) | static_cast<TRecord>(m.Distance) << 16; }
int RecordLength(TRecord r) { return static_cast<int>(r & 0xFFFF); }
int RecordDistance(TRecord r) { return static_cast<int>(r >> 16); }
// Input bytes a record covers.
int RecordSpan(TRecord r) { return std::max(RecordLength(r), 1); }
// Bytes of its token in the stream.
int TokenBytes(TMatch m) {
    return m.Length == 0 ? 1 : 1 + (m.Length > ShortLengthMax) + (m.Length > ByteLengthMax) + (m.Distance > ShortDistanceMax);
}
int TokenBytes(TRecord r) { return TokenBytes(TMatch{RecordLength(r), RecordDistance(r)}); }

}  // namespace

void TParser::WarmUp(const TInputView& in, int pos) {
    if (pos <= FEntered) return;  // the stretch follows on the last one
    const int from = std::max(pos - WindowSize, FEntered);
    InsertPositions(FTables, in.At(from), from, pos - from, in.Size);
}

void ParseSegment(TParser& parser, const TInputView& in, TSegment& seg) {
    TRecord* out = seg.Records;
    std::int64_t bytes = 0;
    // A chain that ran into the segment is as good as one from its start.
    seg.First = std::max(seg.Start, std::min(parser.Entered(), seg.End));
    seg.Finish = seg.First < seg.End ? parser.Run(in, seg.First, seg.End,
                                                  [&](TMatch m) {
                                                      *out++ = MakeRecord(m);
                                                      bytes += TokenBytes(m);
                                                  })
                                     : seg.First;
    seg.Count = static_cast<int>(out - seg.Records);
    seg.Bytes = bytes;
}

std::int64_t TJoin::Join(const TInputView& in, TSegment& seg, std::int64_t out) {
    seg.FixupCount = 0;
    seg.FixupStart = FFrontier;
    seg.Accept = seg.Count;
    seg.AcceptStart = seg.Finish;
    std::int64_t bytes = 0;  // of the fix-up, then of the accepted records
    // Walk the segment's chain (j, at p) and the true chain (the frontier)
    // side by side until they stand on the same position.
    int j = 0;
    int p = seg.First;
    std::int64_t skipped = 0;  // token bytes of the records passed over
    while (FFrontier < seg.End) {
        while (j < seg.Count && p < FFrontier) {
            skipped += TokenBytes(seg.Records[j]);
            p += RecordSpan(seg.Records[j++]);
        }
        if (j < seg.Count && p == FFrontier) {
            seg.Accept = j;
            seg.AcceptStart = p;
            bytes += seg.Bytes - skipped;
            FFrontier = seg.Finish;
            break;
        }
        // The segment's chain stepped over the frontier: one true token.
        FFrontier = FParser.Run(in, FFrontier, FFrontier + 1, [&](TMatch m) {
            seg.Fixup[seg.FixupCount++] = MakeRecord(m);
            bytes += TokenBytes(m);
        });
    }
    const std::int64_t tokens = seg.FixupCount + (seg.Count - seg.Accept);
    seg.FirstToken = FTokens;
    seg.OutAt = out;
    seg.OutBytes = bytes + FlagWordSize * GroupsOpened(FTokens, tokens);
    FTokens += tokens;
    return out + seg.OutBytes;
}

namespace {

// Writes tokens one by one, opening a group's flag word before every 32nd
// token of the stream.
class TSegmentWriter {
public:
    TSegmentWriter(const TInputView& in, TSegment& seg, unsigned char* out)
        : FIn(in), FSeg(seg), FBase(out), FOut(out + seg.OutAt), FEnd(out + seg.OutAt + seg.OutBytes),
          FToken(seg.FirstToken) {}

    void Put(const TRecord* records, int count, int pos) {
        const unsigned char* at = FIn.At(pos);
        for (int i = 0; i < count; ++i) {
            const TRecord r = records[i];
            if ((FToken & (TokensPerGroup - 1)) == 0) Open();
            const int length = RecordLength(r);
            if (length == 0) {
                *FOut++ = *at++;
            } else {
                *FBits |= FirstFlagMask >> (FToken & (TokensPerGroup - 1));
                FOut = FEnd - FOut >= MaxTokenSize ? PutMatch(FOut, length, RecordDistance(r))
                                                   : PutLast(length, RecordDistance(r));
                at += length;
            }
            ++FToken;
        }
    }

    void Finish() {
        Close();
        FSeg.LeadBits = FLead;
        FSeg.LastSlot = FSlot != nullptr ? FSlot - FBase : -1;
    }

private:
    // A token at the end of the stretch, whose stray bytes must not touch
    // the next segment's (written by another thread).
    unsigned char* PutLast(int length, int distance) {
        unsigned char token[MaxTokenSize];
        const auto n = static_cast<std::size_t>(PutMatch(token, length, distance) - token);
        std::memcpy(FOut, token, n);
        return FOut + n;
    }
    void Open() {
        Close();
        FSlot = FOut;
        FOut += FlagWordSize;
        FGroup = 0;
        FBits = &FGroup;
    }
    void Close() {
        if (FSlot != nullptr) vopack::internal::StoreLE32(FSlot, FGroup);
    }

    const TInputView& FIn;
    TSegment& FSeg;
    unsigned char* FBase;
    unsigned char* FOut;
    unsigned char* FEnd;
    std::int64_t FToken;
    unsigned char* FSlot = nullptr;
    std::uint32_t FLead = 0;   // bits of the tokens before the first group it opens
    std::uint32_t FGroup = 0;  // bits of the group it opened last
    std::uint32_t* FBits = &FLead;
};

}  // namespace

void WriteSegment(const TInputView& in, TSegment& seg, unsigned char* out) {
    TSegmentWriter writer(in, seg, out);
    writer.Put(seg.Fixup, seg.FixupCount, seg.FixupStart);
    writer.Put(seg.Records + seg.Accept, seg.Count - seg.Accept, seg.AcceptStart);
    writer.Finish();
}

std::int64_t PatchFlags(TSegment* segs, int count, unsigned char* out, std::int64_t slot) {
    for (int i = 0; i < count; ++i) {
        const TSegment& seg = segs[i];
        if (seg.LeadBits != 0) {
            unsigned char* at = out + slot;
            vopack::internal::StoreLE32(at, vopack::internal::LoadLE32(at) | seg.LeadBits);
        }
        if (seg.LastSlot >= 0) slot = seg.LastSlot;
    }
    return slot;
}

}  // namespace ostrel::parallel
