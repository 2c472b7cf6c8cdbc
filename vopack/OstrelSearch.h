// The encoder's fast match finder: the same (length, distance) as the
// exhaustive search wherever the stream depends on it, at a fraction of the
// work. Defined inline here because the encoder's token loop calls it for
// every token.
//
// The longest match at a position is found on the shortest list that can hold
// it, each list walked nearest-first:
//   - 4 bytes or more: the chain of positions whose first four bytes hash
//     alike (Head4/Chain4), walked whole; a candidate counts only when it is
//     strictly longer than the best so far, so among equal lengths the nearest
//     wins;
//   - exactly 3: the first true hit on the 3-byte chain (Head3/Chain3);
//   - exactly 2: the latest position holding the same two bytes (Head2);
//   - 1: the last 10 bytes (a one-byte match farther back is never written).
// Chain entries are distances back to the previous position of the same
// bucket (walks stop once past the 1,535-byte window). Positions are
// absolute input positions, so the tables follow the input across Encode
// calls however the input buffer moves.
//
// Heads keep only the low 16 bits of a position, read as the
// nearest position before with those bits. When the real latest entry lies
// 65,536 or more back, that names a wrong position. It is harmless: every
// candidate's bytes are compared before it is taken, and any window position
// with the bytes sought has been entered and would be the latest entry, so a
// wrong head (or a link made from one) means that no true entry is left in
// the window.
// Whatever it leads to fails the comparison, and every walk ends because each
// step goes farther back.
//
// 172,032 bytes, fixed.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "vopack/StreamFormat.h"

struct TOstrelSearchTables {
    static constexpr int HashBits = 13;
    static constexpr int ChainSize = 2048;  // more than the window: entries live long enough

    std::uint16_t Head2[65536];          // by the two bytes b0 | b1 << 8
    std::uint16_t Head3[1 << HashBits];  // by a hash of three bytes
    std::uint16_t Head4[1 << HashBits];  // by a hash of four bytes
    std::uint16_t Chain3[ChainSize];     // by position & (ChainSize - 1)
    std::uint16_t Chain4[ChainSize];
};

namespace ostrel {

// Forget every position: the tables start a new input.
void ResetSearch(TOstrelSearchTables& tables);

// Enters input positions pos .. pos + count - 1 (data points at position pos,
// size is the input size). Every position before pos that a later window can
// reach must have been entered already. Positions that no later search can
// reach (more than 1,535 before pos + count) are left out, and each list only
// takes positions with enough input after them. Reads no byte at or beyond
// input position size.
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

namespace search_detail {

using TTables = TOstrelSearchTables;

// Farthest distance a one-byte match can be written at (a one-byte token).
inline constexpr int OneByteMatchReach = ShortDistanceMax;
inline constexpr int ChainMask = TTables::ChainSize - 1;
static_assert(TTables::ChainSize > WindowSize);

inline unsigned Pair(const unsigned char* p) { return p[0] | unsigned(p[1]) << 8; }
inline std::uint32_t Triple(const unsigned char* p) { return Pair(p) | std::uint32_t(p[2]) << 16; }

// Four bytes in input order as one value, low byte first.
inline std::uint32_t Load32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = (v >> 24) | (v >> 8 & 0xFF00u) | (v << 8 & 0xFF0000u) | (v << 24);
    return v;
}

inline std::uint64_t Load64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline unsigned Hash(std::uint32_t v) { return (v * 2654435761u) >> (32 - TTables::HashBits); }
// Three bytes moved to the top, so that their hash differs from the 4-byte
// hash of the same bytes and the two lists do not crowd buckets in step.
inline unsigned Hash3(std::uint32_t triple) { return Hash(triple << 8); }

// Index of the first differing byte of two 8-byte loads whose XOR is x != 0.
inline int FirstDifference(std::uint64_t x) {
    if constexpr (std::endian::native == std::endian::little)
        return std::countr_zero(x) >> 3;
    else
        return std::countl_zero(x) >> 3;
}

// Leading equal bytes of a and b, at most limit. b lies before a; the two may
// overlap, which is how a match reaches into the bytes it produces.
inline int MatchLength(const unsigned char* a, const unsigned char* b, int limit) {
    int i = 0;
    while (i + 8 <= limit) {
        const std::uint64_t x = Load64(a + i) ^ Load64(b + i);
        if (x != 0) return i + FirstDifference(x);
        i += 8;
    }
    while (i < limit && a[i] == b[i]) ++i;
    return i;
}

// Distance from q back to the position whose low 16 bits are head (the
// nearest such before q), or 0 when that lies outside the window.
inline unsigned Back16(int q, std::uint16_t head) { return (static_cast<unsigned>(q) - head) & 0xFFFF; }

inline void Enter(std::uint16_t& head, std::uint16_t* chain, int q) {
    chain[q & ChainMask] = static_cast<std::uint16_t>(Back16(q, head));
    head = static_cast<std::uint16_t>(q);
}

// First distance back from pos to head, or 0 when out of reach.
inline int FirstBack(std::uint16_t head, int pos, int reach) {
    const unsigned back = Back16(pos, head);
    return back - 1 < static_cast<unsigned>(reach) ? static_cast<int>(back) : 0;
}

// Next distance along a chain, or 0 past reach. A step of 0 can only come
// from a head that was never set and names q itself.
inline int NextBack(const std::uint16_t* chain, int pos, int back, int reach) {
    const int step = chain[(pos - back) & ChainMask];
    if (step == 0) return 0;
    back += step;
    return back <= reach ? back : 0;
}

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
        Enter(tables.Head3[Hash3(quad & 0xFFFFFF)], tables.Chain3, q);
        Enter(tables.Head4[Hash(quad)], tables.Chain4, q);
    }
    // The last three input bytes: each list only where its bytes exist.
    for (; i < end; ++i) {
        const int q = pos + i;
        if (i + 2 <= left) tables.Head2[Pair(data + i)] = static_cast<std::uint16_t>(q);
        if (i + 3 <= left) Enter(tables.Head3[Hash3(Triple(data + i))], tables.Chain3, q);
    }
}

inline void FindLongestMatch(const TOstrelSearchTables& tables, const unsigned char* data, int pos,
                             int size, unsigned short& length, unsigned short& distance) {
    using namespace search_detail;
    const int maxlen = std::min(MaxMatchLength, size - pos);
    const int reach = std::min(pos, WindowSize);
    length = 0;
    distance = 0;
    if (maxlen <= 0 || reach == 0) return;

    if (maxlen >= 4) {
        int bestLen = 3;
        int bestBack = 0;
        for (int back = FirstBack(tables.Head4[Hash(Load32(data))], pos, reach); back != 0;
             back = NextBack(tables.Chain4, pos, back, reach)) {
            const unsigned char* cand = data - back;
            // A candidate can only win if it also matches the four bytes
            // ending at the current best length; most fail on that one load,
            // among them every position of other four bytes that shares the
            // bucket (while the best is 3, these are the first four bytes).
            if (Load32(cand + bestLen - 3) != Load32(data + bestLen - 3)) continue;
            const int len = MatchLength(data, cand, maxlen);
            if (len > bestLen) {
                bestLen = len;
                bestBack = back;
                if (len == maxlen) break;
            }
        }
        if (bestBack != 0) {
            length = static_cast<unsigned short>(bestLen);
            distance = static_cast<unsigned short>(bestBack);
            return;
        }
    }

    if (maxlen >= 3) {
        // No four bytes repeat, so the nearest three that do are the answer.
        const std::uint32_t triple = Triple(data);
        for (int back = FirstBack(tables.Head3[Hash3(triple)], pos, reach); back != 0;
             back = NextBack(tables.Chain3, pos, back, reach)) {
            if (Triple(data - back) == triple) {
                length = 3;
                distance = static_cast<unsigned short>(back);
                return;
            }
        }
    }

    if (maxlen >= 2) {
        const unsigned pair = Pair(data);
        const int back = FirstBack(tables.Head2[pair], pos, reach);
        if (back != 0 && Pair(data - back) == pair) {
            length = 2;
            distance = static_cast<unsigned short>(back);
            return;
        }
    }

    const int near = std::min(reach, OneByteMatchReach);
    for (int back = 1; back <= near; ++back) {
        if (data[-back] == data[0]) {
            length = 1;
            distance = static_cast<unsigned short>(back);
            return;
        }
    }
}

}  // namespace ostrel
