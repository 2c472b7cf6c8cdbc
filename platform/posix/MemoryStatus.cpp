// The 32-bit memory status record from /proc/meminfo (sysinfo when it cannot
// be read) and the process's address space.
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Platform.h"

namespace plat {

namespace {

// The user half of a 48-bit address space, as x86-64 and AArch64 Linux give it.
constexpr std::uint64_t kUserAddressSpace = std::uint64_t{1} << 47;

struct TMemoryFigures {
    std::uint64_t TotalPhys = 0;
    std::uint64_t AvailPhys = 0;
    std::uint64_t TotalSwap = 0;
    std::uint64_t FreeSwap = 0;
};

DWORD Saturated(std::uint64_t value) { return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(value); }

// MemAvailable counts the page cache the kernel can give back, which is what
// "available" means to a program; sysinfo's freeram does not.
bool ReadMeminfo(TMemoryFigures& figures) {
    std::FILE* file = std::fopen("/proc/meminfo", "re");
    if (file == nullptr) return false;
    char line[256];
    int found = 0;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        char* colon = std::strchr(line, ':');
        if (colon == nullptr) continue;
        *colon = '\0';
        const char* name = line;
        char* end = nullptr;
        errno = 0;
        const unsigned long long kilobytes = std::strtoull(colon + 1, &end, 10);
        if (errno != 0 || end == colon + 1) continue;
        const std::uint64_t bytes = std::uint64_t{kilobytes} * 1024;
        if (std::strcmp(name, "MemTotal") == 0) figures.TotalPhys = bytes, ++found;
        else if (std::strcmp(name, "MemAvailable") == 0) figures.AvailPhys = bytes, ++found;
        else if (std::strcmp(name, "SwapTotal") == 0) figures.TotalSwap = bytes, ++found;
        else if (std::strcmp(name, "SwapFree") == 0) figures.FreeSwap = bytes, ++found;
    }
    std::fclose(file);
    return found == 4;
}

bool ReadSysinfo(TMemoryFigures& figures) {
    struct sysinfo info {};
    if (::sysinfo(&info) != 0) return false;
    const std::uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    figures.TotalPhys = std::uint64_t{info.totalram} * unit;
    figures.AvailPhys = (std::uint64_t{info.freeram} + info.bufferram) * unit;
    figures.TotalSwap = std::uint64_t{info.totalswap} * unit;
    figures.FreeSwap = std::uint64_t{info.freeswap} * unit;
    return true;
}

std::uint64_t AddressSpace() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < kUserAddressSpace)
        return limit.rlim_cur;
    return kUserAddressSpace;
}

// Bytes of address space the process has mapped (the first field of statm).
std::uint64_t MappedBytes() {
    std::FILE* file = std::fopen("/proc/self/statm", "re");
    if (file == nullptr) return 0;
    char text[64] = {};
    const bool got = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    char* end = nullptr;
    errno = 0;
    const unsigned long long pages = got ? std::strtoull(text, &end, 10) : 0;
    const bool read = got && errno == 0 && end != text;
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return read && pageSize > 0 ? pages * static_cast<std::uint64_t>(pageSize) : 0;
}

}  // namespace

void GlobalMemoryStatus(MEMORYSTATUS* status) {
    if (status == nullptr) return;
    TMemoryFigures figures;
    if (!ReadMeminfo(figures)) ReadSysinfo(figures);
    if (figures.AvailPhys > figures.TotalPhys) figures.AvailPhys = figures.TotalPhys;
    if (figures.FreeSwap > figures.TotalSwap) figures.FreeSwap = figures.TotalSwap;
    const std::uint64_t totalVirtual = AddressSpace();
    const std::uint64_t mapped = MappedBytes();

    status->dwLength = sizeof(MEMORYSTATUS);
    status->dwMemoryLoad =
        figures.TotalPhys == 0
            ? 0
            : static_cast<DWORD>((figures.TotalPhys - figures.AvailPhys) * 100 / figures.TotalPhys);
    status->dwTotalPhys = Saturated(figures.TotalPhys);
    status->dwAvailPhys = Saturated(figures.AvailPhys);
    // The commit limit: memory plus swap.
    status->dwTotalPageFile = Saturated(figures.TotalPhys + figures.TotalSwap);
    status->dwAvailPageFile = Saturated(figures.AvailPhys + figures.FreeSwap);
    status->dwTotalVirtual = Saturated(totalVirtual);
    status->dwAvailVirtual = Saturated(mapped < totalVirtual ? totalVirtual - mapped : 0);
}

}  // namespace plat
