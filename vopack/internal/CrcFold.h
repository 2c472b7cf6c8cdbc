// Carry-less multiply folding for TCrcCheck's long blocks (x86-64 with
// PCLMULQDQ; elsewhere the table path does all the work).
//
// A block of 16 bytes followed by more data can be replaced by its product
// with x^k mod P, because only the remainder mod P counts: folding 16 bytes
// at a time (four lanes at once) leaves 16 residual bytes whose CRC from 0
// equals the CRC of everything folded, start value included.
#pragma once

#include <cstdint>

namespace crcfold {

// Constants x^k mod P for one polynomial, each as a 64-bit value whose bit j
// is the coefficient of x^(63 - j) (the bit order of reflected data).
struct TFoldKeys {
    std::uint64_t x127, x191;  // fold across 16 bytes
    std::uint64_t x511, x575;  // fold across 64 bytes
};

// Folding needs at least this many bytes.
inline constexpr int MinFoldBytes = 64;

// Keys for the polynomial given in reflected form (0x8408, 0xC001, ...).
constexpr TFoldKeys MakeFoldKeys(std::uint16_t reflectedPoly) {
    std::uint32_t normal = 0;  // bit k: coefficient of x^k, x^16 left out
    for (int k = 0; k < 16; ++k)
        if (reflectedPoly & (1u << (15 - k))) normal |= 1u << k;
    auto power = [normal](int n) {
        std::uint32_t r = 1;  // x^0, multiplied by x n times mod P
        for (int i = 0; i < n; ++i) {
            r <<= 1;
            if (r & 0x10000u) r = (r ^ normal) & 0xFFFFu;
        }
        std::uint64_t ref = 0;
        for (int k = 0; k < 16; ++k)
            if (r & (1u << k)) ref |= std::uint64_t{1} << (63 - k);
        return ref;
    };
    return TFoldKeys{power(127), power(191), power(511), power(575)};
}

// True when this machine can fold (checked once).
bool CanFold();

// Folds the first count / 16 * 16 bytes of data (count >= MinFoldBytes, crc
// the running value) into residual; returns the number of bytes folded.
int Fold(const TFoldKeys& keys, std::uint16_t crc, const unsigned char* data, int count,
         unsigned char residual[16]);

}  // namespace crcfold
