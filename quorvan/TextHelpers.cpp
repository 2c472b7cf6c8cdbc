#include <cstdarg>
#include <cstdio>
#include <string_view>

#include "classlib/SysUtils.h"
#include "quorvan/Quorvan.h"

namespace {

// hstrncpy's own rule, narrower than cp932's: 0x80-0x9F and 0xE0-0xEF.
bool IsFieldLeadByte(unsigned char b) { return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF); }

constexpr std::size_t kFormatBufferSize = 1024;

AnsiString FormatInto1024(const char* format, std::va_list args) {
    if (!format) return {};
    char buffer[kFormatBufferSize];
    // vsnprintf, not vsprintf: a longer text is cut after byte 1023 instead of
    // running past the buffer.
    const int produced = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (produced < 0) return {};
    buffer[kFormatBufferSize - 1] = '\0';
    return AnsiString(buffer);
}

}  // namespace

char* hstrncpy(char* dest, const char* src, unsigned int n, bool stopAtComma) {
    if (!dest || !src) return dest;
    unsigned int count = 0;
    for (;;) {
        const auto b = static_cast<unsigned char>(src[count]);
        if (b == '\0' || b == '\r' || (b == ',' && stopAtComma) || count == n) break;
        if (IsFieldLeadByte(b)) {
            // The character must fit whole; a lead byte right before the
            // terminator is dropped rather than read past.
            if (n - count < 2 || src[count + 1] == '\0') break;
            dest[count] = src[count];
            dest[count + 1] = src[count + 1];
            count += 2;
        } else {
            dest[count] = src[count];
            ++count;
        }
    }
    dest[count] = '\0';
    return dest;
}

AnsiString Ansiprintf(char* format, ...) {
    std::va_list args;
    va_start(args, format);
    AnsiString text = FormatInto1024(format, args);
    va_end(args);
    return text;
}

AnsiString Ansiprintf(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    AnsiString text = FormatInto1024(format, args);
    va_end(args);
    return text;
}

void SeparateString(AnsiString text, AnsiString* lines, int count) {  // NOLINT(performance-unnecessary-value-param): exported signature
    if (!lines) return;
    std::string_view rest = text.view();
    for (int i = 0; i < count; ++i) {
        // A line feed is never the second byte of a cp932 character, so a
        // plain byte search splits double-byte text correctly.
        const std::size_t feed = rest.find('\n');
        if (feed == std::string_view::npos) {
            lines[i] = AnsiString(rest);
            rest = {};
        } else {
            lines[i] = AnsiString(rest.substr(0, feed));
            rest.remove_prefix(feed + 1);
        }
    }
}

int HexToInt(AnsiString text) {  // NOLINT(performance-unnecessary-value-param): exported signature
    const AnsiString upper = AnsiUpperCase(text);
    const std::string_view digits = upper.view().substr(0, 8);
    std::uint32_t result = 0;
    for (const char c : digits) {
        result <<= 4;
        if (c >= '0' && c <= '9') result += static_cast<std::uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'F') result += static_cast<std::uint32_t>(c - 'A' + 10);
    }
    return static_cast<int>(result);
}
