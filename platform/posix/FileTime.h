// FILETIME <-> timespec: 100 ns units since 1601-01-01 UTC, which lies
// 11644473600 s before the POSIX epoch.
#pragma once

#include <time.h>

#include <cstdint>

#include "platform/PlatformTypes.h"

namespace plat::posix {

inline constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
inline constexpr std::uint64_t kFileTimeTicksPerSecond = 10'000'000;

inline std::uint64_t FileTimeTicks(const FILETIME& time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

inline FILETIME FileTimeFromTicks(std::uint64_t ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// Times before 1601 become 0; times past the FILETIME range saturate.
inline FILETIME FileTimeFromTimespec(const timespec& time) {
    constexpr std::int64_t kLastSecond =
        static_cast<std::int64_t>(UINT64_MAX / kFileTimeTicksPerSecond) - kSecondsFrom1601To1970 - 1;
    if (time.tv_sec < -kSecondsFrom1601To1970) return FileTimeFromTicks(0);
    if (time.tv_sec > kLastSecond) return FileTimeFromTicks(UINT64_MAX);
    const auto seconds = static_cast<std::uint64_t>(time.tv_sec + kSecondsFrom1601To1970);
    return FileTimeFromTicks(seconds * kFileTimeTicksPerSecond + static_cast<std::uint64_t>(time.tv_nsec) / 100);
}

inline timespec TimespecFromFileTime(const FILETIME& time) {
    const std::uint64_t ticks = FileTimeTicks(time);
    timespec result{};
    result.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(ticks / kFileTimeTicksPerSecond) -
                                        kSecondsFrom1601To1970);
    result.tv_nsec = static_cast<long>(ticks % kFileTimeTicksPerSecond) * 100;
    return result;
}

}  // namespace plat::posix
