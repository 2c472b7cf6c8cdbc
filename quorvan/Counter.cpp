#include <algorithm>
#include <cstdint>
#include <limits>

#include "quorvan/Quorvan.h"

namespace {

// Sums are taken in 64 bits so that a step near the 32-bit limit still wraps
// correctly; only a result outside the 32-bit range is clamped.
int ClampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

}  // namespace

TCounter::TCounter() : FMaxVal(9999), FAddVal(1), FCount(0) {}

TCounter::TCounter(int maxVal) : FMaxVal(std::max(maxVal, 1)), FAddVal(1), FCount(0) {}

TCounter::TCounter(int maxVal, int addVal) : FMaxVal(std::max(maxVal, 1)), FAddVal(0), FCount(0) {
    SetAddVal(addVal);
}

void TCounter::SetMaxVal(int v) {
    FMaxVal = std::max(v, 1);
    FAddVal = std::min(FAddVal, FMaxVal);
    FCount = std::min(FCount, FMaxVal - 1);
}

void TCounter::SetAddVal(int v) { FAddVal = std::min(std::max(v, 0), FMaxVal); }

void TCounter::SetCount(int v) { FCount = std::min(v, FMaxVal); }

bool TCounter::AddVal(int v) {
    const std::int64_t sum = std::int64_t{FCount} + v;
    if (sum >= FMaxVal) {
        FCount = ClampToInt(sum - FMaxVal);
        return true;
    }
    FCount = ClampToInt(sum);
    return false;
}

bool TCounter::SubVal(int v) {
    const std::int64_t difference = std::int64_t{FCount} - v;
    if (difference < 0) {
        FCount = 0;
        return true;
    }
    FCount = ClampToInt(difference);
    return false;
}
