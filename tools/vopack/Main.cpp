// vopack COMMAND ARGS...: dispatches to one command per source file.
#include <cstdio>
#include <cstring>

#include "ToolCommands.h"
#include "ToolFiles.h"
#include "VopackToolTexts.h"

namespace {

struct TCommand {
    const char* name;
    int (*run)(int argc, char** argv);
};

const TCommand Commands[] = {
    {"compress", vopacktool::RunCompress},
    {"decompress", vopacktool::RunDecompress},
    {"crc", vopacktool::RunCrc},
};

}  // namespace

int main(int argc, char** argv) {
    using namespace vopacktool;
    if (argc < 2) {
        std::fputs(texts::Usage, stderr);
        return ExitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(texts::Usage, stdout);
        return FlushStandardOutput() ? ExitOk : ExitFailure;
    }
    for (const auto& command : Commands) {
        if (std::strcmp(argv[1], command.name) != 0) continue;
        const int result = command.run(argc - 2, argv + 2);
        // A command whose output was lost has failed, whatever it thought.
        return FlushStandardOutput() || result == ExitUsage ? result : ExitFailure;
    }
    ReportError(texts::UnknownCommand, argv[1]);
    std::fprintf(stderr, "%s\n", texts::SeeHelp);
    return ExitUsage;
}
