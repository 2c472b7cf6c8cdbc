// Arbitrary stream bytes after a 4-byte little-endian decoded size. The
// decoder must end with IsEnd, read only the chunks handed to it (each in a
// block of exactly its size), report no more than the decoded size, and
// either flag damage or behave exactly as the byte-at-a-time model.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "tests/support/OstrelReferenceDecode.h"
#include "vopack/OstrelDecode.h"

namespace {

#define CHECK(c) \
    if (!(c)) std::abort()

struct TDecoded {
    bool isError;
    std::vector<unsigned char> out;
};

TDecoded Decode(const unsigned char* stream, int srcSize, int dstSize) {
    TDecoded result{};
    TOstrelDecode dec;
    const unsigned char* area = dec.Open(dstSize, srcSize);
    CHECK(area != nullptr);
    int fetched = 0;
    long long total = 0;
    while (!dec.IsEnd) {
        std::unique_ptr<unsigned char[]> chunk;
        if (dec.NeedInput && fetched < srcSize) {
            const int n = std::min(16384, srcSize - fetched);
            chunk.reset(new unsigned char[static_cast<std::size_t>(n)]);
            std::memcpy(chunk.get(), stream + fetched, static_cast<std::size_t>(n));
            fetched += n;
        }
        const int r = dec.Decode(chunk.get());
        CHECK(r >= 0 && r <= 16384 + 8192);
        total += r;
        CHECK(total <= (dstSize > 0 ? dstSize : 0));
        // Keep what is small enough to compare; the bounds above hold for all.
        if (total <= (1 << 22)) result.out.insert(result.out.end(), area, area + r);
    }
    result.isError = dec.IsError;
    // Bytes are read only from what was loaded, and a sound stream is used up.
    CHECK(dec.SrcPos >= 0 && dec.SrcPos <= dec.InLoaded && dec.InLoaded <= (srcSize > 0 ? srcSize : 0));
    if (!dec.IsError) CHECK((total == dstSize && dec.SrcPos == srcSize) || (dstSize <= 0 && total == 0));
    return result;
}

// A stream not flagged as damaged keeps the format's bounds, so the model can
// decode it: both must agree call by call.
void CompareWithModel(const unsigned char* stream, int srcSize, int dstSize) {
    TOstrelDecode dec;
    const unsigned char* area = dec.Open(dstSize, srcSize);
    ostreltest::TReferenceDecode ref(dstSize, srcSize);
    int fetched = 0;
    while (!ref.IsEnd) {
        CHECK(dec.NeedInput == ref.NeedInput);
        const unsigned char* chunk = nullptr;
        if (ref.NeedInput && fetched < srcSize) {
            chunk = stream + fetched;
            fetched += std::min(16384, srcSize - fetched);
        }
        const int r = dec.Decode(chunk);
        CHECK(r == ref.Decode(chunk));
        CHECK(dec.IsEnd == ref.IsEnd && dec.SrcPos == ref.SrcPos && dec.DstPos == ref.DstPos);
        CHECK(dec.OutBase == ref.OutBase && dec.FlagIndex == ref.FlagIndex);
        CHECK(std::memcmp(area, ref.Area(), static_cast<std::size_t>(r)) == 0);
    }
    CHECK(dec.IsEnd && !dec.IsError);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    std::uint32_t raw = 0;
    for (int i = 0; i < 4; ++i) raw |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    const int dstSize = static_cast<int>(raw);
    const int srcSize = static_cast<int>(size - 4);
    const TDecoded decoded = Decode(data + 4, srcSize, dstSize);
    if (!decoded.isError && dstSize > 0 && dstSize <= (1 << 22)) CompareWithModel(data + 4, srcSize, dstSize);
    return 0;
}
