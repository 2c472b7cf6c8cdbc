// TBitBtn: a push button with a glyph beside its caption. Its Kind gives a
// stock face and role: bkOK ("OK", a check mark, the default button that
// Enter presses) and bkCancel ("ｷｬﾝｾﾙ", a cross, the cancel button that Esc
// presses); bkCustom leaves caption and roles to the other properties.
#pragma once

#include "classlib/Events.h"
#include "classlib/gui/Controls.h"

enum TBitBtnKind { bkCustom, bkOK, bkCancel };

class CLASSLIB_API TBitBtn : public TWinControl {
public:
    explicit TBitBtn(TComponent* owner);

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

    TBitBtnKind Kind() const { return FKind; }
    // A stock kind sets the caption and makes the button the default (bkOK)
    // or the cancel button (bkCancel).
    void SetKind(TBitBtnKind kind);
    // Enter presses the default button unless the focus is on another button.
    bool Default() const { return FDefault; }
    void SetDefault(bool isDefault);
    // Esc presses the cancel button.
    bool Cancel() const { return FCancel; }
    void SetCancel(bool cancel) { FCancel = cancel; }

    // Presses the button: runs OnClick.
    virtual void Click();

    TNotifyEvent OnClick;

protected:
    void CreateHandle(void* parentWindow, int id) override;
    bool ParentMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                       std::intptr_t& result) override;
    void CaptionChanged() override;

private:
    void Draw(const void* drawItem) const;

    TBitBtnKind FKind = bkCustom;
    bool FDefault = false;
    bool FCancel = false;
};
