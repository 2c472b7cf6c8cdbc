// The decoder's fast path: whole groups of tokens decoded with no per-token
// limit tests while the cursor is far from every point where a call may end
// (closer to the output end, with one room test per token), past the first
// 1,535 bytes, where no distance can reach before the data. Anything unusual
// (a bad token, a long match that would come near the output end) is left,
// unread, to the careful path, so both paths give the same result.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "vopack/internal/OstrelDecodeCopy.h"
#include "vopack/internal/OstrelDecodeCursor.h"
#include "vopack/StreamFormat.h"

namespace ostrel::decode {

// Tokens without a length extension decode to at most this many bytes.
inline constexpr int ShortMatchMax = ShortLengthMax;
// Output one group of short tokens can add: a fast group starts only with
// more room than this before the call's output end.
inline constexpr int FastGroupOutput = TokensPerGroup * ShortMatchMax;
// Stream bytes one group can take, and the bytes a literal copy reads past them.
inline constexpr int FastGroupInput = FlagWordSize + TokensPerGroup * MaxTokenSize;
inline constexpr int LiteralOverread = 2 * 16;

// Where fast groups may start: In <= InLast, OutFirst <= Out <= OutLast.
// InLast keeps a whole group (and the literal overread) short of the loaded
// bytes and of the point where the call must ask for input; OutFirst keeps
// every distance inside the decoded history (1,535 bytes decoded); OutLast
// keeps a group of short tokens short of the decoded size and the output
// limit. Closer to them, groups are decoded with one test per token that
// keeps Out <= OutTokenLast before a literal run and its match, so that
// neither reaches the decoded size or the output limit.
struct TFastLimits {
    const unsigned char* InLast;
    const unsigned char* OutFirst;
    const unsigned char* OutLast;
    const unsigned char* OutTokenLast;
};

// Token t of a group on bit t (the stream puts it on bit 31 - t), so that
// the next match is the lowest set bit.
inline std::uint32_t ReverseBits(std::uint32_t v) {
    v = (v >> 1 & 0x55555555u) | (v & 0x55555555u) << 1;
    v = (v >> 2 & 0x33333333u) | (v & 0x33333333u) << 2;
    v = (v >> 4 & 0x0F0F0F0Fu) | (v & 0x0F0F0F0Fu) << 4;
    v = (v >> 8 & 0x00FF00FFu) | (v & 0x00FF00FFu) << 8;
    return v >> 16 | v << 16;
}

// Index of the lowest set bit of v, which is not 0.
inline std::size_t LowestSetBit(std::uint64_t v) {
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctzll(v));  // no test for 0
#else
    return static_cast<unsigned>(std::countr_zero(v));
#endif
}

// The code bytes of most match tokens: a length class without extension and
// a distance class with one byte E. Length holds their length and 0 for
// every other code; NegDistance holds minus the distance less E, -(D - 10) *
// 256, so that the source is out + NegDistance - E.
struct TCommonCodes {
    std::uint8_t Length[256];
    std::int64_t NegDistance[256];
};

constexpr TCommonCodes MakeCommonCodes() {
    TCommonCodes t{};
    for (int code = 0; code < 256; ++code) {
        const int lengthClass = code >> 4;
        const int distanceClass = code & 15;
        if (lengthClass < LengthClassByte && distanceClass >= DistanceClassByte) {
            t.Length[code] = static_cast<std::uint8_t>(DecodedLength(lengthClass, 0));
            t.NegDistance[code] = -DecodedDistance(distanceClass, 0);
        }
    }
    return t;
}

inline constexpr TCommonCodes CommonCodes = MakeCommonCodes();

// The index of the next token of a group, from the bits still ahead (token
// by token from bit 0, with the group's end as the highest bit).
inline int NextIndex(std::uint64_t ahead) { return TokensPerGroup + 1 - std::bit_width(ahead); }

// Decodes groups from the cursor on while the limits allow, testing the
// output room per group or, with TokenTests, per token; on return the cursor
// stands at a token boundary for the careful path to go on from.
template <bool TokenTests>
void DecodeFastGroups(TCursor& cursor, const TFastLimits& limits) {
    const unsigned char* const outLast = TokenTests ? limits.OutTokenLast : limits.OutLast;
    unsigned char* in = cursor.In;
    unsigned char* out = cursor.Out;
    std::uint32_t bits = cursor.Bits;
    std::uint32_t mask = cursor.Mask;
    int index = cursor.Index;
    std::uint64_t ahead;  // bit i: token i after the next one is a match; the group's end above them
    while (in <= limits.InLast && out >= limits.OutFirst && out <= outLast) {
        if (index == 0) {
            bits = Load32Le(in);
            in += FlagWordSize;
        }
        ahead = (std::uint64_t{ReverseBits(bits)} | std::uint64_t{1} << TokensPerGroup) >> index;
        for (;;) {
            // The literals before the next match (often none), in whole steps.
            const std::size_t run = LowestSetBit(ahead);
            if (TokenTests && static_cast<std::ptrdiff_t>(run) > outLast - out) goto leftOver;
            Copy16(out, in);
            if (run > 16) [[unlikely]]
                Copy16(out + 16, in + 16);
            in += run;
            out += run;
            ahead >>= run;
            if (ahead == 1) break;  // the group's end

            const std::uint32_t word = Load32Le(in);
            const std::uint32_t code = word & 0xFF;
            const std::size_t commonLength = CommonCodes.Length[code];
            if (commonLength != 0) [[likely]] {
                // Most tokens: a short length and a distance byte E.
                const std::ptrdiff_t negDistance = CommonCodes.NegDistance[code] - static_cast<std::ptrdiff_t>(in[1]);
                if (negDistance == 0) [[unlikely]]
                    goto leftOver;
                if (negDistance <= -16) [[likely]]
                    Copy16(out, out + negDistance);  // a short length is at most 14
                else
                    CopyMatch(out, static_cast<std::size_t>(-negDistance), commonLength);
                in += 2;
                out += commonLength;
            } else {
                std::size_t length;
                std::size_t distance;
                std::size_t size;
                if (code < LengthClassByte << 4) {
                    length = (code >> 4) + 1;
                    distance = (code & 15) + 1;
                    size = 1;
                } else {
                    const bool wordLength = code >= LengthClassWord << 4;
                    length = (word >> 8) & (wordLength ? 0xFFFF : 0xFF);
                    size = wordLength ? 3 : 2;
                    const std::uint32_t distanceClass = code & 15;
                    if (distanceClass < DistanceClassByte) {
                        distance = distanceClass + 1;
                    } else {
                        distance = (distanceClass - DistanceClassByte) << 8 | ((word >> (8 * size)) & 0xFF);
                        ++size;
                    }
                    // Length 0 or over the maximum and distance 0 are damage;
                    // a long match close to the output end may end the call.
                    // All are the careful path's to judge.
                    if (length - 1 >= static_cast<std::size_t>(MaxMatchLength) || distance == 0 ||
                        static_cast<std::ptrdiff_t>(length) > outLast - out)
                        goto leftOver;
                }
                CopyMatch(out, distance, length);
                in += size;
                out += length;
            }
            ahead >>= 1;
        }
        index = 0;
        mask = 1;
    }
    cursor = {in, out, bits, mask, index};
    return;

leftOver:
    index = NextIndex(ahead);
    if (index == TokensPerGroup) {
        // Stopped at the group's end: the next token starts a new group.
        cursor = {in, out, bits, 1, 0};
        return;
    }
    // Stopped before the group's first token: the careful path reads the
    // flag word again.
    if (index == 0) in -= FlagWordSize;
    cursor = {in, out, bits, FirstFlagMask >> index, index};
}

}  // namespace ostrel::decode
