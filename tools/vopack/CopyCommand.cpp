// vopack copy FROM_PACK MEMBER TO_PACK [NEW_NAME]: the member's stored bytes
// copied as they are (no expansion, no recompression) into TO_PACK, which is
// made when it does not exist.
#include "NewMembers.h"
#include "ToolCommands.h"
#include "ToolNames.h"
#include "ToolPack.h"
#include "ToolPackWriter.h"
#include "VopackToolTexts.h"

namespace vopacktool {

int RunCopy(const TOptions& options) {
    const std::vector<std::string>& a = options.Arguments;
    TProgress progress(!options.Quiet);
    TPackReader from(progress);
    if (!from.Open(a[0], options.CrcMode)) return ExitFailure;
    std::string wanted;
    const TMemberInfo* member = nullptr;
    if (MemberNameFromUtf8(a[1], wanted) == TNameProblem::npNone)
        for (const TMemberInfo& m : from.Members())
            if (!m.Deleted && !m.Shadowed && SameMemberName(m.Name, wanted)) {
                member = &m;
                break;
            }
    if (!member) {
        ReportError(texts::NoSuchMember, a[1]);
        return ExitFailure;
    }
    TPackWriter to(progress);
    const bool exists = InspectPath(a[2]) != TPathKind::pkAbsent;
    if (!(exists ? to.Edit(a[2], options.CrcMode) : to.Create(a[2], false))) return ExitFailure;
    // A NEW_NAME is checked as a file's name would be; the member's own name
    // only for being taken, by the pack.
    std::vector<TNewMember> planned;
    if (a.size() > 3 && !PlanMembers({a[2]}, a[3], to.Names(), planned)) return ExitFailure;
    const std::string name = a.size() > 3 ? planned[0].Name : member->Name;
    // The source's member CRC is checked by the pack under --crc-mode each.
    from.Pack().SetCrcMode(options.CrcMode == cmEachFile ? cmEachFile : cmNon);
    if (!to.CopyFrom(from.Pack(), member->Name, name)) return ExitFailure;
    return to.Finish() ? ExitOk : ExitFailure;
}

}  // namespace vopacktool
