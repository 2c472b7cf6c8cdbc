// The GUI layer of the Windows build for the application object: the
// application window (hidden, carrying the taskbar entry and the title, and
// owning the forms), the message loop with dialog keys, and message boxes
// modal to the whole program.
#pragma once

#include "classlib/ClassLibExport.h"

class TApplicationGui;

// Installs the layer for the application object and registers the GUI
// classes; call it before Application->Initialize. Calling it again does
// nothing.
CLASSLIB_API void UseWin32Gui();
CLASSLIB_API TApplicationGui& Win32ApplicationGui();
