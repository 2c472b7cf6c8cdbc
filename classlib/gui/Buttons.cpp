#include "classlib/gui/Buttons.h"

#include "GuiTexts.h"
#include "classlib/gui/CustomForm.h"
#include "classlib/gui/Glyphs.h"
#include "classlib/gui/Win32.h"
#include "classlib/WideText.h"

namespace {

constexpr int kGlyphSpacing = 4;

gui::TGlyph GlyphOf(TBitBtnKind kind) {
    switch (kind) {
        case bkOK: return gui::TGlyph::Check;
        case bkCancel: return gui::TGlyph::Cross;
        case bkCustom: break;
    }
    return gui::TGlyph::None;
}

}  // namespace

const TClassInfo& TBitBtn::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TBitBtn>("TBitBtn", &TWinControl::StaticClassInfo())
            .Enum("Kind", &TBitBtn::Kind, &TBitBtn::SetKind, {"bkCustom", "bkOK", "bkCancel"}, bkCustom)
            .Property("Caption", &TBitBtn::Caption, &TBitBtn::SetCaption)
            .Property("Default", &TBitBtn::Default, &TBitBtn::SetDefault, false)
            .Property("Cancel", &TBitBtn::Cancel, &TBitBtn::SetCancel, false)
            .Property("Enabled", &TBitBtn::Enabled, &TBitBtn::SetEnabled, true)
            .Property("Visible", &TBitBtn::Visible, &TBitBtn::SetVisible, true)
            .Property("TabOrder", &TBitBtn::TabOrder, &TBitBtn::SetTabOrder, -1)
            .Property("TabStop", &TBitBtn::TabStop, &TBitBtn::SetTabStop, true)
            .Property("OnClick", &TBitBtn::OnClick, &TBitBtn::OnClick)
            .Build();
    return info;
}

TBitBtn::TBitBtn(TComponent* owner) : TWinControl(owner) {
    FWidth = 75;
    FHeight = 25;
}

void TBitBtn::SetKind(TBitBtnKind kind) {
    FKind = kind;
    switch (kind) {
        case bkOK:
            SetCaption(GuiText::CaptionOK);
            SetDefault(true);
            break;
        case bkCancel:
            SetCaption(GuiText::CaptionCancel);
            FCancel = true;
            break;
        case bkCustom:
            break;
    }
    if (FHandle) InvalidateRect(static_cast<HWND>(FHandle), nullptr, TRUE);
}

void TBitBtn::SetDefault(bool isDefault) {
    FDefault = isDefault;
    if (FParent) FParent->ButtonsChanged();
}

void TBitBtn::Click() { OnClick(this); }

// Owner-drawn, so that the glyph sits beside the caption and the frame of
// the button that Enter presses can be drawn.
void TBitBtn::CreateHandle(void* parentWindow, int id) {
    DWORD style = WS_CHILD | BS_OWNERDRAW | BS_NOTIFY;
    if (FTabStop) style |= WS_TABSTOP;
    if (FVisible) style |= WS_VISIBLE;
    if (!FEnabled) style |= WS_DISABLED;
    FHandle = CreateWindowExW(0, L"BUTTON", WideFromCp932(FCaption).c_str(), style, FLeft, FTop, FWidth, FHeight,
                              static_cast<HWND>(parentWindow), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleW(nullptr), nullptr);
}

void TBitBtn::CaptionChanged() {
    TControl::CaptionChanged();
    if (FHandle) InvalidateRect(static_cast<HWND>(FHandle), nullptr, TRUE);
}

bool TBitBtn::ParentMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) {
    if (message == WM_DRAWITEM) {
        Draw(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    if (message != WM_COMMAND) return false;
    switch (HIWORD(wParam)) {
        case BN_CLICKED:
            Click();
            break;
        case BN_SETFOCUS:
        case BN_KILLFOCUS:
            // The frame of the button that Enter presses moves with the focus.
            if (FParent) FParent->ButtonsChanged();
            break;
        default:
            return false;
    }
    result = 0;
    return true;
}

void TBitBtn::Draw(const void* drawItem) const {
    const auto* item = static_cast<const DRAWITEMSTRUCT*>(drawItem);
    HDC dc = item->hDC;
    RECT face = item->rcItem;
    const bool pressed = (item->itemState & ODS_SELECTED) != 0;
    const bool focused = (item->itemState & ODS_FOCUS) != 0;
    const bool enabled = (item->itemState & ODS_DISABLED) == 0;

    if (FParent && FParent->EnterButton() == this) {
        FrameRect(dc, &face, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&face, -1, -1);
    }
    DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));

    HGDIOBJ oldFont = nullptr;
    if (FParent) oldFont = SelectObject(dc, static_cast<HFONT>(FParent->Font().Handle()));
    const std::wstring text = WideFromCp932(FCaption);
    SIZE extent{0, 0};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    const gui::TGlyph glyph = GlyphOf(FKind);
    const int glyphWidth = glyph == gui::TGlyph::None ? 0 : gui::kGlyphSize + kGlyphSpacing;
    const int shift = pressed ? 1 : 0;
    const int x = face.left + (face.right - face.left - glyphWidth - extent.cx) / 2 + shift;
    const int middle = (face.top + face.bottom) / 2 + shift;

    gui::DrawGlyph(dc, glyph, x, middle - gui::kGlyphSize / 2, enabled);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    TextOutW(dc, x + glyphWidth, middle - extent.cy / 2, text.c_str(), static_cast<int>(text.size()));
    if (oldFont) SelectObject(dc, oldFont);

    if (focused) {
        RECT focus = face;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }
}
