// Internals of VoFileExec, open to the unit's tests; not installed.
#pragma once

#include <cstdint>

#include "classlib/AnsiString.h"
#include "platform/PlatformTypes.h"

namespace quorvan::internal {

// The working directory VoFileExec hands to the shell: the path up to and
// including its last "\" or ":", judged as whole cp932 characters (a 0x5C
// trail byte is no separator); the final "\" is dropped unless the character
// before it is ":" or a single-byte "\", so a root keeps its backslash.
// A path without a separator gives the empty text.
AnsiString WorkingDirectoryOf(const AnsiString& path);

// The text of the error box for a failing shell result (0 to 32).
const char* ShellErrorText(std::intptr_t code);

// The shell call VoFileExec makes, replaceable so tests can produce every
// result without starting programs. Returns the previous call; null puts
// plat::ShellExecuteA back.
using TShellExecute = plat::HINSTANCE (*)(plat::HWND owner, const char* operation, const char* file,
                                          const char* parameters, const char* directory, int show);
TShellExecute SetShellExecute(TShellExecute shellExecute);

}  // namespace quorvan::internal
