// vopack add PACK FILE... [--store] [--name NAME] [-j N]: the files as new
// members of an existing pack. Names are checked against the pack and each
// other before anything is written; the pack is replaced only when complete.
#include "MemberAdding.h"
#include "NewMembers.h"
#include "ToolCommands.h"
#include "ToolPackWriter.h"

namespace vopacktool {

int RunAdd(const TOptions& options) {
    const std::string& path = options.Arguments[0];
    TProgress progress(!options.Quiet);
    TPackWriter writer(progress);
    if (!writer.Edit(path, options.CrcMode)) return ExitFailure;
    std::vector<TNewMember> members;
    if (!PlanMembers({options.Arguments.begin() + 1, options.Arguments.end()}, options.Name, writer.Names(), members))
        return ExitFailure;
    progress.Start("adding", TotalSize(members));
    const bool ok = AddMembers(writer, members, options) && writer.Finish();
    progress.Finish();
    return ok ? ExitOk : ExitFailure;
}

}  // namespace vopacktool
