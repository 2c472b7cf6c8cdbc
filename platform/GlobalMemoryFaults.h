// A test hook for running out of global memory: the k-th GlobalAlloc or
// GlobalReAlloc after arming fails as if memory were exhausted (null,
// ERROR_NOT_ENOUGH_MEMORY; a failed GlobalReAlloc leaves its block as it
// was). Both back ends honour it. Process-wide; meant for single-threaded
// tests.
#pragma once

namespace plat {

// Arms the hook: the k-th allocation call from now fails (k >= 1), once;
// k = 0 disarms it. The call count starts again from 0 either way.
void FailGlobalAllocAt(long k);
// GlobalAlloc and GlobalReAlloc calls since the hook was last armed or disarmed.
long GlobalAllocCalls();

namespace internal {
// Counts one allocation call; true when it is the one that must fail.
bool GlobalAllocFaultDue();
}  // namespace internal

}  // namespace plat
