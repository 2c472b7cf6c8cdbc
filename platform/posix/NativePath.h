// Paths arrive in the Win32 form the rest of the program builds ("dir\name");
// the POSIX back end turns them into native ones.
#pragma once

#include <string>

namespace plat::posix {

// Every single-byte "\" becomes "/"; a cp932 double-byte character (lead byte
// 0x81-0x9F or 0xE0-0xFC) is copied whole, so its second byte is never taken
// for a separator.
std::string NativePath(const char* path);

}  // namespace plat::posix
