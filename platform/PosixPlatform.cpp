// The POSIX back end's process and thread state, directories and the file
// time order. Files, global memory, memory status and the shell live in
// platform/posix/.
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/Platform.h"
#include "platform/posix/Errors.h"
#include "platform/posix/FileTime.h"

namespace plat {

using namespace plat::posix;

namespace {

thread_local DWORD tLastError = ERROR_SUCCESS;
std::atomic<UINT> gErrorMode{0};

// Where a Windows system keeps its run-time libraries; on POSIX the shared
// library directory every system has.
constexpr char kSystemDirectory[] = "/usr/lib";

// Win32 convention: the length written, or the size needed with the
// terminator when it does not fit (nothing written then).
DWORD CopyOut(const char* text, std::size_t length, char* buffer, DWORD size) {
    if (buffer == nullptr || size <= length) return static_cast<DWORD>(length + 1);
    std::memcpy(buffer, text, length + 1);
    return static_cast<DWORD>(length);
}

}  // namespace

DWORD GetLastError() { return tLastError; }

void SetLastError(DWORD code) { tLastError = code; }

UINT SetErrorMode(UINT mode) { return gErrorMode.exchange(mode); }

UINT GetSystemDirectoryA(char* buffer, UINT size) {
    return CopyOut(kSystemDirectory, sizeof kSystemDirectory - 1, buffer, size);
}

DWORD GetCurrentDirectoryA(DWORD size, char* buffer) {
    return Guarded(DWORD{0}, [&]() -> DWORD {
        std::string directory(256, '\0');
        while (::getcwd(directory.data(), directory.size()) == nullptr) {
            if (errno != ERANGE) return FailWithErrno(DWORD{0}, errno);
            directory.resize(directory.size() * 2);
        }
        return CopyOut(directory.c_str(), std::strlen(directory.c_str()), buffer, size);
    });
}

LONG CompareFileTime(const FILETIME* a, const FILETIME* b) {
    // A missing time counts as zero rather than being followed.
    const std::uint64_t left = a != nullptr ? FileTimeTicks(*a) : 0;
    const std::uint64_t right = b != nullptr ? FileTimeTicks(*b) : 0;
    return left < right ? -1 : left > right ? 1 : 0;
}

}  // namespace plat
