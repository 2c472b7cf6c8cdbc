#include "classlib/gui/Win32ApplicationGui.h"

#include "classlib/Forms.h"
#include "classlib/gui/CustomForm.h"
#include "classlib/gui/GuiClasses.h"
#include "classlib/gui/Win32.h"
#include "classlib/WideText.h"

namespace {

constexpr wchar_t kApplicationClassName[] = L"KavrentaApplication";

TCustomForm* MainFormOf(const TApplication& application) {
    return dynamic_cast<TCustomForm*>(application.MainForm());
}

// The close command of the taskbar entry closes the main form.
LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        if (TCustomForm* form = MainFormOf(TheApplication())) form->Close();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

ATOM ApplicationClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = ApplicationWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
        wc.lpszClassName = kApplicationClassName;
        return RegisterClassExW(&wc);
    }();
    return atom;
}

class TWin32ApplicationGui final : public TApplicationGui {
public:
    void Initialize(TApplication& application) override { WindowOf(application); }

    void TitleChanged(TApplication& application) override {
        if (application.Handle())
            SetWindowTextW(static_cast<HWND>(application.Handle()), WideFromCp932(application.Title()).c_str());
    }

    void Run(TApplication& application) override {
        HWND applicationWindow = WindowOf(application);
        TCustomForm* mainForm = MainFormOf(application);
        if (!mainForm) return;
        // Zero-sized at the screen's centre: only its taskbar entry shows.
        ShowWindow(applicationWindow, SW_SHOWNOACTIVATE);
        mainForm->Show();
        MSG message;
        while (!application.Terminated()) {
            const BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got == 0 || got == -1) break;
            HWND root = GetAncestor(message.hwnd, GA_ROOT);
            if (TCustomForm::FromHandle(root) && IsDialogMessageW(root, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    // Owned by the active form (or the application window), so the box stays
    // in front of it; the back end disables the program's other windows.
    int MessageBox(TApplication& application, const AnsiString& text, const AnsiString& caption,
                   int flags) override {
        return Win32MessageBoxes().Show(OwnerFor(application), text, caption, flags);
    }

    void Terminate(TApplication&) override { PostQuitMessage(0); }

private:
    static HWND WindowOf(TApplication& application) {
        if (!application.Handle()) {
            HWND window = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(ApplicationClass())),
                                          WideFromCp932(application.Title()).c_str(),
                                          WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                                          GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0,
                                          0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
            application.SetHandle(window);
        }
        return static_cast<HWND>(application.Handle());
    }

    static HWND OwnerFor(TApplication& application) {
        HWND active = GetActiveWindow();
        if (active && (TCustomForm::FromHandle(active) || active == application.Handle())) return active;
        if (TCustomForm* form = MainFormOf(application); form && form->Handle() && IsWindowVisible(static_cast<HWND>(form->Handle())))
            return static_cast<HWND>(form->Handle());
        return static_cast<HWND>(application.Handle());
    }
};

}  // namespace

TApplicationGui& Win32ApplicationGui() {
    // Never destroyed: the application object may still ask for it while the
    // program's static objects go.
    static auto* gui = new TWin32ApplicationGui;
    return *gui;
}

void UseWin32Gui() {
    RegisterGuiClasses();
    SetApplicationGui(&Win32ApplicationGui());
}
