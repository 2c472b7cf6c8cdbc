// TApplication: the application object. Message boxes go through a
// replaceable back end (MessageBoxes.h); the GUI layer of the Windows build
// provides the forms, the application window and the message loop.
#pragma once

#include "classlib/AnsiString.h"
#include "classlib/ClassLibExport.h"
#include "classlib/MessageBoxes.h"
#include "classlib/SysUtils.h"

class CLASSLIB_API TApplication : public TObject {
public:
    TApplication();
    ~TApplication() override;

    void Initialize();
    AnsiString Title() const { return FTitle; }
    void SetTitle(const AnsiString& title);

    // Shows a modal box through the current back end; returns the pressed
    // button's identifier. While it is open the rest of the program is disabled.
    int MessageBox(const char* text, const char* caption, int flags = 0);
    // Shows the exception's message in an error box (caption: the title).
    void ShowException(const Exception& e);

    // The application window's handle (null natively).
    void* Handle() const { return FHandle; }
    void SetHandle(void* handle) { FHandle = handle; }

    // Returns the previous back end; null restores the platform's default.
    TMessageBoxBackend* SetMessageBoxBackend(TMessageBoxBackend* backend);
    TMessageBoxBackend& MessageBoxBackend() const;

private:
    AnsiString FTitle;
    void* FHandle = nullptr;
    TMessageBoxBackend* FBackend = nullptr;
};

// The one application object of the program.
extern CLASSLIB_API TApplication* Application;
