// vopack crc FILE...: one line per file, "XXXX  name", the CRC-16/MCRF4XX of
// its bytes (the pack's CRC: default variant, start 0xFFFF).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "ToolCommands.h"
#include "ToolFiles.h"
#include "VopackToolTexts.h"
#include "vopack/Vopack.h"

namespace vopacktool {

namespace {

constexpr int PieceSize = 1 << 16;

bool FileCrc(const TCrcCheck& crc, const char* path, unsigned char* buffer, std::uint16_t& value) {
    TInputFile input;
    if (!input.Open(path)) return false;
    value = 0xFFFF;
    for (int done = 0; done < input.Size();) {
        const int n = std::min(PieceSize, input.Size() - done);
        if (!input.Read(buffer, n)) return false;
        value = crc.UpDateCrc(value, buffer, n);
        done += n;
    }
    return true;
}

}  // namespace

int RunCrc(int argc, char** argv) {
    if (argc < 1) {
        ReportError(texts::WrongArguments, "crc");
        return ExitUsage;
    }
    TCrcCheck crc;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[PieceSize]);
    if (!buffer) {
        ReportError(texts::NoMemory, "");
        return ExitFailure;
    }
    int result = ExitOk;
    for (int i = 0; i < argc; ++i) {
        std::uint16_t value = 0;
        if (FileCrc(crc, argv[i], buffer.get(), value))
            std::printf("%04X  %s\n", static_cast<unsigned>(value), argv[i]);
        else
            result = ExitFailure;
    }
    return result;
}

}  // namespace vopacktool
