// cp932 <-> UTF-8: output to terminals and logs that expect UTF-8, and file
// names of systems that use UTF-8 taken as cp932 names.
#pragma once

#include <string>
#include <string_view>

#include "classlib/ClassLibExport.h"

// Converts cp932 bytes to UTF-8. A lead byte followed by a byte that no
// character has, or by nothing, and a pair that is no character become
// U+FFFD; a byte that cannot be a trail byte is kept for the next character,
// so an ASCII byte after a broken lead byte is never lost.
CLASSLIB_API std::string Cp932ToUtf8(std::string_view cp932);

// Converts UTF-8 to cp932 bytes through the same table. False, with cp932
// unspecified, when the input is not valid UTF-8 or holds a character that
// cp932 lacks. A character cp932 has under several codes (the NEC and IBM
// extensions) gets the one Windows chooses: JIS rows first, then NEC row 13,
// then the IBM extensions before their NEC-selected copies.
CLASSLIB_API bool Utf8ToCp932(std::string_view utf8, std::string& cp932);
