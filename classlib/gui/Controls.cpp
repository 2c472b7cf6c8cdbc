#include "classlib/gui/Controls.h"

#include "classlib/gui/CustomForm.h"
#include "classlib/gui/Win32.h"
#include "classlib/WideText.h"

const TClassInfo& TControl::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TControl>("TControl", &TComponent::StaticClassInfo())
                                       .Property("Left", &TControl::Left, &TControl::SetLeft, 0)
                                       .Property("Top", &TControl::Top, &TControl::SetTop, 0)
                                       .Property("Width", &TControl::Width, &TControl::SetWidth)
                                       .Property("Height", &TControl::Height, &TControl::SetHeight)
                                       .Build();
    return info;
}

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
    SetParent(nullptr);
    DestroyHandle();
}

void TControl::SetBounds(int left, int top, int width, int height) {
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    if (FHandle) MoveWindow(static_cast<HWND>(FHandle), FLeft, FTop, FWidth, FHeight, TRUE);
}

void TControl::SetCaption(const AnsiString& caption) {
    if (caption == FCaption) return;
    FCaption = caption;
    CaptionChanged();
}

void TControl::CaptionChanged() {
    if (FHandle) SetWindowTextW(static_cast<HWND>(FHandle), WideFromCp932(FCaption).c_str());
}

void TControl::SetEnabled(bool enabled) {
    FEnabled = enabled;
    if (FHandle) EnableWindow(static_cast<HWND>(FHandle), enabled);
}

void TControl::SetVisible(bool visible) {
    FVisible = visible;
    if (FHandle) ShowWindow(static_cast<HWND>(FHandle), visible ? SW_SHOW : SW_HIDE);
}

void TControl::SetParent(TCustomForm* parent) {
    if (parent == FParent) return;
    if (FParent) FParent->RemoveControl(this);
    DestroyHandle();
    FParent = parent;
    if (FParent) FParent->InsertControl(this);
}

void TControl::DestroyHandle() {
    if (!FHandle) return;
    HWND window = static_cast<HWND>(FHandle);
    FHandle = nullptr;
    DestroyWindow(window);
}

bool TControl::ParentMessage(unsigned, std::uintptr_t, std::intptr_t, std::intptr_t&) { return false; }

const TClassInfo& TWinControl::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TWinControl>("TWinControl", &TControl::StaticClassInfo()).Build();
    return info;
}

bool TWinControl::CanFocus() const {
    return FHandle && FEnabled && FVisible && IsWindowEnabled(static_cast<HWND>(FHandle));
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == static_cast<HWND>(FHandle); }

void TWinControl::SetFocus() {
    if (FHandle) ::SetFocus(static_cast<HWND>(FHandle));
}
