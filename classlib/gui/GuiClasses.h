// The GUI classes in the class registry, so that form files can create them
// by class name.
#pragma once

#include "classlib/ClassLibExport.h"

// Registers TForm, TLabel and TBitBtn; calling it again does nothing.
CLASSLIB_API void RegisterGuiClasses();
