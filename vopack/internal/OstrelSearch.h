// The encoder's fast match finder: the same (length, distance) as the
// exhaustive search wherever the stream depends on it, at a fraction of the
// work. Defined inline here because the encoder's token loop calls it for
// every token.
//
// The longest match at a position is found on the shortest list that can hold
// it, each list walked nearest-first:
//   - 3 bytes or more: the list of positions whose first three bytes hash
//     alike (Head3, then Chain3 and Skip3). The first true hit is the
//     nearest match of three bytes; after it a candidate counts only when it
//     is strictly longer than the best so far, so among equal lengths the
//     nearest wins. A candidate that can be longer must also hold the four
//     bytes ending just past the best length, so one 4-byte load turns most
//     of them away;
//   - exactly 2: the latest position holding the same two bytes (Head2);
//   - 1: the last 10 bytes (a one-byte match farther back is never written).
// A position's chain entry holds the list's previous position and its skip
// entry the one before that, so that a walk takes two steps per load it
// waits for. Walks stop once past the 1,535-byte window. Positions are
// absolute input positions, so the tables follow the input across Encode
// calls however the input buffer moves.
//
// Every input position is entered once, into both lists in one step: the
// encoder enters a token's first position while it searches there
// (FindMatchAndEnter shares the hash and the head loads) and the rest of the
// token afterwards (EnterMatchRest).
//
// Heads and entries keep only the low 16 bits of a position, read as the
// nearest position before with those bits. When the real latest entry lies
// 65,536 or more back, that names a wrong position. It is harmless: every
// candidate's bytes are compared before it is taken, and any window position
// with the bytes sought has been entered and would be the latest entry, so a
// wrong head (or a link made from one) means that no true entry is left in
// the window. Whatever it leads to fails the comparison, and every walk ends
// because each step must go farther back.
//
// 172,032 bytes, fixed.
#pragma once

#include "vopack/internal/LittleEndian.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "vopack/StreamFormat.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(__GNUC__)
#define OSTREL_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define OSTREL_ALWAYS_INLINE inline
#endif

struct TOstrelSearchTables {
    static constexpr int HashBits = 14;
    static constexpr int ChainSize = 2048;  // more than the window: entries live long enough

    std::uint16_t Head3[1 << HashBits];  // by a hash of three bytes
    // By position & (ChainSize - 1): the previous position on the position's
    // 3-byte list, and the one before that. Two arrays, not one of pairs:
    // each is stored from a value loaded before the position's own update,
    // so consecutive entries on one list (runs) do not wait on each other.
    std::uint16_t Chain3[ChainSize];
    std::uint16_t Skip3[ChainSize];
    std::uint16_t Head2[65536];  // by the two bytes b0 | b1 << 8
};

namespace ostrel {

// A search result: Length 0 means a literal.
struct TMatch {
    int Length;
    int Distance;
};

// Forget every position: the tables start a new input.
void ResetSearch(TOstrelSearchTables& tables);

// Enters input positions pos .. pos + count - 1 (data points at position pos,
// size is the input size). Every position before pos that a later window can
// reach must have been entered already. Positions that no later search can
// reach (more than 1,535 before pos + count) are left out, and each list only
// takes positions with enough input after them; a count of 0 or less enters
// nothing. Reads no byte at or beyond input position size.
inline void InsertPositions(TOstrelSearchTables& tables, const unsigned char* data, int pos, int count,
                            int size);

// Longest match for the input byte at data (position pos of size bytes), with
// every position before pos entered. For a length of 2 or more the result is
// exactly the exhaustive search's. Below that it gives length 1 with the
// nearest distance only when that distance is 1 to 10, else 0 and 0: the
// exhaustive search may return length 1 at a farther distance, but a
// one-byte match there costs a two-byte token and is written as a literal,
// so the stream is the same. Reads only the window and data .. data +
// min(8192, size - pos) - 1.
inline void FindLongestMatch(const TOstrelSearchTables& tables, const unsigned char* data, int pos,
                             int size, unsigned short& length, unsigned short& distance);

// Positions from WindowSize up to size - SteadyTail are the steady part of
// an input of size bytes: their window is whole and so is their longest
// possible match, with bytes to spare. The Steady forms below may be used
// there only, and are the same but quicker.
inline constexpr int SteadyTail = MaxMatchLength + 4;

// Enters the rest of a token: positions pos + 1 .. pos + length - 1, where
// data points at position pos (which has been entered); nothing for a length
// below 2. The same as InsertPositions(tables, data + 1, pos + 1, length - 1,
// size).
inline void EnterMatchRest(TOstrelSearchTables& tables, const unsigned char* data, int pos, int length, int size);
template <bool Steady>
void EnterMatchRest(TOstrelSearchTables& tables, const unsigned char* data, int pos, int length, int size);

// The same search, and then position pos is entered as InsertPositions(tables,
// data, pos, 1, size) would: the encoder's step for the first byte of every
// token. Whatever the result, every length it gives is written as a match.
// The second form hands the result to take and returns what take returns,
// with the length a constant where the search knows it (see Find); its
// window holds no position before windowStart (0 but in the encoder's test
// entry, where windowStart is a multiple of 65,536 and nothing before it was
// entered).
inline TMatch FindMatchAndEnter(TOstrelSearchTables& tables, const unsigned char* data, int pos, int size);
template <bool Steady, typename TTake>
auto FindMatchAndEnter(TOstrelSearchTables& tables, const unsigned char* data, int pos, int size, int windowStart,
                       TTake&& take);

namespace search_detail {

using TTables = TOstrelSearchTables;

// Farthest distance a one-byte match can be written at (a one-byte token).
inline constexpr int OneByteMatchReach = ShortDistanceMax;
inline constexpr int ChainMask = TTables::ChainSize - 1;
static_assert(TTables::ChainSize > WindowSize);

inline unsigned Pair(const unsigned char* p) { return p[0] | unsigned(p[1]) << 8; }
inline std::uint32_t Triple(const unsigned char* p) { return Pair(p) | std::uint32_t(p[2]) << 16; }

// Four (eight) bytes in input order as one value, low byte first.
inline std::uint32_t Load32(const unsigned char* p) { return vopack::internal::LoadLE32(p); }
inline std::uint64_t Load64(const unsigned char* p) { return vopack::internal::LoadLE64(p); }

// Hash of the three low bytes of v (the fourth is shifted out first).
inline unsigned Hash3(std::uint32_t v) { return ((v << 8) * 2654435761u) >> (32 - TTables::HashBits); }

// Index of the first differing byte of two 8-byte loads whose XOR is x != 0.
inline int FirstDifference(std::uint64_t x) {
    if constexpr (std::endian::native == std::endian::little)
        return std::countr_zero(x) >> 3;
    else
        return std::countl_zero(x) >> 3;
}

// Leading equal bytes of a and b, at most limit. b lies before a; the two may
// overlap, which is how a match reaches into the bytes it produces. Sixteen
// bytes a step where the machine compares them at once, so that most
// matches end in the first step.
inline int MatchLength(const unsigned char* a, const unsigned char* b, int limit) {
    int i = 0;
#if defined(__SSE2__)
    while (i + 16 <= limit) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const unsigned differ = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y))) & 0xFFFF;
        if (differ != 0) return i + std::countr_zero(differ);
        i += 16;
    }
#endif
    while (i + 8 <= limit) {
        const std::uint64_t x = Load64(a + i) ^ Load64(b + i);
        if (x != 0) return i + FirstDifference(x);
        i += 8;
    }
    while (i < limit && a[i] == b[i]) ++i;
    return i;
}

// Distance from q back to the position whose low 16 bits are head (the
// nearest such before q); 0 when head names q itself.
inline unsigned Back16(int q, std::uint16_t head) { return (static_cast<unsigned>(q) - head) & 0xFFFF; }

// Enters q on the 3-byte list whose head is head: the chain entry takes
// the head, the skip entry the head's own chain entry.
inline void Enter3(TTables& tables, std::uint16_t& head, int q) {
    const std::uint16_t was = head;
    tables.Chain3[q & ChainMask] = was;
    tables.Skip3[q & ChainMask] = tables.Chain3[was & ChainMask];
    head = static_cast<std::uint16_t>(q);
}

// First distance back from pos to head, or 0 when out of reach.
inline int FirstBack(std::uint16_t head, int pos, int reach) {
    const unsigned back = Back16(pos, head);
    return back - 1 < static_cast<unsigned>(reach) ? static_cast<int>(back) : 0;
}

// A walk along one 3-byte list, nearest first, one step at a time (the
// search near the end of the input). Each step must go farther back (a link
// made from a wrong head may not), which also bounds the walk by the window.
struct TWalk {
    const std::uint16_t* Chain;
    int Pos;
    int Reach;
    std::uint16_t At;  // low 16 bits of the candidate's position
    int Back;          // its distance; 0 once the walk is over

    TWalk(const std::uint16_t* chain, std::uint16_t head, int pos, int reach)
        : Chain(chain), Pos(pos), Reach(reach), At(head), Back(FirstBack(head, pos, reach)) {}

    void Next() {
        At = Chain[At & ChainMask];
        const int back = static_cast<int>(Back16(Pos, At));
        Back = back > Back && back <= Reach ? back : 0;
    }
};

// Nearest distance 1..min(reach, 10) holding the byte at data, or 0.
inline int NearestSameByte(const unsigned char* data, int reach) {
    const int near = std::min(reach, OneByteMatchReach);
    if (near == OneByteMatchReach) {
        // Distances 8 .. 1 in one word: a zero byte of x marks an equal byte.
        // The exact zero-byte test, so no borrow marks a neighbour.
        constexpr std::uint64_t Low7 = 0x7F7F7F7F7F7F7F7Full;
        const std::uint64_t x = Load64(data - 8) ^ (0x0101010101010101ull * data[0]);
        const std::uint64_t zero = ~(((x & Low7) + Low7) | x | Low7);
        if (zero != 0) {
            // The byte just before data is the last in memory.
            if constexpr (std::endian::native == std::endian::little)
                return 1 + (std::countl_zero(zero) >> 3);
            else
                return 1 + (std::countr_zero(zero) >> 3);
        }
        if (data[-9] == data[0]) return 9;
        return data[-10] == data[0] ? 10 : 0;
    }
    for (int back = 1; back <= near; ++back)
        if (data[-back] == data[0]) return back;
    return 0;
}

// The longest match of three bytes or more on the 3-byte bucket whose latest
// position has the low bits at, given the bytes at data (four of them:
// maxlen >= 4). Length 0 when no three bytes repeat. Written out on plain
// unsigned locals: this is the encoder's innermost loop.
OSTREL_ALWAYS_INLINE TMatch LongestOnChain(const TTables& tables, std::uint16_t at, const unsigned char* data,
                                           std::uint32_t quad, int pos, int reach, int maxlen) {
    const unsigned window = static_cast<unsigned>(reach);
    unsigned back = Back16(pos, at);
    // One step along the bucket: false once past the window, or when a link
    // made from a wrong head does not lead farther back.
    const auto step = [&]() {
        at = tables.Chain3[at & ChainMask];
        const unsigned next = Back16(pos, at);
        const bool on = next > back && next <= window;
        back = next;
        return on;
    };
    const auto holdsTriple = [&](unsigned cand) { return ((Load32(data - cand) ^ quad) & 0xFFFFFF) == 0; };
    // The nearest true three bytes (others only share the bucket). Whether
    // the head is in the window and whether it holds them is one question,
    // one branch: out of the window the probe reads data itself instead.
    const bool inWindow = back - 1 < window;
    if (!(inWindow & holdsTriple(inWindow ? back : 0))) {
        if (!inWindow) return {0, 0};
        do {
            if (!step()) return {0, 0};
        } while (!holdsTriple(back));
    }
    TMatch best{MatchLength(data, data - back, maxlen), static_cast<int>(back)};
    if (best.Length == maxlen) return best;
    // Farther ones count only when longer, so they must hold the four bytes
    // ending at index best.Length as well. Two candidates a round: the chain
    // and skip entries of one are loaded together, so the walk waits for
    // one load per two steps.
    const unsigned char* edgeAt = data + best.Length - 3;
    std::uint32_t edge = Load32(edgeAt);
    const auto consider = [&](unsigned cand) {
        if (Load32(edgeAt - cand) != edge) return false;
        const int len = MatchLength(data, data - cand, maxlen);
        if (len <= best.Length) return false;
        best = {len, static_cast<int>(cand)};
        if (len == maxlen) return true;
        edgeAt = data + len - 3;
        edge = Load32(edgeAt);
        return false;
    };
    for (;;) {
        const std::uint16_t at1 = tables.Chain3[at & ChainMask];
        const std::uint16_t at2 = tables.Skip3[at & ChainMask];
        const unsigned back1 = Back16(pos, at1);
        if (back1 <= back || back1 > window) break;
        if (consider(back1)) break;
        const unsigned back2 = Back16(pos, at2);
        if (back2 <= back1 || back2 > window) break;
        if (consider(back2)) break;
        at = at2;
        back = back2;
    }
    return best;
}

// The search for the last three positions of the input, where fewer than
// four bytes are left: at most a 3-byte match, taken from the lists as they
// are (nothing is entered).
inline TMatch FindNearEnd(const TTables& tables, const unsigned char* data, int pos, int maxlen, int reach) {
    if (maxlen >= 3) {
        const std::uint32_t triple = Triple(data);
        for (TWalk walk(tables.Chain3, tables.Head3[Hash3(triple)], pos, reach); walk.Back != 0; walk.Next())
            if (Triple(data - walk.Back) == triple) return {3, walk.Back};
    }
    if (maxlen >= 2) {
        const unsigned pair = Pair(data);
        const int back = FirstBack(tables.Head2[pair], pos, reach);
        if (back != 0 && Pair(data - back) == pair) return {2, back};
    }
    const int back = NearestSameByte(data, reach);
    return {back != 0 ? 1 : 0, back};
}

// The whole search; with EnterPos, position pos is entered on the way (its
// heads read first, so the walk starts before it). The result goes to take,
// and Find returns what take returns: each way out calls take on its own, so
// that once inlined, code after the search that depends on the length is
// compiled for the length each way gives (2 for the pair, 1 or 0 for the
// last bytes) and need not branch on it.
template <bool EnterPos, bool Steady, typename TTablesRef, typename TTake>
OSTREL_ALWAYS_INLINE auto Find(TTablesRef& tables, const unsigned char* data, int pos, int size, int windowStart,
                               TTake&& take) {
    // In the steady part of the input the window and the longest match are
    // whole, and the bounds below are constants.
    const int left = Steady ? SteadyTail : size - pos;
    const int reach = Steady ? WindowSize : std::min(pos - windowStart, WindowSize);
    if (!Steady && left < 4) {
        const TMatch m = left <= 0 || reach == 0 ? TMatch{0, 0} : FindNearEnd(tables, data, pos, left, reach);
        if constexpr (EnterPos) InsertPositions(tables, data, pos, 1, size);
        return take(m);
    }
    const std::uint32_t quad = Load32(data);
    const unsigned pair = quad & 0xFFFF;
    const unsigned bucket = Hash3(quad);
    const std::uint16_t head3 = tables.Head3[bucket];
    const std::uint16_t head2 = tables.Head2[pair];
    if constexpr (EnterPos) {
        tables.Chain3[pos & ChainMask] = head3;
        tables.Skip3[pos & ChainMask] = tables.Chain3[head3 & ChainMask];
        tables.Head3[bucket] = static_cast<std::uint16_t>(pos);
        tables.Head2[pair] = static_cast<std::uint16_t>(pos);
    }
    if (!Steady && reach == 0) return take(TMatch{0, 0});

    const TMatch m = LongestOnChain(tables, head3, data, quad, pos, reach, std::min(MaxMatchLength, left));
    if (m.Length != 0) return take(m);
    // No three bytes repeat, so the nearest two that do are the answer (one
    // branch again, as above).
    const unsigned back2 = Back16(pos, head2);
    const bool inWindow2 = back2 - 1 < static_cast<unsigned>(reach);
    if (inWindow2 & (Pair(data - (inWindow2 ? back2 : 0)) == pair)) return take(TMatch{2, static_cast<int>(back2)});
    const int back1 = NearestSameByte(data, reach);
    if (back1 != 0) return take(TMatch{1, back1});
    return take(TMatch{0, 0});
}

inline TMatch Identity(TMatch m) { return m; }

}  // namespace search_detail

inline void InsertPositions(TOstrelSearchTables& tables, const unsigned char* data, int pos, int count,
                            int size) {
    using namespace search_detail;
    const int left = size - pos;  // bytes from data on
    const int end = std::min(count, left);
    int i = count > WindowSize ? count - WindowSize : 0;
    for (const int full = std::min(end, left - 3); i < full; ++i) {
        const int q = pos + i;
        const std::uint32_t quad = Load32(data + i);
        tables.Head2[quad & 0xFFFF] = static_cast<std::uint16_t>(q);
        Enter3(tables, tables.Head3[Hash3(quad)], q);
    }
    // The last three input bytes: each list only where its bytes exist.
    for (; i < end; ++i) {
        const int q = pos + i;
        if (i + 2 <= left) tables.Head2[Pair(data + i)] = static_cast<std::uint16_t>(q);
        if (i + 3 <= left) Enter3(tables, tables.Head3[Hash3(Triple(data + i))], q);
    }
}

template <bool Steady>
OSTREL_ALWAYS_INLINE void EnterMatchRest(TOstrelSearchTables& tables, const unsigned char* data, int pos, int length,
                                         int size) {
    using namespace search_detail;
    if (length <= WindowSize && (Steady || size - pos >= length + 3)) {
        // Every position's four bytes lie inside the input.
        for (int i = 1; i < length; ++i) {
            const std::uint32_t quad = Load32(data + i);
            tables.Head2[quad & 0xFFFF] = static_cast<std::uint16_t>(pos + i);
            Enter3(tables, tables.Head3[Hash3(quad)], pos + i);
        }
    } else {
        InsertPositions(tables, data + 1, pos + 1, length - 1, size);
    }
}

inline void FindLongestMatch(const TOstrelSearchTables& tables, const unsigned char* data, int pos,
                             int size, unsigned short& length, unsigned short& distance) {
    const TMatch m = search_detail::Find<false, false>(tables, data, pos, size, 0, search_detail::Identity);
    length = static_cast<unsigned short>(m.Length);
    distance = static_cast<unsigned short>(m.Distance);
}

inline TMatch FindMatchAndEnter(TOstrelSearchTables& tables, const unsigned char* data, int pos, int size) {
    return search_detail::Find<true, false>(tables, data, pos, size, 0, search_detail::Identity);
}

template <bool Steady, typename TTake>
OSTREL_ALWAYS_INLINE auto FindMatchAndEnter(TOstrelSearchTables& tables, const unsigned char* data, int pos, int size,
                                            int windowStart, TTake&& take) {
    return search_detail::Find<true, Steady>(tables, data, pos, size, windowStart, take);
}

inline void EnterMatchRest(TOstrelSearchTables& tables, const unsigned char* data, int pos, int length, int size) {
    EnterMatchRest<false>(tables, data, pos, length, size);
}

}  // namespace ostrel
