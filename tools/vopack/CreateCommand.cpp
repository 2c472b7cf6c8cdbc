// vopack create PACK FILE... [--force] [--store] [--name NAME] [-j N]: a new
// pack of the files, each under its base name (or NAME), compressed when
// that makes it smaller. Names are checked before anything is written.
#include "MemberAdding.h"
#include "NewMembers.h"
#include "ToolCommands.h"
#include "ToolPackWriter.h"

namespace vopacktool {

int RunCreate(const TOptions& options) {
    const std::string& path = options.Arguments[0];
    std::vector<TNewMember> members;
    if (!PlanMembers({options.Arguments.begin() + 1, options.Arguments.end()}, options.Name, {}, members))
        return ExitFailure;
    TProgress progress(!options.Quiet);
    TPackWriter writer(progress);
    if (!writer.Create(path, options.Force)) return ExitFailure;
    progress.Start("creating", TotalSize(members));
    const bool ok = AddMembers(writer, members, options) && writer.Finish();
    progress.Finish();
    return ok ? ExitOk : ExitFailure;
}

}  // namespace vopacktool
