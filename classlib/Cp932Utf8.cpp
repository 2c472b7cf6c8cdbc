#include "classlib/Cp932Utf8.h"

#include <array>
#include <cstdint>
#include <memory>

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

// Unicode (Basic Multilingual Plane) -> cp932 code: a single byte as 0x00XX,
// a pair as lead << 8 | trail; 0 where cp932 has no code (U+0000 is byte 0).
using TReverseTable = std::array<std::uint16_t, 0x10000>;

std::unique_ptr<TReverseTable> MakeReverseTable() {
    auto table = std::make_unique<TReverseTable>();
    table->fill(0);
    // Lead bytes in the order their codes win for a character that has several.
    static const unsigned char LeadRanges[][2] = {{0x81, 0x9F}, {0xE0, 0xEC}, {0xFA, 0xFC}, {0xED, 0xEE}, {0xEF, 0xF9}};
    for (const auto& range : LeadRanges) {
        for (int lead = range[0]; lead <= range[1]; ++lead) {
            for (int trail = kCp932TrailFirst; trail <= kCp932TrailLast; ++trail) {
                const char32_t c = kCp932DoubleByte[Cp932LeadRow(static_cast<unsigned char>(lead))][trail - kCp932TrailFirst];
                if (c != 0 && (*table)[c] == 0) (*table)[c] = static_cast<std::uint16_t>(lead << 8 | trail);
            }
        }
    }
    // Single bytes win over pairs.
    for (int b = 1; b < 256; ++b)
        if (kCp932SingleByte[b] != 0) (*table)[kCp932SingleByte[b]] = static_cast<std::uint16_t>(b);
    return table;
}

const TReverseTable& ReverseTable() {
    static const std::unique_ptr<TReverseTable> table = MakeReverseTable();
    return *table;
}

// The next code point of utf8 from i on, advancing i; false for a malformed,
// overlong or surrogate sequence.
bool NextCodePoint(std::string_view utf8, std::size_t& i, char32_t& c) {
    const auto b = static_cast<unsigned char>(utf8[i++]);
    int more = 0;
    char32_t least = 0;
    if (b < 0x80) {
        c = b;
        return true;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        c = b & 0x1F;
        more = 1;
        least = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        c = b & 0x0F;
        more = 2;
        least = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        c = b & 0x07;
        more = 3;
        least = 0x10000;
    } else {
        return false;
    }
    for (; more > 0; --more) {
        if (i >= utf8.size()) return false;
        const auto t = static_cast<unsigned char>(utf8[i++]);
        if ((t & 0xC0) != 0x80) return false;
        c = c << 6 | (t & 0x3F);
    }
    return c >= least && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

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

bool Utf8ToCp932(std::string_view utf8, std::string& cp932) {
    const TReverseTable& table = ReverseTable();
    cp932.clear();
    cp932.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        if (!NextCodePoint(utf8, i, c)) return false;
        if (c == 0) {
            cp932 += '\0';
            continue;
        }
        if (c > 0xFFFF || table[c] == 0) return false;
        const std::uint16_t code = table[c];
        if (code > 0xFF) cp932 += static_cast<char>(code >> 8);
        cp932 += static_cast<char>(code & 0xFF);
    }
    return true;
}
