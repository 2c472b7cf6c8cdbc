#include "classlib/gui/StdCtrls.h"

#include "classlib/gui/CustomForm.h"
#include "classlib/gui/Win32.h"
#include "classlib/WideText.h"

const TClassInfo& TLabel::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TLabel>("TLabel", &TControl::StaticClassInfo())
                                       .Property("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true)
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
    AdjustBounds();
}

void TLabel::SetAutoSize(bool autoSize) {
    FAutoSize = autoSize;
    AdjustBounds();
}

void TLabel::CaptionChanged() {
    TControl::CaptionChanged();
    AdjustBounds();
}

// Measured only once there is a window: until then the designed size stands.
void TLabel::AdjustBounds() {
    if (!FAutoSize || !FHandle || !FParent) return;
    HDC dc = GetDC(static_cast<HWND>(FHandle));
    if (!dc) return;
    HGDIOBJ old = SelectObject(dc, static_cast<HFONT>(FParent->Font().Handle()));
    const std::wstring text = WideFromCp932(FCaption.IsEmpty() ? AnsiString(" ") : FCaption);
    RECT extent{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(static_cast<HWND>(FHandle), dc);
    SetBounds(FLeft, FTop, extent.right - extent.left, extent.bottom - extent.top);
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
