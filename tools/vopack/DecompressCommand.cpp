// vopack decompress INPUT OUTPUT SIZE: expands the Ostrel stream INPUT into
// SIZE bytes. A stream that breaks the format, or does not decode to exactly
// SIZE bytes, is an error and leaves no OUTPUT.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <algorithm>
#include <memory>
#include <new>

#include "ToolCommands.h"
#include "ToolFiles.h"
#include "VopackToolTexts.h"
#include "vopack/Vopack.h"

namespace vopacktool {

namespace {

bool ParseSize(const char* text, int& size) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || value > INT_MAX) return false;
    size = static_cast<int>(value);
    return true;
}

}  // namespace

int RunDecompress(int argc, char** argv) {
    if (argc != 3) {
        ReportError(texts::WrongArguments, "decompress");
        return ExitUsage;
    }
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
        int fetched = 0;
        long long written = 0;
        while (!decoder->IsEnd) {
            if (decoder->NeedInput && fetched < input.Size()) {
                const int n = std::min(ostrel::ChunkSize, input.Size() - fetched);
                if (!input.Read(chunk.get(), n)) return ExitFailure;
                fetched += n;
            }
            const int r = decoder->Decode(chunk.get());
            if (!output.Write(area, r)) return ExitFailure;
            written += r;
        }
        if (decoder->IsError || written != size) {
            ReportError(texts::Damaged, argv[0]);
            return ExitFailure;
        }
    }
    return output.Commit() ? ExitOk : ExitFailure;
}

}  // namespace vopacktool
