// vopack decompress INPUT OUTPUT SIZE: expands the Ostrel stream INPUT into
// SIZE bytes. A stream that breaks the format, or does not decode to exactly
// SIZE bytes, is an error and leaves no OUTPUT.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#include <new>

#include "ToolCommands.h"
#include "ToolFiles.h"
#include "VopackToolTexts.h"
#include "vopack/Vopack.h"
#include "vopack/internal/OstrelPump.h"

namespace vopacktool {

namespace {

bool ParseSize(const std::string& digits, int& size) {
    const char* text = digits.c_str();
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || value > INT_MAX) return false;
    size = static_cast<int>(value);
    return true;
}

}  // namespace

int RunDecompress(const TOptions& options) {
    const std::vector<std::string>& argv = options.Arguments;
    int size = 0;
    if (!ParseSize(argv[2], size)) {
        ReportError(texts::BadSize, argv[2]);
        return ExitUsage;
    }
    TInputFile input;
    TOutputFile output;
    if (!input.Open(argv[0]) || !output.Create(argv[1], input)) return ExitFailure;

    if (size > 0 || input.Size() > 0) {
        std::unique_ptr<TOstrelDecode> decoder(new (std::nothrow) TOstrelDecode);
        std::unique_ptr<unsigned char[]> chunk(new (std::nothrow) unsigned char[ostrel::ChunkSize]);
        const unsigned char* area = decoder && chunk ? decoder->Open(size, input.Size()) : nullptr;
        if (!area) {
            ReportError(texts::NoMemory, "");
            return ExitFailure;
        }
        const auto read = [&](int, int count) { return input.Read(chunk.get(), count) ? chunk.get() : nullptr; };
        const auto write = [&](const unsigned char* data, int count) { return output.Write(data, count); };
        const ostrel::TPumpResult result = ostrel::PumpDecode(*decoder, area, input.Size(), size, read, write);
        if (result == ostrel::TPumpResult::prDamaged) ReportError(texts::Damaged, argv[0]);
        if (result != ostrel::TPumpResult::prDone) return ExitFailure;  // read and write failures are reported
    }
    return output.Commit() ? ExitOk : ExitFailure;
}

}  // namespace vopacktool
