// TControl and TWinControl: what every window of a form has in common. The
// classes keep their properties whether or not a window exists; the window
// is made when the form that holds them is shown, and follows every change
// from then on. No Win32 header is included here, so users of the classes
// keep the class library's names (MessageBox) free of Win32 macros.
#pragma once

#include <cstdint>

#include "classlib/Classes.h"
#include "classlib/ClassLibExport.h"

class TCustomForm;

class CLASSLIB_API TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int left) { SetBounds(left, FTop, FWidth, FHeight); }
    void SetTop(int top) { SetBounds(FLeft, top, FWidth, FHeight); }
    void SetWidth(int width) { SetBounds(FLeft, FTop, width, FHeight); }
    void SetHeight(int height) { SetBounds(FLeft, FTop, FWidth, height); }
    virtual void SetBounds(int left, int top, int width, int height);

    const AnsiString& Caption() const { return FCaption; }
    void SetCaption(const AnsiString& caption);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);

    // The form whose client area shows the control. A control read from a
    // form file gets the form that owns it.
    TCustomForm* Parent() const { return FParent; }
    void SetParent(TCustomForm* parent);

    // The window (HWND), null while there is none.
    void* Handle() const { return FHandle; }
    bool HandleAllocated() const { return FHandle != nullptr; }

protected:
    friend class TCustomForm;

    // Makes the window as a child of parentWindow with control identifier id.
    virtual void CreateHandle(void* parentWindow, int id) = 0;
    void DestroyHandle();
    // A message the parent form got about this control (WM_COMMAND,
    // WM_DRAWITEM, WM_CTLCOLORSTATIC); true when handled, with the result.
    virtual bool ParentMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                               std::intptr_t& result);
    // The window's text follows the caption; a control that draws itself
    // repaints instead.
    virtual void CaptionChanged();
    // The parent form's font changed (its windows have the new one).
    virtual void ParentFontChanged() {}

    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
    AnsiString FCaption;
    bool FEnabled = true;
    bool FVisible = true;
    TCustomForm* FParent = nullptr;
    void* FHandle = nullptr;
};

// A control that can take the keyboard focus, in tab order.
class CLASSLIB_API TWinControl : public TControl {
public:
    using TControl::TControl;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

    // Focus moves between the controls of a form by Tab in ascending tab
    // order; the form opens with the focus on the lowest one that can take it.
    int TabOrder() const { return FTabOrder; }
    void SetTabOrder(int order) { FTabOrder = order; }
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool tabStop) { FTabStop = tabStop; }

    bool CanFocus() const;
    bool Focused() const;
    void SetFocus();

protected:
    int FTabOrder = -1;
    bool FTabStop = true;
};
