#include "platform/GlobalMemoryFaults.h"

#include <atomic>

namespace plat {

namespace {
std::atomic<long> FailAt{0};
std::atomic<long> Calls{0};
}  // namespace

void FailGlobalAllocAt(long k) {
    Calls = 0;
    FailAt = k < 0 ? 0 : k;
}

long GlobalAllocCalls() { return Calls; }

namespace internal {
bool GlobalAllocFaultDue() {
    const long n = ++Calls;
    const long at = FailAt;
    return at > 0 && n == at;
}
}  // namespace internal

}  // namespace plat
