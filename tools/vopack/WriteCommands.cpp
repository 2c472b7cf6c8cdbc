// vopack create, add, delete and copy need the pack's writing side, which
// this build does not have yet: they say so and change nothing.
#include "ToolCommands.h"
#include "ToolFiles.h"
#include "VopackToolTexts.h"

namespace vopacktool {

namespace {

int NotYet(const char* command) {
    ReportError(command, texts::NotYet);
    return ExitFailure;
}

}  // namespace

int RunCreate(const TOptions& /*options*/) { return NotYet("create"); }
int RunAdd(const TOptions& /*options*/) { return NotYet("add"); }
int RunDelete(const TOptions& /*options*/) { return NotYet("delete"); }
int RunCopy(const TOptions& /*options*/) { return NotYet("copy"); }

}  // namespace vopacktool
