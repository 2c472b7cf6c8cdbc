#include "classlib/gui/GuiClasses.h"

#include "classlib/Classes.h"
#include "classlib/gui/Buttons.h"
#include "classlib/gui/CustomForm.h"
#include "classlib/gui/StdCtrls.h"

void RegisterGuiClasses() {
    static const bool registered = [] {
        RegisterClass(TForm::StaticClassInfo());
        RegisterClass(TLabel::StaticClassInfo());
        RegisterClass(TBitBtn::StaticClassInfo());
        return true;
    }();
    (void)registered;
}
