#include "classlib/Cp932Utf8.h"

#include <cstdint>

#include "classlib/internal/Cp932Table.h"
#include "classlib/SysUtils.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {  // every cp932 character lies in the Basic Multilingual Plane
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsTrailRange(unsigned char b) { return b >= kCp932TrailFirst && b <= kCp932TrailLast && b != 0x7F; }

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
    std::string out;
    out.reserve(cp932.size() * 3 / 2);
    for (std::size_t i = 0; i < cp932.size(); ++i) {
        const auto b = static_cast<unsigned char>(cp932[i]);
        if (!IsCp932LeadByte(b)) {
            const char32_t c = kCp932SingleByte[b];
            AppendUtf8(out, c != 0 || b == 0 ? c : kReplacement);
            continue;
        }
        if (i + 1 >= cp932.size() || !IsTrailRange(static_cast<unsigned char>(cp932[i + 1]))) {
            AppendUtf8(out, kReplacement);
            continue;
        }
        const auto trail = static_cast<unsigned char>(cp932[++i]);
        const char32_t c = kCp932DoubleByte[Cp932LeadRow(b)][trail - kCp932TrailFirst];
        AppendUtf8(out, c != 0 ? c : kReplacement);
    }
    return out;
}
