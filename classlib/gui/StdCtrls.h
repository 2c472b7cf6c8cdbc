// TLabel: a line of text on a form, in the form's font.
#pragma once

#include "classlib/gui/Controls.h"

class CLASSLIB_API TLabel : public TControl {
public:
    using TControl::TControl;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

protected:
    void CreateHandle(void* parentWindow, int id) override;
    bool ParentMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                       std::intptr_t& result) override;
};
