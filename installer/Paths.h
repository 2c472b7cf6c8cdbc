// The path rules of the installer, for cp932 paths.
#pragma once

#include "classlib/AnsiString.h"

// The directory with a trailing "\", unless its last character already is a
// "\". The last character is judged as a whole cp932 character, so the
// second byte of a double-byte character is never taken for a "\", even when
// it is 0x5C ("C:\ソ" = 43 3A 5C 83 5C gets one).
AnsiString AddTrailingBackslash(const AnsiString& directory);

// The file-name part of a path: everything after its last "\" or ":" (a "\"
// that is the second byte of a double-byte character does not count).
AnsiString FileNamePart(const AnsiString& path);
