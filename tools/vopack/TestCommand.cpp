// vopack test PACK: the pack CRC (version 3), every member's CRC, and that
// every compressed member decodes to its size; each fault is named.
#include <cstdio>

#include "ToolCommands.h"
#include "ToolNames.h"
#include "ToolPack.h"
#include "VopackToolTexts.h"

namespace vopacktool {

int RunTest(const TOptions& options) {
    TProgress progress(!options.Quiet);
    TPackReader reader(progress);
    const std::string& path = options.Arguments[0];
    bool sound = true;
    if (!reader.Open(path, cmPackAll)) {
        // A CRC fault still lets the members be checked one by one.
        if (!reader.CrcFailed() || !reader.OpenUnchecked()) return ExitFailure;
        sound = false;
    }
    std::int64_t total = 0;
    for (const TMemberInfo& m : reader.Members()) total += m.Size;
    progress.Start("testing", total);
    for (const TMemberInfo& m : reader.Members()) {
        if (m.Deleted) continue;
        const TMemberResult result = reader.Stream(m, true, [](const unsigned char*, int) { return true; });
        if (result == TMemberResult::mrOk) continue;
        sound = false;
        progress.Finish();
        ReportError(MemberResultText(result), path + ": " + DisplayName(m.Name));
    }
    progress.Finish();
    if (sound && !options.Quiet) std::printf("%s: %s\n", path.c_str(), texts::PackSound);
    return sound ? ExitOk : ExitFailure;
}

}  // namespace vopacktool
