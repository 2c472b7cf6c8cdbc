#include "classlib/MessageBoxes.h"

#include <iostream>
#include <ostream>

#include "classlib/Cp932Utf8.h"

namespace {

// Button identifiers of the message box button groups.
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7,
              IDTRYAGAIN = 10, IDCONTINUE = 11;

struct TButtonGroup {
    int Count;
    int Buttons[3];
};

// Indexed by flags & 0xF: MB_OK, MB_OKCANCEL, MB_ABORTRETRYIGNORE,
// MB_YESNOCANCEL, MB_YESNO, MB_RETRYCANCEL, MB_CANCELTRYCONTINUE.
constexpr TButtonGroup kGroups[] = {
    {1, {IDOK}},
    {2, {IDOK, IDCANCEL}},
    {3, {IDABORT, IDRETRY, IDIGNORE}},
    {3, {IDYES, IDNO, IDCANCEL}},
    {2, {IDYES, IDNO}},
    {2, {IDRETRY, IDCANCEL}},
    {3, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}},
};

}  // namespace

int DefaultAnswer(int flags) {
    const unsigned group = unsigned(flags) & 0xF;
    const TButtonGroup& buttons = group < std::size(kGroups) ? kGroups[group] : kGroups[0];
    const int index = int((unsigned(flags) & 0xF00) >> 8);
    return buttons.Buttons[index < buttons.Count ? index : 0];
}

int TScriptedMessageBoxes::Show(void*, const AnsiString& text, const AnsiString& caption, int flags) {
    FBoxes.push_back({text, caption, flags});
    if (FNext < FAnswers.size()) return FAnswers[FNext++];
    return DefaultAnswer(flags);
}

int TConsoleMessageBoxes::Show(void*, const AnsiString& text, const AnsiString& caption, int flags) {
    FOut << Cp932ToUtf8(caption.view()) << ": " << Cp932ToUtf8(text.view()) << '\n' << std::flush;
    return DefaultAnswer(flags);
}

TMessageBoxBackend& ConsoleMessageBoxes() {
    static TConsoleMessageBoxes console(std::cerr);
    return console;
}
