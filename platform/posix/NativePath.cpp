#include "platform/posix/NativePath.h"

#include "platform/Cp932.h"

namespace plat::posix {

std::string NativePath(const char* path) {
    std::string native(path);
    for (std::string::size_type i = 0; i < native.size(); ++i) {
        if (IsCp932LeadByte(static_cast<unsigned char>(native[i]))) {
            ++i;  // the trail byte stays as it is, even 0x5C
        } else if (native[i] == '\\') {
            native[i] = '/';
        }
    }
    return native;
}

}  // namespace plat::posix
