// Whole-file operations by path: copy, delete, existence and attributes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/Platform.h"
#include "platform/posix/Errors.h"
#include "platform/posix/NativePath.h"
#include "platform/posix/ShareModeOpen.h"
#include "platform/posix/UniqueFd.h"

namespace plat {

using namespace plat::posix;

namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;
constexpr int kOpenFileExists = 1;  // any positive value says "exists"

bool NoWriteBits(const struct stat& info) { return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

// Copies every byte of from (at its start) to to; errno on failure.
bool CopyBytes(int from, int to) {
    const std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyChunk]);
    if (!buffer) {
        errno = ENOMEM;
        return false;
    }
    for (;;) {
        const ssize_t got = ::read(from, buffer.get(), kCopyChunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        for (ssize_t put = 0; put < got;) {
            const ssize_t wrote = ::write(to, buffer.get() + put, static_cast<std::size_t>(got - put));
            if (wrote < 0 && errno == EINTR) continue;
            if (wrote <= 0) {
                if (wrote == 0) errno = ENOSPC;
                return false;
            }
            put += wrote;
        }
    }
}

// Finishes the destination as Win32 does: the source's permission bits (so a
// read-only source gives a read-only copy) and its last-write time.
bool TakeOverAttributes(int to, const struct stat& source) {
    (void)::fchmod(to, source.st_mode & 0777);  // a foreign owner's file keeps its mode
    const timespec times[2] = {{0, UTIME_NOW}, source.st_mtim};
    return ::futimens(to, times) == 0;
}

}  // namespace

BOOL CopyFileA(const char* source, const char* destination, BOOL failIfExists) {
    if (source == nullptr || destination == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    return Guarded(FALSE, [&]() -> BOOL {
        const std::string from = NativePath(source);
        const std::string to = NativePath(destination);
        // The source's shared lock also makes a copy onto itself fail as a
        // sharing conflict instead of truncating it.
        TShareModeOpen in = OpenWithShareMode(from, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        if (!in.Fd.Valid()) return Fail(FALSE, in.Error);
        struct stat info {};
        if (::fstat(in.Fd.Get(), &info) != 0) return FailWithErrno(FALSE, errno);

        TShareModeOpen out = OpenWithShareMode(to, GENERIC_WRITE, 0, failIfExists ? CREATE_NEW : CREATE_ALWAYS);
        if (!out.Fd.Valid()) return Fail(FALSE, out.Error);

        const bool copied = CopyBytes(in.Fd.Get(), out.Fd.Get()) && TakeOverAttributes(out.Fd.Get(), info);
        const int copyError = errno;
        const bool closed = out.Fd.Close();
        if (copied && closed) return TRUE;
        const int error = copied ? errno : copyError;
        if (!out.Existed) ::unlink(to.c_str());  // leave no half copy behind
        return FailWithErrno(FALSE, error);
    });
}

BOOL DeleteFileA(const char* path) {
    if (path == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    return Guarded(FALSE, [&]() -> BOOL {
        const std::string native = NativePath(path);
        struct stat info {};
        if (::lstat(native.c_str(), &info) != 0) return Fail(FALSE, ErrorFromErrno(errno, native));
        if (S_ISDIR(info.st_mode)) return Fail(FALSE, ERROR_ACCESS_DENIED);
        if (S_ISREG(info.st_mode)) {
            if (NoWriteBits(info)) return Fail(FALSE, ERROR_ACCESS_DENIED);
            // As on Win32, a file that a handle holds cannot be deleted: probe
            // for any share lock on it.
            const TUniqueFd probe(::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
            if (probe.Valid() && ::flock(probe.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
                return Fail(FALSE, ERROR_SHARING_VIOLATION);
        }
        if (::unlink(native.c_str()) != 0) return Fail(FALSE, ErrorFromErrno(errno, native));
        return TRUE;
    });
}

int OpenFile(const char* path, OFSTRUCT* info, UINT style) {
    auto fail = [info](DWORD code) {
        if (info != nullptr) info->nErrCode = static_cast<WORD>(code);
        return Fail(HFILE_ERROR, code);
    };
    if (info != nullptr) {
        std::memset(info, 0, sizeof *info);
        info->cBytes = sizeof *info;
        info->fFixedDisk = 1;
    }
    if (path == nullptr || style != OF_EXIST) return fail(ERROR_INVALID_PARAMETER);
    // The record holds OFS_MAXPATHNAME bytes with the terminator.
    if (std::strlen(path) >= static_cast<std::size_t>(OFS_MAXPATHNAME)) return fail(ERROR_FILENAME_EXCED_RANGE);
    return Guarded(HFILE_ERROR, [&]() -> int {
        const std::string native = NativePath(path);
        const TUniqueFd fd(::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        if (!fd.Valid()) return fail(ErrorFromErrno(errno, native));
        struct stat status {};
        if (::fstat(fd.Get(), &status) != 0) return fail(ErrorFromErrno(errno));
        if (S_ISDIR(status.st_mode)) return fail(ERROR_ACCESS_DENIED);
        if (info != nullptr) {
            std::string full = native;
            if (full.empty() || full.front() != '/') {
                char directory[4096];
                if (::getcwd(directory, sizeof directory) != nullptr) full = std::string(directory) + "/" + native;
            }
            const std::size_t length = std::min(full.size(), sizeof info->szPathName - 1);
            std::memcpy(info->szPathName, full.data(), length);
            info->szPathName[length] = '\0';
        }
        return kOpenFileExists;
    });
}

DWORD GetFileAttributesA(const char* path) {
    if (path == nullptr) return Fail(INVALID_FILE_ATTRIBUTES, ERROR_INVALID_PARAMETER);
    return Guarded(INVALID_FILE_ATTRIBUTES, [&]() -> DWORD {
        const std::string native = NativePath(path);
        struct stat info {};
        if (::stat(native.c_str(), &info) != 0) return Fail(INVALID_FILE_ATTRIBUTES, ErrorFromErrno(errno, native));
        if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
        // No write bit at all counts as read-only even for root, who may
        // write anything.
        const bool readOnly = NoWriteBits(info) || ::access(native.c_str(), W_OK) != 0;
        return FILE_ATTRIBUTE_ARCHIVE | (readOnly ? FILE_ATTRIBUTE_READONLY : 0);
    });
}

}  // namespace plat
