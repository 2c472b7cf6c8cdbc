#include "classlib/internal/FormTextLexer.h"

#include <cstdint>

#include "ClassLibTexts.h"
#include "classlib/SysUtils.h"
#include "classlib/internal/TextFormat.h"

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexDigit(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

void TFormTextLexer::Fail(std::string message) const { throw TFormSyntaxError{FLine, std::move(message)}; }

TFormTokenValue TFormTextLexer::Next() {
    if (FHasPeeked) {
        FHasPeeked = false;
        FOffset = FPeekedOffset;
        FLine = FPeekedLine;
        return std::move(FPeeked);
    }
    return Scan();
}

TFormTokenValue TFormTextLexer::Peek() {
    if (!FHasPeeked) {
        const std::size_t offset = FOffset;
        const int line = FLine;
        FPeeked = Scan();
        FPeekedOffset = FOffset;
        FPeekedLine = FLine;
        FOffset = offset;
        FLine = line;
        FHasPeeked = true;
    }
    return FPeeked;
}

void TFormTextLexer::SkipBlanks() {
    while (FOffset < FText.size()) {
        const char c = FText[FOffset];
        if (c == '\n') ++FLine;
        else if (c != ' ' && c != '\t' && c != '\r') return;
        ++FOffset;
    }
}

TFormTokenValue TFormTextLexer::Scan() {
    SkipBlanks();
    TFormTokenValue token;
    token.Line = FLine;
    if (FOffset >= FText.size()) return token;
    const char c = FText[FOffset];
    if (IsLetter(c)) {
        const std::size_t start = FOffset;
        while (FOffset < FText.size() && (IsLetter(FText[FOffset]) || IsDigit(FText[FOffset]))) ++FOffset;
        // A dotted name ("Font.Name") is one identifier: a property of a property.
        while (FOffset + 1 < FText.size() && FText[FOffset] == '.' && IsLetter(FText[FOffset + 1])) {
            ++FOffset;
            while (FOffset < FText.size() && (IsLetter(FText[FOffset]) || IsDigit(FText[FOffset]))) ++FOffset;
        }
        token.Kind = TFormToken::Identifier;
        token.Text = FText.substr(start, FOffset - start);
    } else if (c == '\'' || c == '#') {
        ScanString(token);
    } else if (IsDigit(c) || c == '-' || c == '$') {
        ScanNumber(token);
    } else if (c == ':' || c == '=' || c == '+') {
        token.Kind = TFormToken::Symbol;
        token.Symbol = c;
        ++FOffset;
    } else {
        Fail(FormatText(ClassLibText::InvalidCharacter, {IntToStr(static_cast<unsigned char>(c))}).str());
    }
    return token;
}

// Quoted runs ('' is a quote) and #nnn / #$hh bytes, side by side.
void TFormTextLexer::ScanString(TFormTokenValue& token) {
    token.Kind = TFormToken::String;
    while (FOffset < FText.size()) {
        if (FText[FOffset] == '\'') {
            ++FOffset;
            for (;;) {
                if (FOffset >= FText.size() || FText[FOffset] == '\n' || FText[FOffset] == '\r')
                    Fail(ClassLibText::UnterminatedString);
                const char b = FText[FOffset++];
                if (b != '\'') {
                    token.Text += b;
                } else if (FOffset < FText.size() && FText[FOffset] == '\'') {
                    token.Text += '\'';
                    ++FOffset;
                } else {
                    break;
                }
            }
        } else if (FText[FOffset] == '#') {
            ++FOffset;
            const bool hex = FOffset < FText.size() && FText[FOffset] == '$';
            if (hex) ++FOffset;
            const std::size_t start = FOffset;
            std::uint32_t code = 0;
            while (FOffset < FText.size() && (hex ? HexDigit(FText[FOffset]) >= 0 : IsDigit(FText[FOffset]))) {
                if (code <= 0xFFFF) code = code * (hex ? 16 : 10) + std::uint32_t(hex ? HexDigit(FText[FOffset]) : FText[FOffset] - '0');
                ++FOffset;
            }
            if (FOffset == start || code > 0xFF) {
                const AnsiString digits(FText.substr(start, FOffset - start));
                Fail(FormatText(ClassLibText::InvalidCharCode, {digits}).str());
            }
            token.Text += static_cast<char>(code);
        } else {
            return;
        }
    }
}

void TFormTextLexer::ScanNumber(TFormTokenValue& token) {
    token.Kind = TFormToken::Integer;
    const std::size_t start = FOffset;
    const bool negative = FText[FOffset] == '-';
    if (negative) ++FOffset;
    const bool hex = FOffset < FText.size() && FText[FOffset] == '$';
    if (hex) ++FOffset;
    const std::size_t digits = FOffset;
    const unsigned base = hex ? 16 : 10;
    std::uint64_t value = 0;
    for (int d; FOffset < FText.size() && (d = HexDigit(FText[FOffset])) >= 0 && unsigned(d) < base; ++FOffset)
        if (value <= 0xFFFFFFFFull) value = value * base + unsigned(d);
    bool wellFormed = FOffset > digits;
    // Letters or digits glued to the number make it no number ("12ab").
    for (; FOffset < FText.size() && (IsLetter(FText[FOffset]) || IsDigit(FText[FOffset])); ++FOffset)
        wellFormed = false;
    const AnsiString spelled(FText.substr(start, FOffset - start));
    if (!wellFormed) Fail(FormatText(ClassLibText::InvalidNumber, {spelled}).str());
    // Hexadecimal spells the 32 bits ($FFFFFFFF is -1); decimal must be in range.
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    if (value > limit) Fail(FormatText(ClassLibText::NumberOutOfRange, {spelled}).str());
    std::int64_t number = hex ? std::int64_t(std::int32_t(std::uint32_t(value))) : std::int64_t(value);
    token.Number = static_cast<int>(static_cast<std::uint32_t>(negative ? -number : number));
}
