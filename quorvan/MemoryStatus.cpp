#include "platform/Platform.h"
#include "quorvan/Quorvan.h"

namespace {

// Every query asks the platform anew.
plat::MEMORYSTATUS QueryMemoryStatus() {
    plat::MEMORYSTATUS status{};
    status.dwLength = sizeof(plat::MEMORYSTATUS);
    plat::GlobalMemoryStatus(&status);
    return status;
}

}  // namespace

unsigned int TotalPhysicalMemory() { return QueryMemoryStatus().dwTotalPhys; }
unsigned int AvailPhysicalMemory() { return QueryMemoryStatus().dwAvailPhys; }
unsigned int TotalVirtualMemory() { return QueryMemoryStatus().dwTotalVirtual; }
unsigned int AvailVirtualMemory() { return QueryMemoryStatus().dwAvailVirtual; }
