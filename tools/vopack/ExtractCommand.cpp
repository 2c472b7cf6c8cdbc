// vopack extract PACK [MEMBER...] [-C DIR] [--force|--skip]: members as files
// in DIR, each with the member's time. A name that would leave DIR is
// refused while the others are still extracted; an existing file is kept
// unless --force. Each file appears only once complete (and, with
// --crc-mode each, only when its CRC matches).
#include <cstdint>

#include "MemberSelection.h"
#include "ToolCommands.h"
#include "ToolNames.h"
#include "ToolPack.h"
#include "VopackToolTexts.h"

namespace vopacktool {

namespace {

bool PrepareFolder(const std::string& folder) {
    if (folder.empty()) return true;
    switch (InspectPath(folder)) {
        case TPathKind::pkFolder: return true;
        case TPathKind::pkAbsent: return MakeFolder(folder);
        default: break;
    }
    ReportError(texts::CannotCreate, folder);
    return false;
}

}  // namespace

int RunExtract(const TOptions& options) {
    TProgress progress(!options.Quiet);
    TPackReader reader(progress);
    const std::string& path = options.Arguments[0];
    if (!reader.Open(path, options.CrcMode)) return ExitFailure;
    std::vector<bool> chosen;
    bool ok = SelectMembers(reader.Members(), {options.Arguments.begin() + 1, options.Arguments.end()}, chosen);
    if (!PrepareFolder(options.Directory)) return ExitFailure;
    const std::string prefix = options.Directory.empty() ? std::string() : options.Directory + PathSeparator;

    std::int64_t total = 0;
    for (const TMemberInfo& m : reader.Members())
        if (chosen[static_cast<std::size_t>(m.Index)]) total += m.Size;
    progress.Start("extracting", total);
    const auto fail = [&](const char* what, const std::string& detail) {
        progress.Finish();
        ReportError(what, detail);
        ok = false;
    };
    for (const TMemberInfo& m : reader.Members()) {
        if (!chosen[static_cast<std::size_t>(m.Index)]) continue;
        const std::string name = ExtractionName(m.Name, NativeWindowsRules);
        if (name.empty()) {
            fail(texts::RefusedName, DisplayName(m.Name));
            continue;
        }
        const std::string target = prefix + name;
        const TPathKind kind = InspectPath(target);
        if (kind != TPathKind::pkAbsent && options.Skip) continue;
        if (kind == TPathKind::pkRegular && !options.Force) {
            fail(texts::Exists, target);
            continue;
        }
        TOutputFile output;
        if (!output.Create(target, false)) {
            ok = false;
            continue;
        }
        if (m.HasTime) output.SetTime(m.Time);
        const TMemberResult result = reader.Stream(m, options.CrcMode == cmEachFile, [&](const unsigned char* data, int count) {
            return output.Write(data, count);
        });
        // A failed write or commit has said why already.
        if (result != TMemberResult::mrOk && result != TMemberResult::mrSinkFailed)
            fail(MemberResultText(result), path + ": " + DisplayName(m.Name));
        if (result != TMemberResult::mrOk || !output.Commit(options.Force, false)) ok = false;
    }
    progress.Finish();
    return ok ? ExitOk : ExitFailure;
}

}  // namespace vopacktool
