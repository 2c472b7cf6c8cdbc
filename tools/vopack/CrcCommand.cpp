// vopack crc FILE...: one line per file, "XXXX  name", the CRC-16/MCRF4XX of
// its bytes (the pack's CRC: default variant, start 0xFFFF).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include <new>

#include "ToolCommands.h"
#include "ToolFiles.h"
#include "VopackToolTexts.h"
#include "vopack/Vopack.h"

namespace vopacktool {

namespace {

constexpr int PieceSize = 1 << 16;

bool FileCrc(const TCrcCheck& crc, const std::string& path, unsigned char* buffer, std::uint16_t& value) {
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

int RunCrc(const TOptions& options) {
    const std::vector<std::string>& files = options.Arguments;
    TCrcCheck crc;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[PieceSize]);
    if (!buffer) {
        ReportError(texts::NoMemory, "");
        return ExitFailure;
    }
    int result = ExitOk;
    for (const std::string& file : files) {
        std::uint16_t value = 0;
        if (FileCrc(crc, file, buffer.get(), value))
            std::printf("%04X  %s\n", static_cast<unsigned>(value), file.c_str());
        else
            result = ExitFailure;
    }
    return result;
}

}  // namespace vopacktool
