// vopack compress INPUT OUTPUT: OUTPUT is the Ostrel stream of INPUT, made
// chunk by chunk with fixed memory. An empty INPUT gives an empty OUTPUT.
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

int RunCompress(const TOptions& options) {
    const std::vector<std::string>& argv = options.Arguments;
    TInputFile input;
    TOutputFile output;
    if (!input.Open(argv[0]) || !output.Create(argv[1], input)) return ExitFailure;

    if (input.Size() > 0) {
        std::unique_ptr<TOstrelEncode> encoder(new (std::nothrow) TOstrelEncode);
        std::unique_ptr<unsigned char[]> chunk(new (std::nothrow) unsigned char[ostrel::ChunkSize]);
        const unsigned char* area = encoder && chunk ? encoder->Open(input.Size()) : nullptr;
        if (!area) {
            ReportError(texts::NoMemory, "");
            return ExitFailure;
        }
        // Read and write failures are reported by the files themselves.
        const auto read = [&](int, int count) { return input.Read(chunk.get(), count) ? chunk.get() : nullptr; };
        const auto write = [&](const unsigned char* data, int count) { return output.Write(data, count); };
        const ostrel::TPumpResult result = ostrel::PumpEncode(*encoder, area, input.Size(), read, write);
        if (result == ostrel::TPumpResult::prTooLarge)
            ReportError(texts::TooLarge, argv[1]);  // the stream would be 2 GiB or more
        if (result != ostrel::TPumpResult::prDone) return ExitFailure;
    }
    return output.Commit() ? ExitOk : ExitFailure;
}

}  // namespace vopacktool
