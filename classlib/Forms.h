// TApplication: the application object, owner of the forms. Message boxes go
// through a replaceable back end (MessageBoxes.h); the GUI layer of the
// Windows build plugs in through TApplicationGui and provides the forms, the
// application window and the message loop.
#pragma once

#include "classlib/AnsiString.h"
#include "classlib/ClassLibExport.h"
#include "classlib/Classes.h"
#include "classlib/MessageBoxes.h"
#include "classlib/SysUtils.h"

class TApplication;

// What the GUI layer does for the application object. Without one, Run
// returns at once and message boxes go to the back end.
class CLASSLIB_API TApplicationGui {
public:
    virtual ~TApplicationGui() = default;
    virtual void Initialize(TApplication&) = 0;    // e.g. creates the application window, calls SetHandle
    virtual void TitleChanged(TApplication&) = 0;
    virtual void Run(TApplication&) = 0;           // message loop until the main form closes
    // -1: use the back end.
    virtual int MessageBox(TApplication&, const AnsiString& /*text*/, const AnsiString& /*caption*/, int /*flags*/) {
        return -1;
    }
    // Asks a running message loop to end (e.g. posts WM_QUIT).
    virtual void Terminate(TApplication&) {}
};

// Installs the GUI layer (null removes it); the caller keeps it alive while
// installed.
CLASSLIB_API void SetApplicationGui(TApplicationGui* gui);
CLASSLIB_API TApplicationGui* ApplicationGui();

class CLASSLIB_API TApplication : public TComponent {
public:
    TApplication();
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

    // Lets the GUI layer set up the application window; later calls do nothing.
    void Initialize();
    AnsiString Title() const { return FTitle; }
    void SetTitle(const AnsiString& title);

    // Constructs a form owned by the application into reference; the first
    // form created becomes the main form.
    template <class F>
    void CreateForm(F*& reference) {
        F* form = new F(this);
        reference = form;
        if (!FMainForm) FMainForm = form;
    }
    TComponent* MainForm() const { return FMainForm; }

    // The GUI layer's message loop until the main form closes; without a GUI
    // layer it returns at once.
    void Run();
    // Asks the message loop to end.
    void Terminate();
    bool Terminated() const { return FTerminated; }

    // Shows a modal box and returns the pressed button's identifier. An
    // installed back end answers first; otherwise the GUI layer, else the
    // platform's default back end. While a box is open the rest of the
    // program is disabled.
    int MessageBox(const char* text, const char* caption, int flags = 0);
    int MessageBox(const AnsiString& text, const AnsiString& caption, int flags = 0);
    // The exception's message in an error box (MB_OK | MB_ICONSTOP) with the
    // title as caption.
    void ShowException(const Exception& e);

    // The application window's handle (null natively).
    void* Handle() const { return FHandle; }
    void SetHandle(void* handle) { FHandle = handle; }

    // Returns the previous back end; null restores the platform's default.
    TMessageBoxBackend* SetMessageBoxBackend(TMessageBoxBackend* backend);
    TMessageBoxBackend& MessageBoxBackend() const;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    AnsiString FTitle;
    void* FHandle = nullptr;
    TMessageBoxBackend* FBackend = nullptr;
    TComponent* FMainForm = nullptr;
    bool FInitialized = false;
    bool FTerminated = false;
};

// The one application object, created on first use (also from static
// initialisers of other units) and destroyed, with the forms it owns, when
// the program ends.
CLASSLIB_API TApplication& TheApplication();

// Application->MessageBox(...) as in the class library. The handle itself is
// an empty constant, valid at any time.
class TApplicationHandle {
public:
    TApplication* operator->() const { return &TheApplication(); }
    TApplication& operator*() const { return TheApplication(); }
    operator TApplication*() const { return &TheApplication(); }  // NOLINT: a pointer as in the class library
};
inline constexpr TApplicationHandle Application{};
