#include "vopack/BufferDrive.h"

#include <cstddef>
#include <cstring>

#include "vopack/OstrelDecode.h"
#include "vopack/OstrelEncode.h"
#include "vopack/StreamFormat.h"

namespace ostrel {

namespace {

// Where the chunk after the one at handed starts (the rest, when shorter).
int NextChunk(int handed, int total) { return total - handed >= ChunkSize ? handed + ChunkSize : total; }

}  // namespace

bool EncodeToBlock(TOstrelEncode& encoder, const unsigned char* area, const unsigned char* src, int srcLen,
                   unsigned char* block, std::int64_t capacity, int& length) {
    length = 0;
    int handed = 0;
    while (!encoder.IsEnd) {
        // Encode takes a non-const pointer but only copies from it.
        unsigned char* chunk = nullptr;
        if (handed < srcLen) {
            chunk = const_cast<unsigned char*>(src + handed);
            handed = NextChunk(handed, srcLen);
        }
        const int r = encoder.Encode(chunk);
        if (r > 0) {
            if (r > capacity - length) return false;  // never for a sound encoder
            std::memcpy(block + length, area, static_cast<std::size_t>(r));
            length += r;
        }
    }
    return !encoder.IsOverflow;
}

bool DecodeToBlock(TOstrelDecode& decoder, const unsigned char* area, const unsigned char* src, int srcLen,
                   unsigned char* block, int dstLen) {
    int handed = 0;
    int written = 0;
    while (!decoder.IsEnd) {
        const unsigned char* chunk = nullptr;
        if (decoder.NeedInput && handed < srcLen) {
            chunk = src + handed;
            handed = NextChunk(handed, srcLen);
        }
        const int r = decoder.Decode(chunk);
        if (r > 0) {
            if (r > dstLen - written) return false;  // the decoder never reports more
            std::memcpy(block + written, area, static_cast<std::size_t>(r));
            written += r;
        }
    }
    return !decoder.IsError && written == dstLen;
}

}  // namespace ostrel
