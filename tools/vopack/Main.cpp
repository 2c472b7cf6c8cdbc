// vopack COMMAND [OPTIONS] ARGUMENTS...: the verb table, usage and --help
// made from it, --version; each command lives in its own source file.
#include <cstdio>
#include <string>
#include <vector>

#include "ToolCommands.h"
#include "ToolFiles.h"
#include "Verbs.h"
#include "VopackToolTexts.h"

namespace vopacktool {

namespace {

constexpr unsigned Reading = osCrcMode;

const TVerb VerbTable[] = {
    {"list", "PACK", "list the members: size, stored size, method, time (UTC), name", Reading | osAll | osJson, 1, 1,
     RunList},
    {"test", "PACK", "check the pack CRC, every member CRC and every compressed member", Reading, 1, 1, RunTest},
    {"extract", "PACK [MEMBER...] [-C DIR]", "extract members (* and ? match, case-blind) as files",
     Reading | osDirectory | osForce | osSkip, 1, -1, RunExtract},
    {"cat", "PACK MEMBER", "write a member's bytes to standard output", Reading, 2, 2, RunCat},
    {"create", "PACK FILE...", "make a new pack of the files", osForce | osStore | osName | osJobs, 2, -1, RunCreate},
    {"add", "PACK FILE...", "add files to a pack", Reading | osStore | osName | osJobs, 2, -1, RunAdd},
    {"delete", "PACK MEMBER...", "delete members from a pack", Reading, 2, -1, RunDelete},
    {"copy", "FROM_PACK MEMBER TO_PACK [NEW_NAME]", "copy a member into another pack", Reading, 3, 4, RunCopy},
    {"compress", "INPUT OUTPUT", "compress INPUT into an Ostrel stream", 0, 2, 2, RunCompress},
    {"decompress", "INPUT OUTPUT SIZE", "expand a stream of SIZE decoded bytes", 0, 3, 3, RunDecompress},
    {"crc", "FILE...", "CRC-16 of each file (start 0xFFFF)", 0, 1, -1, RunCrc},
};

void PrintUsage(std::FILE* out) {
    std::fputs(texts::UsageHead, out);
    for (const TVerb& verb : VerbTable) {
        const std::string line = std::string(verb.Name) + " " + verb.Synopsis;
        std::fprintf(out, "  vopack %-42s %s\n", line.c_str(), verb.Summary);
    }
    std::fputs(texts::UsageTail, out);
}

int Run(const std::vector<std::string>& arguments) {
    PrepareStandardStreams();
    if (arguments.size() < 2) {
        PrintUsage(stderr);
        return ExitUsage;
    }
    const std::string& first = arguments[1];
    if (first == "--help" || first == "-h") {
        PrintUsage(stdout);
        return FlushStandardOutput() ? ExitOk : ExitFailure;
    }
    if (first == "--version") {
        std::printf("vopack %s\n", KAVRENTA_VERSION);
        return FlushStandardOutput() ? ExitOk : ExitFailure;
    }
    for (const TVerb& verb : VerbTable) {
        if (first != verb.Name) continue;
        TOptions options;
        const int parsed = ParseOptions(verb, {arguments.begin() + 2, arguments.end()}, options);
        const int result = parsed >= 0 ? parsed : verb.Run(options);
        // A command whose output was lost has failed, whatever it thought.
        return FlushStandardOutput() || result == ExitUsage ? result : ExitFailure;
    }
    ReportError(texts::UnknownCommand, first);
    std::fprintf(stderr, "%s\n", texts::SeeHelp);
    return ExitUsage;
}

}  // namespace

}  // namespace vopacktool

#ifdef _WIN32
// UTF-16 arguments, so names of any script arrive whatever the code page.
int wmain(int argc, wchar_t** argv) { return vopacktool::Run(vopacktool::Utf8Arguments(argc, argv)); }
#else
int main(int argc, char** argv) { return vopacktool::Run(vopacktool::Utf8Arguments(argc, argv)); }
#endif
