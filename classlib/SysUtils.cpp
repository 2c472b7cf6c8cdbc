#include "classlib/SysUtils.h"

#include <cstdint>
#include <string>

namespace {

// Calls visit(index) for the 0-based index of every single-byte character of
// s; a lead byte and the byte after it are passed over together.
template <class Visit>
void ForEachSingleByte(std::string_view s, Visit visit) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (IsCp932LeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) {
            ++i;
            continue;
        }
        visit(i);
    }
}

AnsiString MapSingleBytes(const AnsiString& s, char from, char to, int shift) {
    std::string out = s.str();
    ForEachSingleByte(out, [&](std::size_t i) {
        if (out[i] >= from && out[i] <= to) out[i] = static_cast<char>(out[i] + shift);
    });
    return AnsiString(std::move(out));
}

}  // namespace

bool IsTrailByte(const AnsiString& s, int index) {
    if (index < 2 || index > s.Length()) return false;
    // Only a walk from the start tells lead bytes from trail bytes.
    int p = 1;
    while (p < index) {
        if (IsCp932LeadByte(static_cast<unsigned char>(s[p]))) {
            if (p + 1 == index) return true;
            p += 2;
        } else {
            ++p;
        }
    }
    return false;
}

AnsiString AnsiUpperCase(const AnsiString& s) { return MapSingleBytes(s, 'a', 'z', 'A' - 'a'); }

AnsiString AnsiLowerCase(const AnsiString& s) { return MapSingleBytes(s, 'A', 'Z', 'a' - 'A'); }

int LastDelimiter(const AnsiString& delimiters, const AnsiString& s) {
    int last = 0;
    ForEachSingleByte(s.view(), [&](std::size_t i) {
        if (delimiters.view().find(s.view()[i]) != std::string_view::npos) last = static_cast<int>(i) + 1;
    });
    return last;
}

AnsiString IntToStr(int value) { return AnsiString(std::to_string(value)); }

AnsiString IntToHex(int value, int digits) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    auto bits = static_cast<std::uint32_t>(value);
    do {
        text.insert(text.begin(), kHex[bits & 0xF]);
        bits >>= 4;
    } while (bits != 0);
    if (digits > static_cast<int>(text.size())) text.insert(0, std::size_t(digits) - text.size(), '0');
    return AnsiString(std::move(text));
}
