// Opening a regular file with Win32 access, share and creation rules, the
// share mode kept as a flock lock (the rule is in PlatformApi.h).
#pragma once

#include <string>

#include "platform/Platform.h"
#include "platform/posix/UniqueFd.h"

namespace plat::posix {

struct TShareModeOpen {
    TUniqueFd Fd;        // invalid on failure
    DWORD Error = 0;     // the Win32 code on failure
    bool Existed = false;  // the file was there before the call
    bool CanRead = false;
    bool CanWrite = false;
};

TShareModeOpen OpenWithShareMode(const std::string& nativePath, DWORD access, DWORD share,
                                 DWORD creation);

}  // namespace plat::posix
