// vopack delete PACK MEMBER...: the members (patterns as extract takes them)
// deleted; a MEMBER that matches nothing changes nothing at all.
#include "MemberSelection.h"
#include "ToolCommands.h"
#include "ToolPackWriter.h"

namespace vopacktool {

int RunDelete(const TOptions& options) {
    const std::string& path = options.Arguments[0];
    TProgress progress(!options.Quiet);
    TPackWriter writer(progress);
    if (!writer.Edit(path, options.CrcMode)) return ExitFailure;
    std::vector<TMemberInfo> members;
    const std::vector<std::string> names = writer.Names();
    for (std::size_t i = 0; i < names.size(); ++i) {
        TMemberInfo m;
        m.Index = static_cast<int>(i);
        m.Name = names[i];
        m.Deleted = names[i].empty();
        members.push_back(m);
    }
    std::vector<bool> chosen;
    if (!SelectMembers(members, {options.Arguments.begin() + 1, options.Arguments.end()}, chosen)) return ExitFailure;
    for (const TMemberInfo& m : members)
        if (chosen[static_cast<std::size_t>(m.Index)] && !writer.Delete(m.Name)) return ExitFailure;
    return writer.Finish() ? ExitOk : ExitFailure;
}

}  // namespace vopacktool
