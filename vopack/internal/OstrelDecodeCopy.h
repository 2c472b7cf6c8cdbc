// Wide copies for the decoder's token loop. They move whole 8- or 16-byte
// steps, so they may write past the bytes asked for (at most CopySlack - 1
// bytes); the decoder keeps that much room free behind every write in OutBuf
// and overwrites the extra bytes before anything reports them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ostrel::decode {

inline constexpr int CopySlack = 16;

// Fixed-size memcpy compiles to one unaligned load and store on every target.
inline void Copy8(unsigned char* dst, const unsigned char* src) { std::memcpy(dst, src, 8); }
inline void Copy16(unsigned char* dst, const unsigned char* src) { std::memcpy(dst, src, 16); }

// Copies length (at least 1) bytes from dst - distance (at least 1) to dst
// with the result of a byte-by-byte copy: a distance below the length
// repeats the last distance bytes.
inline void CopyMatch(unsigned char* dst, std::size_t distance, std::size_t length) {
    const unsigned char* src = dst - distance;
    if (distance >= 16) [[likely]] {
        // Each step reads only bytes that are final before it writes.
        Copy16(dst, src);
        for (std::size_t i = 16; i < length; i += 16) Copy16(dst + i, src + i);
        return;
    }
    if (distance >= 8) {
        Copy8(dst, src);
        for (std::size_t i = 8; i < length; i += 8) Copy8(dst + i, src + i);
        return;
    }
    if (distance == 1) {
        const std::uint64_t fill = dst[-1] * std::uint64_t{0x0101010101010101};
        for (std::size_t i = 0; i < length; i += 8) std::memcpy(dst + i, &fill, 8);
        return;
    }
    // A short period repeats at any multiple of itself: copy the first bytes
    // one by one, then 8 at a time from a multiple of at least 8 back.
    std::size_t period = distance;
    while (period < 8) period += distance;
    const std::size_t head = length < period - distance ? length : period - distance;
    for (std::size_t i = 0; i < head; ++i) dst[i] = src[i];
    for (std::size_t i = head; i < length; i += 8) Copy8(dst + i, dst + i - period);
}

}  // namespace ostrel::decode
