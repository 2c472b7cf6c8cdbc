#include "vopack/OstrelSearch.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "vopack/StreamFormat.h"

namespace ostrel {
namespace {

// Farthest distance a one-byte match can be written at (a one-byte token).
constexpr int OneByteMatchReach = ShortDistanceMax;

inline unsigned Pair(const unsigned char* p) { return p[0] | unsigned(p[1]) << 8; }

inline std::uint64_t Load64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

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

}  // namespace

void ResetSearch(TOstrelSearchTables& tables) { std::memset(&tables, 0, sizeof tables); }

void InsertPositions(TOstrelSearchTables& tables, const unsigned char* data, int pos, int count,
                     int size) {
    const int skip = count > WindowSize ? count - WindowSize : 0;
    const int end = std::min(count, size - 1 - pos);  // the last byte has no pair
    for (int i = skip; i < end; ++i) {
        const int q = pos + i;
        const unsigned char* at = data + i;
        const unsigned pair = Pair(at);
        const int back = (q - tables.Head[pair]) & 0xFFFF;
        const bool linked = back >= 1 && back <= std::min(q, WindowSize) && Pair(at - back) == pair;
        tables.Chain[q & ChainMask] = static_cast<std::uint16_t>(linked ? back : 0);
        tables.Head[pair] = static_cast<std::uint16_t>(q);
    }
}

void FindLongestMatch(const TOstrelSearchTables& tables, const unsigned char* data, int pos,
                      int size, unsigned short& length, unsigned short& distance) {
    const int maxlen = std::min(MaxMatchLength, size - pos);
    const int reach = std::min(pos, WindowSize);
    length = 0;
    distance = 0;
    if (maxlen <= 0 || reach == 0) return;

    if (maxlen >= 2) {
        const unsigned pair = Pair(data);
        int back = (pos - tables.Head[pair]) & 0xFFFF;
        if (back >= 1 && back <= reach && Pair(data - back) == pair) {
            // Every candidate on the chain shares the pair, so the first one
            // already beats length 1.
            int bestLen = 1;
            int bestBack = 0;
            for (;;) {
                const unsigned char* cand = data - back;
                // A candidate can only win if it also matches the byte at the
                // current best length; most fail on that one load.
                if (cand[bestLen] == data[bestLen]) {
                    const int len = MatchLength(data, cand, maxlen);
                    if (len > bestLen) {
                        bestLen = len;
                        bestBack = back;
                        if (len == maxlen) break;
                    }
                }
                const int step = tables.Chain[(pos - back) & ChainMask];
                if (step == 0) break;
                back += step;
                if (back > reach) break;
            }
            length = static_cast<unsigned short>(bestLen);
            distance = static_cast<unsigned short>(bestBack);
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
