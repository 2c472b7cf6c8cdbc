// vopack cat PACK MEMBER: the member's bytes on standard output, streamed.
#include <cstdio>

#include "ToolCommands.h"
#include "ToolNames.h"
#include "ToolPack.h"
#include "VopackToolTexts.h"

namespace vopacktool {

int RunCat(const TOptions& options) {
    TProgress progress(false);  // standard output carries the data; stderr stays quiet
    TPackReader reader(progress);
    const std::string& path = options.Arguments[0];
    if (!reader.Open(path, options.CrcMode)) return ExitFailure;
    std::string name;
    if (MemberNameFromUtf8(options.Arguments[1], name) != TNameProblem::npNone) name.clear();
    for (const TMemberInfo& m : reader.Members()) {
        if (m.Deleted || name.empty() || !SameMemberName(m.Name, name)) continue;
        const TMemberResult result = reader.Stream(m, options.CrcMode == cmEachFile, [](const unsigned char* data, int count) {
            return std::fwrite(data, 1, static_cast<std::size_t>(count), stdout) == static_cast<std::size_t>(count);
        });
        if (result == TMemberResult::mrSinkFailed) {
            ReportError(texts::CannotWrite, texts::StandardOutput);
            return ExitFailure;
        }
        if (result != TMemberResult::mrOk) {
            ReportError(MemberResultText(result), path + ": " + DisplayName(m.Name));
            return ExitFailure;
        }
        return ExitOk;
    }
    ReportError(texts::NoSuchMember, options.Arguments[1]);
    return ExitFailure;
}

}  // namespace vopacktool
