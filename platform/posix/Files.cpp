// File handles: opening, reading, writing, positioning, sizes and times.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <memory>

#include "platform/Platform.h"
#include "platform/posix/Errors.h"
#include "platform/posix/FileHandles.h"
#include "platform/posix/FileTime.h"
#include "platform/posix/NativePath.h"
#include "platform/posix/ShareModeOpen.h"

namespace plat {

using namespace plat::posix;

namespace {

// read/write move at most this much per call on Linux anyway.
constexpr std::size_t kMaxTransfer = 0x7FFFF000;

// The open file behind handle, or null with ERROR_INVALID_HANDLE.
std::shared_ptr<TOpenFile> OpenFileOf(HANDLE handle) {
    std::shared_ptr<TOpenFile> file = FindOpenFile(handle);
    if (!file) SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

bool IsUnset(const FILETIME* time) {
    // Win32 leaves a time alone when it is null, zero or all ones.
    return time == nullptr || FileTimeTicks(*time) == 0 || FileTimeTicks(*time) == UINT64_MAX;
}

}  // namespace

HANDLE CreateFileA(const char* path, DWORD access, DWORD share, void* /*security*/, DWORD creation,
                   DWORD /*attributes*/, HANDLE /*templateFile*/) {
    if (path == nullptr) return Fail(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
    return Guarded(INVALID_HANDLE_VALUE, [&] {
        TShareModeOpen opened = OpenWithShareMode(NativePath(path), access, share, creation);
        if (!opened.Fd.Valid()) return Fail(INVALID_HANDLE_VALUE, opened.Error);
        auto file = std::make_shared<TOpenFile>();
        file->Fd = std::move(opened.Fd);
        file->CanRead = opened.CanRead;
        file->CanWrite = opened.CanWrite;
        HANDLE handle = RegisterOpenFile(std::move(file));
        const bool reportsExisting = creation == CREATE_ALWAYS || creation == OPEN_ALWAYS;
        SetLastError(reportsExisting && opened.Existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
        return handle;
    });
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* done, void* overlapped) {
    if (done != nullptr) *done = 0;
    const std::shared_ptr<TOpenFile> file = OpenFileOf(handle);
    if (!file) return FALSE;
    if (overlapped != nullptr || (buffer == nullptr && count != 0)) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (!file->CanRead) return Fail(FALSE, ERROR_ACCESS_DENIED);
    auto* bytes = static_cast<unsigned char*>(buffer);
    DWORD total = 0;
    while (total < count) {
        const std::size_t chunk = std::min<std::size_t>(count - total, kMaxTransfer);
        const ssize_t got = ::read(file->Fd.Get(), bytes + total, chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            if (done != nullptr) *done = total;
            return FailWithErrno(FALSE, errno);
        }
        if (got == 0) break;  // end of file
        total += static_cast<DWORD>(got);
    }
    if (done != nullptr) *done = total;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD count, DWORD* done, void* overlapped) {
    if (done != nullptr) *done = 0;
    const std::shared_ptr<TOpenFile> file = OpenFileOf(handle);
    if (!file) return FALSE;
    if (overlapped != nullptr || (buffer == nullptr && count != 0)) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (!file->CanWrite) return Fail(FALSE, ERROR_ACCESS_DENIED);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    DWORD total = 0;
    while (total < count) {
        const std::size_t chunk = std::min<std::size_t>(count - total, kMaxTransfer);
        const ssize_t put = ::write(file->Fd.Get(), bytes + total, chunk);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (done != nullptr) *done = total;
            return FailWithErrno(FALSE, put < 0 ? errno : ENOSPC);
        }
        total += static_cast<DWORD>(put);
    }
    if (done != nullptr) *done = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD method) {
    const std::shared_ptr<TOpenFile> file = OpenFileOf(handle);
    if (!file) return INVALID_SET_FILE_POINTER;
    const std::int64_t move =
        distanceHigh == nullptr
            ? std::int64_t{distance}
            : static_cast<std::int64_t>((std::uint64_t(std::uint32_t(*distanceHigh)) << 32) | std::uint32_t(distance));

    std::int64_t origin = 0;
    if (method == FILE_CURRENT) {
        const off_t current = ::lseek(file->Fd.Get(), 0, SEEK_CUR);
        if (current < 0) return FailWithErrno(INVALID_SET_FILE_POINTER, errno);
        origin = current;
    } else if (method == FILE_END) {
        struct stat info {};
        if (::fstat(file->Fd.Get(), &info) != 0) return FailWithErrno(INVALID_SET_FILE_POINTER, errno);
        origin = info.st_size;
    } else if (method != FILE_BEGIN) {
        return Fail(INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER);
    }
    if (move > 0 && origin > INT64_MAX - move) return Fail(INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER);
    const std::int64_t target = origin + move;
    if (target < 0) return Fail(INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK);
    // Without a high half the caller can only take a 32-bit position.
    if (distanceHigh == nullptr && target > std::int64_t{0xFFFFFFFF})
        return Fail(INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER);
    if (::lseek(file->Fd.Get(), static_cast<off_t>(target), SEEK_SET) < 0)
        return FailWithErrno(INVALID_SET_FILE_POINTER, errno);
    if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(target) >> 32);
    // A low half of 0xFFFFFFFF is then told from failure by the last error.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(target);
}

BOOL SetEndOfFile(HANDLE handle) {
    const std::shared_ptr<TOpenFile> file = OpenFileOf(handle);
    if (!file) return FALSE;
    if (!file->CanWrite) return Fail(FALSE, ERROR_ACCESS_DENIED);
    const off_t position = ::lseek(file->Fd.Get(), 0, SEEK_CUR);
    if (position < 0 || ::ftruncate(file->Fd.Get(), position) != 0) return FailWithErrno(FALSE, errno);
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, DWORD* high) {
    const std::shared_ptr<TOpenFile> file = OpenFileOf(handle);
    if (!file) return INVALID_FILE_SIZE;
    struct stat info {};
    if (::fstat(file->Fd.Get(), &info) != 0) return FailWithErrno(INVALID_FILE_SIZE, errno);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (high != nullptr) *high = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

BOOL CloseHandle(HANDLE handle) {
    return Guarded(FALSE, [&] { return UnregisterOpenFile(handle) ? TRUE : Fail(FALSE, ERROR_INVALID_HANDLE); });
}

BOOL GetFileTime(HANDLE handle, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
    const std::shared_ptr<TOpenFile> file = OpenFileOf(handle);
    if (!file) return FALSE;
    struct stat info {};
    if (::fstat(file->Fd.Get(), &info) != 0) return FailWithErrno(FALSE, errno);
    if (creation != nullptr) *creation = FileTimeFromTimespec(info.st_ctim);
    if (lastAccess != nullptr) *lastAccess = FileTimeFromTimespec(info.st_atim);
    if (lastWrite != nullptr) *lastWrite = FileTimeFromTimespec(info.st_mtim);
    return TRUE;
}

BOOL SetFileTime(HANDLE handle, const FILETIME* /*creation*/, const FILETIME* lastAccess,
                 const FILETIME* lastWrite) {
    const std::shared_ptr<TOpenFile> file = OpenFileOf(handle);
    if (!file) return FALSE;
    if (!file->CanWrite) return Fail(FALSE, ERROR_ACCESS_DENIED);
    timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_nsec = UTIME_OMIT;
    if (!IsUnset(lastAccess)) times[0] = TimespecFromFileTime(*lastAccess);
    if (!IsUnset(lastWrite)) times[1] = TimespecFromFileTime(*lastWrite);
    if (::futimens(file->Fd.Get(), times) != 0) return FailWithErrno(FALSE, errno);
    return TRUE;
}

}  // namespace plat
