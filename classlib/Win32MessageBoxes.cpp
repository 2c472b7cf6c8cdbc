// Real message boxes of the Windows build.
#if defined(_WIN32)

#include <string>
#include <vector>

#include "classlib/MessageBoxes.h"

#include <windows.h>
#undef MessageBox

namespace {

std::wstring Cp932ToWide(const AnsiString& text) {
    if (text.IsEmpty()) return {};
    const int length = MultiByteToWideChar(932, 0, text.c_str(), text.Length(), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(932, 0, text.c_str(), text.Length(), wide.data(), length);
    return wide;
}

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
        const std::wstring wideText = Cp932ToWide(text);
        const std::wstring wideCaption = Cp932ToWide(caption);
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
