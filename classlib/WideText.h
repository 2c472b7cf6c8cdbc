// cp932 <-> UTF-16 for the W functions of the Win32 API, so texts show right
// whatever the system's ANSI code page. Windows build only; the one home of
// the conversion for the message boxes and the GUI classes.
#pragma once
#if defined(_WIN32)

#include <string>

#include "classlib/AnsiString.h"
#include "classlib/ClassLibExport.h"

// A pair that is no character becomes the system's replacement character;
// nothing is dropped silently.
CLASSLIB_API std::wstring WideFromCp932(const AnsiString& text);
CLASSLIB_API AnsiString Cp932FromWide(const std::wstring& text);

#endif
