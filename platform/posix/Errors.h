// Translation of errno values into the Win32 codes GetLastError reports, and
// the guard that keeps C++ exceptions inside the back end.
#pragma once

#include <new>
#include <string>

#include "platform/Platform.h"

namespace plat::posix {

// The Win32 code for an errno value of a call on nativePath. ENOENT becomes
// ERROR_PATH_NOT_FOUND when the path's directory is missing too, as Win32
// tells the two apart.
DWORD ErrorFromErrno(int error);
DWORD ErrorFromErrno(int error, const std::string& nativePath);

// Sets the last error from errno (optionally for a path) and returns failure.
template <typename Result>
Result FailWithErrno(Result failure, int error) {
    SetLastError(ErrorFromErrno(error));
    return failure;
}

template <typename Result>
Result Fail(Result failure, DWORD code) {
    SetLastError(code);
    return failure;
}

// Runs body; an exception (only allocation can throw in the back end) becomes
// the failure result with ERROR_NOT_ENOUGH_MEMORY.
template <typename Result, typename Body>
Result Guarded(Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return Fail(failure, ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        return Fail(failure, ERROR_GEN_FAILURE);
    }
}

}  // namespace plat::posix
