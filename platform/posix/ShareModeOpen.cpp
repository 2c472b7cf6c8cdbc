#include "platform/posix/ShareModeOpen.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/posix/Errors.h"

namespace plat::posix {

namespace {

constexpr DWORD kGenericAll = 0x10000000u;

int OpenRetrying(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The flock operation that stands for this access and share mode, or 0.
int LockFor(bool reads, bool writes, DWORD share) {
    if (!reads && !writes) return 0;
    if (writes || (share & FILE_SHARE_READ) == 0) return LOCK_EX;
    if ((share & FILE_SHARE_WRITE) == 0) return LOCK_SH;
    return 0;
}

bool Truncates(DWORD creation, bool existed) {
    return creation == TRUNCATE_EXISTING || (creation == CREATE_ALWAYS && existed);
}

}  // namespace

TShareModeOpen OpenWithShareMode(const std::string& nativePath, DWORD access, DWORD share,
                                 DWORD creation) {
    TShareModeOpen result;
    result.CanRead = (access & (GENERIC_READ | kGenericAll)) != 0;
    result.CanWrite = (access & (GENERIC_WRITE | kGenericAll)) != 0;
    if (creation < CREATE_NEW || creation > TRUNCATE_EXISTING ||
        (creation == TRUNCATE_EXISTING && !result.CanWrite)) {
        result.Error = ERROR_INVALID_PARAMETER;
        return result;
    }

    // Non-blocking while opening, so that a FIFO cannot hang the call; it is
    // refused below anyway.
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    flags |= result.CanWrite ? (result.CanRead ? O_RDWR : O_WRONLY) : O_RDONLY;

    int fd = -1;
    if (creation == CREATE_NEW) {
        fd = OpenRetrying(nativePath, flags | O_CREAT | O_EXCL);
    } else if (creation == OPEN_EXISTING || creation == TRUNCATE_EXISTING) {
        fd = OpenRetrying(nativePath, flags);
        result.Existed = fd >= 0;
    } else {
        // Open first, create only if missing: whether the file existed
        // decides the last error and whether it is truncated.
        for (int attempt = 0; attempt < 8; ++attempt) {
            fd = OpenRetrying(nativePath, flags);
            if (fd >= 0) {
                result.Existed = true;
                break;
            }
            if (errno != ENOENT) break;
            fd = OpenRetrying(nativePath, flags | O_CREAT | O_EXCL);
            if (fd >= 0 || errno != EEXIST) break;  // EEXIST: created meanwhile, open that
        }
    }
    if (fd < 0) {
        result.Error = ErrorFromErrno(errno, nativePath);
        return result;
    }
    result.Fd.Reset(fd);

    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        result.Error = ErrorFromErrno(errno);
        result.Fd.Reset();
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.Error = ERROR_ACCESS_DENIED;
        result.Fd.Reset();
        return result;
    }

    if (const int lock = LockFor(result.CanRead, result.CanWrite, share); lock != 0) {
        int locked;
        do {
            locked = ::flock(fd, lock | LOCK_NB);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            result.Error = errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : ErrorFromErrno(errno);
            result.Fd.Reset();
            return result;
        }
    }

    // Only now that the lock is held may an existing file lose its contents.
    if (Truncates(creation, result.Existed) && ::ftruncate(fd, 0) != 0) {
        result.Error = ErrorFromErrno(errno);
        result.Fd.Reset();
        return result;
    }

    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        result.Error = ErrorFromErrno(errno);
        result.Fd.Reset();
        return result;
    }
    return result;
}

}  // namespace plat::posix
