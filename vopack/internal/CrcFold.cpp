#include "vopack/internal/CrcFold.h"

#if (defined(__x86_64__) || defined(_M_X64)) && defined(__GNUC__)
#define CRCFOLD_CLMUL 1
#include <immintrin.h>
#endif

namespace crcfold {

#if defined(CRCFOLD_CLMUL)

namespace {

// The data's 64 bits after x are multiplied by hi, those before by lo (the
// earlier bytes sit in the low half of a little-endian load).
__attribute__((target("pclmul,sse2"))) inline __m128i FoldLane(__m128i x, __m128i keys) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, keys, 0x00), _mm_clmulepi64_si128(x, keys, 0x11));
}

__attribute__((target("sse2"))) inline __m128i Load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

bool CanFold() {
    static const bool can = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("pclmul") != 0;
    }();
    return can;
}

__attribute__((target("pclmul,sse2"))) int Fold(const TFoldKeys& keys, std::uint16_t crc,
                                                 const unsigned char* data, int count,
                                                 unsigned char residual[16]) {
    // Low qword of a key vector multiplies the earlier 8 bytes.
    const __m128i k16 = _mm_set_epi64x(static_cast<long long>(keys.x127), static_cast<long long>(keys.x191));
    const __m128i k64 = _mm_set_epi64x(static_cast<long long>(keys.x511), static_cast<long long>(keys.x575));
    // A start value is the same as zero with it XORed into the first two bytes.
    __m128i x0 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(crc));
    __m128i x1 = Load(data + 16);
    __m128i x2 = Load(data + 32);
    __m128i x3 = Load(data + 48);
    int done = 64;
    for (; count - done >= 64; done += 64) {
        x0 = _mm_xor_si128(FoldLane(x0, k64), Load(data + done));
        x1 = _mm_xor_si128(FoldLane(x1, k64), Load(data + done + 16));
        x2 = _mm_xor_si128(FoldLane(x2, k64), Load(data + done + 32));
        x3 = _mm_xor_si128(FoldLane(x3, k64), Load(data + done + 48));
    }
    __m128i x = _mm_xor_si128(FoldLane(x0, k16), x1);
    x = _mm_xor_si128(FoldLane(x, k16), x2);
    x = _mm_xor_si128(FoldLane(x, k16), x3);
    for (; count - done >= 16; done += 16) x = _mm_xor_si128(FoldLane(x, k16), Load(data + done));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(residual), x);
    return done;
}

#else

bool CanFold() { return false; }

int Fold(const TFoldKeys&, std::uint16_t, const unsigned char*, int, unsigned char*) { return 0; }

#endif

}  // namespace crcfold
