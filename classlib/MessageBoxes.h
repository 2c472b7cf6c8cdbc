// The replaceable back end behind TApplication::MessageBox.
#pragma once

#include <iosfwd>
#include <vector>

#include "classlib/AnsiString.h"
#include "classlib/ClassLibExport.h"

// Shows one modal box and returns the identifier of the pressed button
// (IDOK 1, IDCANCEL 2, ...). Texts are cp932.
class CLASSLIB_API TMessageBoxBackend {
public:
    virtual ~TMessageBoxBackend() = default;
    virtual int Show(void* owner, const AnsiString& text, const AnsiString& caption, int flags) = 0;
};

// Writes caption and text, converted to UTF-8, to a stream ("caption: text"
// and a line end) and answers the default button.
class CLASSLIB_API TConsoleMessageBoxes : public TMessageBoxBackend {
public:
    explicit TConsoleMessageBoxes(std::ostream& out) : FOut(out) {}
    int Show(void* owner, const AnsiString& text, const AnsiString& caption, int flags) override;

private:
    std::ostream& FOut;
};

// Natively the default: the console back end on stderr.
CLASSLIB_API TMessageBoxBackend& ConsoleMessageBoxes();
#if defined(_WIN32)
// On Windows the default: real message boxes (cp932 converted to UTF-16, W
// functions), owned by the application window and modal to every window of
// the program.
CLASSLIB_API TMessageBoxBackend& Win32MessageBoxes();
#endif

// For tests: records every box and answers from a script; once the script is
// used up it answers the box's default button.
class CLASSLIB_API TScriptedMessageBoxes : public TMessageBoxBackend {
public:
    struct Box {
        AnsiString Text;
        AnsiString Caption;
        int Flags;
    };
    explicit TScriptedMessageBoxes(std::vector<int> answers = {}) : FAnswers(std::move(answers)) {}
    int Show(void* owner, const AnsiString& text, const AnsiString& caption, int flags) override;
    const std::vector<Box>& Boxes() const { return FBoxes; }
    void Clear() { FBoxes.clear(); }

private:
    std::vector<int> FAnswers;
    std::size_t FNext = 0;
    std::vector<Box> FBoxes;
};

// The button a box answers when Enter is pressed: IDOK/IDYES/... from the
// button group (flags & 0xF) and the default button (flags & 0xF00). A
// default button beyond the group's buttons, as Windows does, falls back to
// the first; an unknown group counts as MB_OK.
CLASSLIB_API int DefaultAnswer(int flags);
