// Setup: the program entry. Initialises the application, titles it, creates
// the dialog as main form and runs the message loop until it closes.
#include <exception>

#include <windows.h>
#undef MessageBox

#include "SetupTexts.h"
#include "classlib/Forms.h"
#include "classlib/gui/Win32ApplicationGui.h"
#include "installer/Mainf.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        UseWin32Gui();
        Application->Initialize();
        Application->SetTitle(SetupText::ApplicationTitle);
        Application->CreateForm(MainForm);
        Application->Run();
    } catch (const Exception& e) {
        Application->ShowException(e);
    } catch (const std::exception&) {
        // Not ours (out of memory, say): still a box rather than a crash.
        Application->ShowException(Exception(SetupText::UnexpectedError));
    }
    return 0;
}
