// Internal: <windows.h> for the GUI sources, without the macros that clash
// with the class library's names.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef MessageBox
#undef CreateWindow
#undef RegisterClass
