// Real message boxes of the Windows build.
#if defined(_WIN32)

#include <string>
#include <vector>

#include "classlib/MessageBoxes.h"
#include "classlib/WideText.h"

#include <windows.h>
#undef MessageBox

namespace {

struct TDisabledWindows {
    HWND Owner;
    std::vector<HWND> Windows;
};

BOOL CALLBACK DisableWindow(HWND window, LPARAM context) {
    auto* disabled = reinterpret_cast<TDisabledWindows*>(context);
    if (window != disabled->Owner && IsWindowVisible(window) && IsWindowEnabled(window)) {
        EnableWindow(window, FALSE);
        disabled->Windows.push_back(window);
    }
    return TRUE;
}

class TWin32MessageBoxes final : public TMessageBoxBackend {
public:
    int Show(void* owner, const AnsiString& text, const AnsiString& caption, int flags) override {
        const std::wstring wideText = WideFromCp932(text);
        const std::wstring wideCaption = WideFromCp932(caption);
        auto* ownerWindow = static_cast<HWND>(owner);
        UINT type = UINT(flags);
        // With an owner, MessageBoxW disables only the owner; the program's
        // other windows are disabled here, as MB_TASKMODAL does without one.
        TDisabledWindows disabled{ownerWindow, {}};
        if (ownerWindow) EnumThreadWindows(GetCurrentThreadId(), DisableWindow, reinterpret_cast<LPARAM>(&disabled));
        else type |= MB_TASKMODAL;
        const int answer = MessageBoxW(ownerWindow, wideText.c_str(), wideCaption.c_str(), type);
        for (auto w = disabled.Windows.rbegin(); w != disabled.Windows.rend(); ++w) EnableWindow(*w, TRUE);
        return answer;
    }
};

}  // namespace

TMessageBoxBackend& Win32MessageBoxes() {
    static TWin32MessageBoxes boxes;
    return boxes;
}

#endif
