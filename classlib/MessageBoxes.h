// The replaceable back end behind TApplication::MessageBox.
#pragma once

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

// Natively: caption and text in UTF-8 on stderr; answers the default button.
CLASSLIB_API TMessageBoxBackend& ConsoleMessageBoxes();
#if defined(_WIN32)
// Real message boxes (cp932 converted to UTF-16, W functions).
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
// button group (flags & 0xF) and the default button (flags & 0xF00).
CLASSLIB_API int DefaultAnswer(int flags);
