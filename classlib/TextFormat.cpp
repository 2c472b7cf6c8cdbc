#include "classlib/internal/TextFormat.h"

#include <string>
#include <string_view>

AnsiString FormatText(const char* pattern, std::initializer_list<AnsiString> arguments) {
    std::string out;
    const std::string_view text(pattern);
    auto next = arguments.begin();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's' && next != arguments.end()) {
            out += (next++)->str();
            ++i;
        } else {
            out += text[i];
        }
    }
    return AnsiString(std::move(out));
}
