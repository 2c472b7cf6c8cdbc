#include "classlib/gui/StdCtrls.h"

#include "classlib/gui/CustomForm.h"
#include "classlib/gui/Win32.h"
#include "classlib/gui/WideText.h"

const TClassInfo& TLabel::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TLabel>("TLabel", &TControl::StaticClassInfo())
                                       .Property("Caption", &TLabel::Caption, &TLabel::SetCaption)
                                       .Property("Enabled", &TLabel::Enabled, &TLabel::SetEnabled, true)
                                       .Property("Visible", &TLabel::Visible, &TLabel::SetVisible, true)
                                       .Build();
    return info;
}

// A static control without prefix processing: the caption shows as it is,
// "&" included. It is no tab stop and never takes the focus.
void TLabel::CreateHandle(void* parentWindow, int id) {
    DWORD style = WS_CHILD | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
    if (FVisible) style |= WS_VISIBLE;
    if (!FEnabled) style |= WS_DISABLED;
    FHandle = CreateWindowExW(0, L"STATIC", WideFromCp932(FCaption).c_str(), style, FLeft, FTop, FWidth, FHeight,
                              static_cast<HWND>(parentWindow), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleW(nullptr), nullptr);
}

// The text in the form's font colour on the form's face.
bool TLabel::ParentMessage(unsigned message, std::uintptr_t wParam, std::intptr_t, std::intptr_t& result) {
    if (message != WM_CTLCOLORSTATIC || !FParent) return false;
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, COLORREF(ColorToRGB(FParent->Font().Color())));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    result = reinterpret_cast<std::intptr_t>(GetSysColorBrush(COLOR_BTNFACE));
    return true;
}
