// Encode then decode: the input comes back, the stream keeps its size bound,
// and on short inputs the fast match finder gives exactly the stream of the
// exhaustive search. A first byte with its top bit set stretches the rest by
// repetition to (first & 0x7F) KiB, so that small inputs reach long runs and
// chunk boundaries. Stretched inputs are also encoded on two threads in
// small segments, which must give the same stream: periodic data makes the
// segments' chains meet late.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "vopack/OstrelDecode.h"
#include "vopack/OstrelEncode.h"
#include "vopack/OstrelParallel.h"
#include "vopack/StreamFormat.h"
#include "vopack/internal/OstrelRounds.h"

namespace {

#define CHECK(c) \
    if (!(c)) std::abort()

using Bytes = std::vector<unsigned char>;

Bytes Encode(const Bytes& input, bool reference) {
    TOstrelEncode enc;
    enc.UseReferenceSearch = reference;
    unsigned char* area = enc.Open(static_cast<int>(input.size()));
    CHECK(area != nullptr);
    Bytes stream;
    std::size_t handed = 0;
    while (!enc.IsEnd) {
        Bytes chunk;  // exactly the bytes of this call, so overreads show
        if (handed < input.size()) {
            const std::size_t n = std::min<std::size_t>(16384, input.size() - handed);
            chunk.assign(input.begin() + static_cast<std::ptrdiff_t>(handed),
                         input.begin() + static_cast<std::ptrdiff_t>(handed + n));
            handed += n;
        }
        const int r = enc.Encode(chunk.empty() ? nullptr : chunk.data());
        stream.insert(stream.end(), area, area + r);
    }
    CHECK(enc.DoneSize == static_cast<int>(stream.size()));
    return stream;
}

Bytes EncodeOnThreads(const Bytes& input) {
    Bytes stream;
    const auto source = [&input](int offset, int count) {
        CHECK(count >= 1 && count <= ostrel::ChunkSize && offset + count <= static_cast<int>(input.size()));
        return input.data() + offset;
    };
    const auto sink = [&stream](const unsigned char* data, int count) {
        stream.insert(stream.end(), data, data + count);
        return true;
    };
    CHECK(ostrel::parallel::RunRounds(static_cast<int>(input.size()), 2, ostrel::parallel::MinSegmentSize, source,
                                      sink) == oprDone);
    return stream;
}

Bytes Decode(const Bytes& stream, int dstSize) {
    TOstrelDecode dec;
    const unsigned char* area = dec.Open(dstSize, static_cast<int>(stream.size()));
    CHECK(area != nullptr);
    Bytes out;
    std::size_t fetched = 0;
    while (!dec.IsEnd) {
        Bytes chunk;
        if (dec.NeedInput && fetched < stream.size()) {
            const std::size_t n = std::min<std::size_t>(16384, stream.size() - fetched);
            chunk.assign(stream.begin() + static_cast<std::ptrdiff_t>(fetched),
                         stream.begin() + static_cast<std::ptrdiff_t>(fetched + n));
            fetched += n;
        }
        const int r = dec.Decode(chunk.empty() ? nullptr : chunk.data());
        out.insert(out.end(), area, area + r);
    }
    CHECK(!dec.IsError);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    Bytes input(data, data + size);
    if ((data[0] & 0x80) && size > 1) {
        const std::size_t target = std::max<std::size_t>(1, static_cast<std::size_t>(data[0] & 0x7F) * 1024);
        const Bytes pattern(data + 1, data + size);
        input.clear();
        while (input.size() < target) input.insert(input.end(), pattern.begin(), pattern.end());
        input.resize(target);
    }
    const Bytes stream = Encode(input, false);
    CHECK(static_cast<std::int64_t>(stream.size()) <= ostrel::MaxStreamSize(static_cast<std::int64_t>(input.size())));
    CHECK(stream.size() >= 5);
    CHECK(Decode(stream, static_cast<int>(input.size())) == input);
    if (input.size() <= 4096) CHECK(Encode(input, true) == stream);
    if (input.size() > 2 * ostrel::parallel::MinSegmentSize) CHECK(EncodeOnThreads(input) == stream);
    return 0;
}
