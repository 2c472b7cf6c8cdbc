#include "platform/posix/Errors.h"

#include <sys/stat.h>

#include <cerrno>

namespace plat::posix {

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
        case ELOOP: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
        case ETXTBSY: return ERROR_ACCESS_DENIED;
        case EBADF: return ERROR_INVALID_HANDLE;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EEXIST: return ERROR_FILE_EXISTS;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return ERROR_DISK_FULL;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
        case ENOEXEC: return ERROR_BAD_FORMAT;
        default: return ERROR_GEN_FAILURE;
    }
}

DWORD ErrorFromErrno(int error, const std::string& nativePath) {
    if (error != ENOENT) return ErrorFromErrno(error);
    if (nativePath.empty()) return ERROR_PATH_NOT_FOUND;
    const std::string::size_type slash = nativePath.find_last_of('/');
    const std::string directory = slash == std::string::npos ? std::string(".")
                                  : slash == 0                ? std::string("/")
                                                              : nativePath.substr(0, slash);
    struct stat info {};
    const bool directoryExists = ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    return directoryExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

}  // namespace plat::posix
