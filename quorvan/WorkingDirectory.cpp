#include <string_view>

#include "classlib/SysUtils.h"
#include "quorvan/internal/ShellExec.h"

namespace quorvan::internal {

AnsiString WorkingDirectoryOf(const AnsiString& path) {
    const std::string_view bytes = path.view();
    std::size_t kept = 0;       // bytes up to and including the last separator
    bool dropLast = false;      // that separator is a "\" to be dropped
    bool previousSingle = false;
    unsigned char previous = 0;  // the character before the current one, when single-byte
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (IsCp932LeadByte(b) && i + 1 < bytes.size()) {
            previousSingle = false;
            i += 2;
            continue;
        }
        if (b == '\\' || b == ':') {
            kept = i + 1;
            dropLast = b == '\\' && !(previousSingle && (previous == ':' || previous == '\\'));
        }
        previous = b;
        previousSingle = true;
        ++i;
    }
    if (dropLast) --kept;
    return AnsiString(bytes.substr(0, kept));
}

}  // namespace quorvan::internal
