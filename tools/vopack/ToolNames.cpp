#include "ToolNames.h"

#include <array>
#include <cstdio>

#include "VopackToolTexts.h"
#include "classlib/Cp932Utf8.h"
#include "platform/Cp932.h"

namespace vopacktool {

namespace {

constexpr std::size_t MaxName = 25;
constexpr std::size_t MaxBase = 21;
constexpr std::size_t MaxExt = 3;

// Length of the cp932 character at i: 2 for a lead byte followed by a byte
// that can be a trail byte, else 1. A lead byte before "/", ":" or "\\"
// therefore never hides them (they cannot be trail bytes; 0x5C can).
std::size_t CharLength(std::string_view s, std::size_t i) {
    if (!plat::IsCp932LeadByte(static_cast<unsigned char>(s[i])) || i + 1 >= s.size()) return 1;
    const auto trail = static_cast<unsigned char>(s[i + 1]);
    return trail >= 0x40 && trail <= 0xFC && trail != 0x7F ? 2 : 1;
}

// Whether the character is one cp932 has and a terminal shows: not a
// control byte, not one of the single bytes the table only maps to control
// or private-use code points (0x80, 0xA0, 0xFD to 0xFF), and no U+FFFD.
bool IsCharacter(std::string_view ch) {
    if (ch.size() == 1) {
        const auto b = static_cast<unsigned char>(ch[0]);
        if (b < 0x20 || b == 0x7F || b == 0x80 || b == 0xA0 || b >= 0xFD) return false;
    }
    return Cp932ToUtf8(ch) != "\xEF\xBF\xBD";
}

// Length of the unit shown or escaped at i: a pair only when it is a cp932
// character; a broken pair's second byte is judged on its own (so the 0x5C
// after a lead byte that makes no character counts as a backslash).
std::size_t UnitLength(std::string_view s, std::size_t i) {
    return CharLength(s, i) == 2 && IsCharacter(s.substr(i, 2)) ? 2 : 1;
}

std::string Escaped(unsigned char b, char lead) {
    std::array<char, 8> text{};
    if (lead == '%')
        std::snprintf(text.data(), text.size(), "%%%02X", b);
    else
        std::snprintf(text.data(), text.size(), "\\x%02X", b);
    return text.data();
}

// UTF-8 of the name, each byte outside a character escaped with lead.
std::string EscapedUtf8(std::string_view cp932, char lead) {
    std::string out;
    for (std::size_t i = 0; i < cp932.size();) {
        const std::size_t n = UnitLength(cp932, i);
        const std::string_view ch = cp932.substr(i, n);
        out += IsCharacter(ch) ? Cp932ToUtf8(ch) : Escaped(static_cast<unsigned char>(cp932[i]), lead);
        i += n;
    }
    return out;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameChar(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    if (a.size() == 1) return Upper(a[0]) == Upper(b[0]);
    return a == b;
}

bool IsDeviceName(std::string_view cp932) {
    std::string stem;
    for (const char c : cp932.substr(0, cp932.find('.'))) stem += Upper(c);
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    static const char* const Devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : Devices)
        if (stem == device) return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '0' &&
           stem[3] <= '9';
}

}  // namespace

const char* NameProblemText(TNameProblem problem) {
    switch (problem) {
        case TNameProblem::npNone: return "";
        case TNameProblem::npEmpty: return texts::NameEmpty;
        case TNameProblem::npNotCp932: return texts::NameNotCp932;
        case TNameProblem::npTooLong: return texts::NameTooLong;
        case TNameProblem::npBaseTooLong: return texts::NameBaseTooLong;
        case TNameProblem::npExtTooLong: return texts::NameExtTooLong;
        case TNameProblem::npEmptyBase: return texts::NameEmptyBase;
        case TNameProblem::npEmptyExt: return texts::NameEmptyExt;
    }
    return "";
}

TNameProblem MemberNameFromUtf8(std::string_view utf8, std::string& cp932) {
    if (utf8.empty()) return TNameProblem::npEmpty;
    if (!Utf8ToCp932(utf8, cp932) || cp932.find('\0') != std::string::npos) return TNameProblem::npNotCp932;
    if (cp932.size() > MaxName) return TNameProblem::npTooLong;
    const std::size_t dot = cp932.find('.');
    const std::size_t base = dot == std::string::npos ? cp932.size() : dot;
    if (base > MaxBase) return TNameProblem::npBaseTooLong;
    if (base == 0) return TNameProblem::npEmptyBase;
    if (dot != std::string::npos) {
        const std::size_t ext = cp932.size() - dot - 1;
        if (ext > MaxExt) return TNameProblem::npExtTooLong;
        if (ext == 0) return TNameProblem::npEmptyExt;
    }
    return TNameProblem::npNone;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of(NativeWindowsRules ? "/\\:" : "/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DisplayName(std::string_view cp932) { return EscapedUtf8(cp932, '\\'); }

std::string ExtractionName(std::string_view cp932, bool windowsRules) {
    if (cp932.empty() || cp932 == "." || cp932 == "..") return {};
    // Judged character by character, so the trail byte 0x5C of ソ is no separator.
    for (std::size_t i = 0; i < cp932.size();) {
        const std::size_t n = UnitLength(cp932, i);
        if (n == 1) {
            const char c = cp932[i];
            if (c == '/' || c == '\\' || c == ':') return {};
            if (windowsRules && std::string_view("<>\"|?*").find(c) != std::string_view::npos) return {};
        }
        i += n;
    }
    if (windowsRules && (cp932.back() == ' ' || cp932.back() == '.' || IsDeviceName(cp932))) return {};
    return EscapedUtf8(cp932, windowsRules ? '%' : '\\');
}

bool SameMemberName(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const std::size_t n = CharLength(a, i);
        const std::size_t m = CharLength(b, j);
        if (!SameChar(a.substr(i, n), b.substr(j, m))) return false;
        i += n;
        j += m;
    }
    return i == a.size() && j == b.size();
}

std::string MemberLookupKey(std::string_view cp932) {
    std::string key(cp932);
    for (std::size_t i = 0; i < key.size(); i += CharLength(key, i)) key[i] = Upper(key[i]);
    return key;
}

bool MatchesMember(std::string_view pattern, std::string_view name) {
    // Iterative matching with one backtracking point for the last "*".
    std::size_t p = 0;
    std::size_t s = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starS = 0;
    while (s < name.size()) {
        const std::size_t m = CharLength(name, s);
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starS = s;
            continue;
        }
        if (p < pattern.size()) {
            const std::size_t n = CharLength(pattern, p);
            if ((n == 1 && pattern[p] == '?') || SameChar(pattern.substr(p, n), name.substr(s, m))) {
                p += n;
                s += m;
                continue;
            }
        }
        if (starP == std::string_view::npos) return false;
        p = starP;
        starS += CharLength(name, starS);
        s = starS;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace vopacktool
