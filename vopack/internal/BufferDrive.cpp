#include "vopack/internal/BufferDrive.h"

#include "vopack/internal/OstrelPump.h"

namespace ostrel {

bool EncodeToBlock(TOstrelEncode& encoder, const unsigned char* area, const unsigned char* src, int srcLen,
                   unsigned char* block, std::int64_t capacity, int& length) {
    TBlockSink sink{block, capacity};
    const TPumpResult result = PumpEncode(encoder, area, srcLen, MemorySource(src), sink);
    length = sink.Length;
    return result == TPumpResult::prDone;
}

bool DecodeToBlock(TOstrelDecode& decoder, const unsigned char* area, const unsigned char* src, int srcLen,
                   unsigned char* block, int dstLen) {
    TBlockSink sink{block, dstLen};
    return PumpDecode(decoder, area, srcLen, dstLen, MemorySource(src), sink) == TPumpResult::prDone;
}

}  // namespace ostrel
