// vopack compress INPUT OUTPUT: OUTPUT is the Ostrel stream of INPUT, made
// chunk by chunk with fixed memory. An empty INPUT gives an empty OUTPUT.
#include <algorithm>
#include <memory>
#include <new>

#include "ToolCommands.h"
#include "ToolFiles.h"
#include "VopackToolTexts.h"
#include "vopack/Vopack.h"

namespace vopacktool {

int RunCompress(int argc, char** argv) {
    if (argc != 2) {
        ReportError(texts::WrongArguments, "compress");
        return ExitUsage;
    }
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
        int handed = 0;
        while (!encoder->IsEnd) {
            if (handed < input.Size()) {
                const int n = std::min(ostrel::ChunkSize, input.Size() - handed);
                if (!input.Read(chunk.get(), n)) return ExitFailure;
                handed += n;
            }
            const int r = encoder->Encode(chunk.get());
            if (!output.Write(area, r)) return ExitFailure;
        }
        if (encoder->IsOverflow) {  // the stream would be 2 GiB or more
            ReportError(texts::TooLarge, argv[1]);
            return ExitFailure;
        }
    }
    return output.Commit() ? ExitOk : ExitFailure;
}

}  // namespace vopacktool
