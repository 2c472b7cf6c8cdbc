// The percentage every long operation of the pack reports.
#pragma once

#include <cstdint>

namespace vopack::internal {

// Totals above this are counted in 32 KiB units, so the product with 100
// stays within 32 bits.
inline constexpr std::int64_t ProgressExactLimit = 0x4000000;
inline constexpr std::int64_t ProgressUnit = 32768;

// done bytes of total as an integer percentage, truncating; 100 for an empty
// total.
constexpr int ProgressPercent(std::int64_t done, std::int64_t total) {
    if (total <= 0) return 100;
    if (total <= ProgressExactLimit) return static_cast<int>(done * 100 / total);
    return static_cast<int>((done / ProgressUnit * 100) / (total / ProgressUnit));
}

static_assert(ProgressPercent(1048576, 3000000) == 34 && ProgressPercent(2097152, 3000000) == 69);
static_assert(ProgressPercent(0x7FFFFFFF, 0x7FFFFFFF) == 100);

}  // namespace vopack::internal
