// cp932 -> UTF-8, for output to terminals and logs that expect UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "classlib/ClassLibExport.h"

// Converts cp932 bytes to UTF-8. A lead byte followed by a byte that no
// character has, or by nothing, and a pair that is no character become
// U+FFFD; a byte that cannot be a trail byte is kept for the next character,
// so an ASCII byte after a broken lead byte is never lost.
CLASSLIB_API std::string Cp932ToUtf8(std::string_view cp932);
