// Internal: fills the %s marks of a cp932 text with arguments, in order.
// '%' (0x25) is never part of a double-byte character, so the marks are found
// byte by byte.
#pragma once

#include <initializer_list>

#include "classlib/AnsiString.h"

AnsiString FormatText(const char* pattern, std::initializer_list<AnsiString> arguments);
