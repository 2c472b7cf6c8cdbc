// The decoder's careful path: one token (or one run of literals) at a time,
// with every test. It takes the start of the stream, the tokens near every
// point where a call may end, and any token the fast path leaves to it, and
// it is the one that judges damage.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "vopack/internal/OstrelDecodeCopy.h"
#include "vopack/internal/OstrelDecodeCursor.h"
#include "vopack/StreamFormat.h"

namespace ostrel::decode {

// What a code byte says, so that a match token is parsed without branches:
// length = LengthAdd + (the bytes after the code & LengthMask), distance =
// DistanceBase + (the byte at DistanceShift / 8 & DistanceMask).
struct TCodeInfo {
    std::uint16_t LengthAdd;
    std::uint16_t LengthMask;
    std::uint16_t DistanceBase;
    std::uint8_t DistanceMask;
    std::uint8_t DistanceShift;  // 8 * offset of the distance byte from the code
    std::uint8_t Size;           // bytes of the token
};

struct TCodeTable {
    TCodeInfo Info[256];
};

constexpr TCodeTable MakeCodeTable() {
    TCodeTable t{};
    for (int code = 0; code < 256; ++code) {
        const int lengthClass = code >> 4;
        const int distanceClass = code & 15;
        const int lengthBytes = lengthClass == LengthClassWord ? 2 : lengthClass == LengthClassByte ? 1 : 0;
        const bool distanceByte = distanceClass >= DistanceClassByte;
        TCodeInfo& i = t.Info[code];
        i.LengthAdd = static_cast<std::uint16_t>(lengthBytes ? 0 : lengthClass + 1);
        i.LengthMask = static_cast<std::uint16_t>(lengthBytes == 2 ? 0xFFFF : lengthBytes == 1 ? 0xFF : 0);
        i.DistanceBase = static_cast<std::uint16_t>(DecodedDistance(distanceClass, 0));
        i.DistanceMask = distanceByte ? 0xFF : 0;
        i.DistanceShift = static_cast<std::uint8_t>(8 * (1 + lengthBytes));
        i.Size = static_cast<std::uint8_t>(1 + lengthBytes + (distanceByte ? 1 : 0));
    }
    return t;
}

inline constexpr TCodeTable CodeTable = MakeCodeTable();

// Literal runs (at most 32) are copied in two steps of this size.
inline constexpr int LiteralStep = TokensPerGroup / 2;

// One call's bounds, as offsets: into InBuf for the stream, from the output
// area (decoded position OutBase) for the output.
struct TCallBounds {
    const unsigned char* InBuf;
    std::ptrdiff_t InBufSize;
    std::ptrdiff_t LoadedAt;   // stream bytes in InBuf
    std::ptrdiff_t SrcFence;   // a literal run stops here: loaded end, or just past NeedAt
    unsigned char* Area;
    std::ptrdiff_t OutEnd;     // the call ends here: decoded size or just past the output limit
    int OutBase;               // decoded position of Area
    int DstSize;
};

// Decodes one token, or the run of literals that starts at the cursor, cut
// where one of the end-of-call tests would fire. Returns false on damage:
// the cursor then stands before the bad token (its group's flag word read
// into Bits), or after a match cut at the decoded size.
inline bool CarefulStep(TCursor& c, const TCallBounds& b) {
    // Near the end of the loaded stream a token is parsed from a zero-padded
    // copy and then checked against the bytes that really exist.
    const std::ptrdiff_t avail = b.LoadedAt - (c.In - b.InBuf);
    const int dstPos = b.OutBase + static_cast<int>(c.Out - b.Area);
    unsigned char pad[MaxGroupStepSize];
    const unsigned char* p = c.In;
    if (avail < MaxGroupStepSize) [[unlikely]] {
        std::memset(pad, 0, sizeof pad);
        std::memcpy(pad, c.In, static_cast<std::size_t>(std::max<std::ptrdiff_t>(avail, 0)));
        p = pad;
    }
    int used = 0;
    if (c.Index == 0) {
        c.Bits = Load32Le(p);
        c.Mask = FirstFlagMask;
        used = FlagWordSize;
    }
    int tokens;
    bool sound = true;
    if (c.Bits & c.Mask) {
        // Four bytes from the code on are always there (padded near the end).
        const std::uint32_t word = Load32Le(p + used);
        const TCodeInfo& info = CodeTable.Info[word & 0xFF];
        int length = info.LengthAdd + static_cast<int>((word >> 8) & info.LengthMask);
        const int distance = info.DistanceBase + static_cast<int>((word >> info.DistanceShift) & info.DistanceMask);
        used += info.Size;
        if (used > avail || length == 0 || length > MaxMatchLength || distance == 0 || distance > dstPos)
            return false;
        c.In += used;
        if (length > b.DstSize - dstPos) {
            length = b.DstSize - dstPos;
            sound = false;
        }
        CopyMatch(c.Out, static_cast<std::size_t>(distance), static_cast<std::size_t>(length));
        c.Out += length;
        tokens = 1;
    } else {
        if (used >= avail) return false;
        c.In += used;
        // Take the whole run of literals announced by clear flag bits.
        int run = std::min(std::countl_zero(c.Bits << c.Index), TokensPerGroup - c.Index);
        const std::ptrdiff_t room = std::min(b.SrcFence - (c.In - b.InBuf), b.OutEnd - (c.Out - b.Area));
        run = static_cast<int>(std::min<std::ptrdiff_t>(run, std::max<std::ptrdiff_t>(1, room)));
        if (c.In - b.InBuf + 2 * LiteralStep <= b.InBufSize) {
            // Whole steps: the bytes past the run land beyond the cursor and
            // are overwritten before anything reports them.
            std::memcpy(c.Out, c.In, LiteralStep);
            if (run > LiteralStep) std::memcpy(c.Out + LiteralStep, c.In + LiteralStep, LiteralStep);
        } else {
            std::memcpy(c.Out, c.In, static_cast<std::size_t>(run));
        }
        c.In += run;
        c.Out += run;
        tokens = run;
    }
    c.Index += tokens;
    if (c.Index == TokensPerGroup) {
        c.Index = 0;
        c.Mask = 1;
    } else {
        c.Mask >>= tokens;
    }
    return sound;
}

}  // namespace ostrel::decode
