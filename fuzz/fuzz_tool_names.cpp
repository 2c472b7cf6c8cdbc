// The vopack tool's name functions on arbitrary bytes: an extraction name
// never leaves its folder, a pattern matches itself, the lookup key agrees
// with the name comparison, and cp932 text comes back through UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ToolNames.h"
#include "classlib/Cp932Utf8.h"

using namespace vopacktool;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string a = input.substr(0, split);
    const std::string b = split == std::string::npos ? std::string() : input.substr(split + 1);

    for (const bool windows : {false, true}) {
        const std::string name = ExtractionName(a, windows);
        if (name.empty()) continue;
        if (name == "." || name == ".." || name.find('/') != std::string::npos) std::abort();
        if (windows && (name.find('\\') != std::string::npos || name.find(':') != std::string::npos)) std::abort();
    }
    if (!MatchesMember(a, a) || !SameMemberName(a, a)) std::abort();
    if (SameMemberName(a, b) != (MemberLookupKey(a) == MemberLookupKey(b))) std::abort();
    (void)MatchesMember(a, b);
    if (DisplayName(a) == Cp932ToUtf8(a)) {
        std::string back;
        const std::string utf8 = Cp932ToUtf8(a);
        if (utf8.find("\xEF\xBF\xBD") == std::string::npos && (!Utf8ToCp932(utf8, back) || Cp932ToUtf8(back) != utf8))
            std::abort();
    }
    std::string member;
    (void)MemberNameFromUtf8(a, member);
    return 0;
}
