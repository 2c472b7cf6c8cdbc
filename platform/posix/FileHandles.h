// The live file handles. A handle is an opaque number that is never reused,
// so a stale or made-up one is recognised and refused rather than followed.
#pragma once

#include <memory>

#include "platform/PlatformTypes.h"
#include "platform/posix/UniqueFd.h"

namespace plat::posix {

struct TOpenFile {
    TUniqueFd Fd;
    bool CanRead = false;
    bool CanWrite = false;
};

// Registers the file; never returns null or INVALID_HANDLE_VALUE. May throw
// std::bad_alloc.
HANDLE RegisterOpenFile(std::shared_ptr<TOpenFile> file);
// Null for a handle that is not open. The file stays open while the caller
// holds it, even if another thread closes the handle meanwhile.
std::shared_ptr<TOpenFile> FindOpenFile(HANDLE handle);
// False for a handle that is not open.
bool UnregisterOpenFile(HANDLE handle);

}  // namespace plat::posix
