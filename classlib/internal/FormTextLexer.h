// Internal: the tokens of a text form file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class TFormToken { End, Identifier, Integer, String, Symbol };

struct TFormTokenValue {
    TFormToken Kind = TFormToken::End;
    std::string Text;  // identifier, or the bytes of a string
    int Number = 0;    // integer
    char Symbol = 0;   // ':', '=' or '+'
    int Line = 1;
};

// Raised by the lexer and the reader for bad text; the reader turns it into
// EReadError with the line number.
struct TFormSyntaxError {
    int Line;
    std::string Message;  // cp932
};

class TFormTextLexer {
public:
    explicit TFormTextLexer(std::string_view text) : FText(text) {}

    // The next token; throws TFormSyntaxError for bytes that start none.
    TFormTokenValue Next();
    TFormTokenValue Peek();
    // Offset just after the last token taken with Next.
    std::size_t Offset() const { return FOffset; }

private:
    void SkipBlanks();
    TFormTokenValue Scan();
    void ScanString(TFormTokenValue& token);
    void ScanNumber(TFormTokenValue& token);
    [[noreturn]] void Fail(std::string message) const;

    std::string_view FText;
    std::size_t FOffset = 0;
    int FLine = 1;
    bool FHasPeeked = false;
    TFormTokenValue FPeeked;
    std::size_t FPeekedOffset = 0;
    int FPeekedLine = 1;
};
