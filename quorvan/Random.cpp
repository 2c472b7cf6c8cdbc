#include <algorithm>

#include "quorvan/Quorvan.h"

namespace {

constexpr int kStateWords = 32;
constexpr int kLag = 7;  // the partner index runs this far ahead of the write index

// Word i is F(33 - i) mod 65536, F the Fibonacci numbers with F(1) = F(2) = 1.
constexpr std::uint16_t kSeed[kStateWords] = {
    51170, 15621, 35549, 45608, 55477, 55667, 65346, 55857, 9489, 46368, 28657,
    17711, 10946, 6765,  4181,  2584,  1597,  987,   610,   377,  233,   144,
    89,    55,    34,    21,    13,    8,     5,     3,     2,     1};

constexpr int kMaxNormalHalfWidth = 4096;
// 3 x 65535 + 1: three raw values scale into 0 .. 2n.
constexpr int kNormalDivisor = 196606;

int StepDown(int index) { return index == 0 ? kStateWords - 1 : index - 1; }

}  // namespace

TRandom::TRandom() : FWriteIndex(0), FPartnerIndex(kLag) { std::copy(std::begin(kSeed), std::end(kSeed), FState); }

std::uint16_t TRandom::Rnd() {
    const auto value = static_cast<std::uint16_t>(FState[FWriteIndex] + FState[FPartnerIndex]);
    FState[FWriteIndex] = value;
    FWriteIndex = StepDown(FWriteIndex);
    FPartnerIndex = StepDown(FPartnerIndex);
    return value;
}

int TRandom::Random(int n) {
    if (n < 1) return -1;
    unsigned int mask = 0;
    for (unsigned int m = static_cast<unsigned int>(n) - 1; m > 0; m /= 2) mask = 2 * mask + 1;
    const unsigned int drawMask = mask & 0xFFFFu;
    for (;;) {
        const unsigned int r = Rnd() & drawMask;
        if (r < static_cast<unsigned int>(n)) return static_cast<int>(r);
    }
}

int TRandom::NormalDistribution(int n) {
    if (n < 1 || n > kMaxNormalHalfWidth) return 0;
    int sum = Rnd();
    sum += Rnd();
    sum += Rnd();
    return sum * (2 * n + 1) / kNormalDivisor - n;
}
