#include "platform/posix/NativePath.h"

namespace plat::posix {

namespace {

bool IsCp932Lead(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace

std::string NativePath(const char* path) {
    std::string native(path);
    for (std::string::size_type i = 0; i < native.size(); ++i) {
        if (IsCp932Lead(static_cast<unsigned char>(native[i]))) {
            ++i;  // the trail byte stays as it is, even 0x5C
        } else if (native[i] == '\\') {
            native[i] = '/';
        }
    }
    return native;
}

}  // namespace plat::posix
