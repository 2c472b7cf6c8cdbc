// TLabel: a line of text on a form, in the form's font. With AutoSize (the
// default) its window takes the size of its text in the font it is shown
// with, so no text is cut when the font on the screen is wider than the one
// it was designed with.
#pragma once

#include "classlib/gui/Controls.h"

class CLASSLIB_API TLabel : public TControl {
public:
    using TControl::TControl;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool autoSize);

protected:
    void CreateHandle(void* parentWindow, int id) override;
    bool ParentMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                       std::intptr_t& result) override;
    void CaptionChanged() override;
    void ParentFontChanged() override { AdjustBounds(); }

private:
    void AdjustBounds();

    bool FAutoSize = true;
};
