// vopack compress INPUT OUTPUT: OUTPUT is the Ostrel stream of INPUT, made
// with fixed memory. An empty INPUT gives an empty OUTPUT.
#include <memory>
#include <string>
#include <vector>
#include <new>

#include "ToolCommands.h"
#include "ToolFiles.h"
#include "VopackToolTexts.h"
#include "vopack/Vopack.h"
#include "vopack/StreamFormat.h"

namespace vopacktool {

int RunCompress(const TOptions& options) {
    const std::vector<std::string>& argv = options.Arguments;
    TInputFile input;
    TOutputFile output;
    if (!input.Open(argv[0]) || !output.Create(argv[1], input)) return ExitFailure;

    if (input.Size() > 0) {
        std::unique_ptr<unsigned char[]> chunk(new (std::nothrow) unsigned char[ostrel::ChunkSize]);
        if (!chunk) {
            ReportError(texts::NoMemory, "");
            return ExitFailure;
        }
        // Read and write failures are reported by the files themselves.
        const auto read = [&](int, int count) { return input.Read(chunk.get(), count) ? chunk.get() : nullptr; };
        const auto write = [&](const unsigned char* data, int count) { return output.Write(data, count); };
        // One thread: on two cores a second one has not yet been measured
        // faster (the machines measured were busy); the stream is the same.
        const TOstrelParallelResult result = OstrelEncodeParallel(input.Size(), 1, read, write);
        if (result == oprNoMemory) ReportError(texts::NoMemory, "");
        if (result == oprTooLarge) ReportError(texts::TooLarge, argv[1]);  // the stream would be 2 GiB or more
        if (result != oprDone) return ExitFailure;
    }
    return output.Commit() ? ExitOk : ExitFailure;
}

}  // namespace vopacktool
