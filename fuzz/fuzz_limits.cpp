// Encoder and decoder at positions near 2^31 - 1, through their test entries:
// the first four bytes pick the input start (0 or the last one the entry
// takes), how far below 2^31 - 1 the stream starts, and a length to stretch
// the rest to by repetition. A stream that fits must be the input's own
// stream and decode back at the limit; one that does not must be given up
// with whole groups handed out. The rest is also decoded as a hostile stream
// ending at the limit.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "vopack/OstrelDecode.h"
#include "vopack/OstrelEncode.h"

namespace {

#define CHECK(c) \
    if (!(c)) std::abort()

using Bytes = std::vector<unsigned char>;

struct TEncoderAt : TOstrelEncode {
    using TOstrelEncode::OpenAt;
};
struct TDecoderAt : TOstrelDecode {
    using TOstrelDecode::OpenAt;
};

constexpr int LastInputStart = INT_MAX - 65535;

struct TEncoded {
    Bytes Stream;
    int DoneSize;
    bool Overflow;
};

TEncoded Encode(const Bytes& input, int inputStart, int streamStart) {
    TEncoderAt enc;
    unsigned char* area = enc.OpenAt(inputStart, streamStart, static_cast<int>(input.size()));
    CHECK(area != nullptr);
    TEncoded r{};
    std::size_t handed = 0;
    while (!enc.IsEnd) {
        Bytes chunk;  // exactly the bytes of this call, so overreads show
        if (handed < input.size()) {
            const std::size_t n = std::min<std::size_t>(16384, input.size() - handed);
            chunk.assign(input.begin() + static_cast<std::ptrdiff_t>(handed),
                         input.begin() + static_cast<std::ptrdiff_t>(handed + n));
            handed += n;
        }
        const int n = enc.Encode(chunk.empty() ? nullptr : chunk.data());
        CHECK(n >= 0);
        r.Stream.insert(r.Stream.end(), area, area + n);
    }
    r.DoneSize = enc.DoneSize;
    r.Overflow = enc.IsOverflow;
    return r;
}

// Decodes stream as the last bytes of a 2^31 - 1-byte stream with left
// decoded bytes to go before 2^31 - 1; false on damage.
bool DecodeAtTheEnd(const Bytes& stream, int left, Bytes& out) {
    TDecoderAt dec;
    const int srcLeft = static_cast<int>(stream.size());
    const unsigned char* area = dec.OpenAt(INT_MAX - left, INT_MAX - srcLeft, INT_MAX, INT_MAX);
    CHECK(area != nullptr);
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
        CHECK(r >= 0);
        out.insert(out.end(), area, area + r);
        CHECK(out.size() <= static_cast<std::size_t>(left));
    }
    return !dec.IsError;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const bool lastInputs = data[0] & 1;
    const int streamStart = INT_MAX - std::max(4, data[1] | data[2] << 8);
    const std::size_t stretch = static_cast<std::size_t>(data[3] & 0x7F) * 1024;
    Bytes input(data + 4, data + size);
    if (stretch > input.size()) {
        const Bytes pattern = input;
        while (input.size() < stretch) input.insert(input.end(), pattern.begin(), pattern.end());
        input.resize(stretch);
    }
    if (lastInputs && input.size() > 65535) input.resize(65535);

    const TEncoded plain = Encode(input, 0, 0);
    CHECK(!plain.Overflow && plain.DoneSize == static_cast<int>(plain.Stream.size()));
    const TEncoded e = Encode(input, lastInputs ? LastInputStart : 0, streamStart);
    const bool fits = plain.Stream.size() <= static_cast<std::size_t>(INT_MAX - streamStart);
    CHECK(e.Overflow == !fits);
    if (fits) {
        CHECK(e.Stream == plain.Stream);
        CHECK(e.DoneSize == streamStart + static_cast<int>(plain.Stream.size()));
        Bytes out;
        CHECK(DecodeAtTheEnd(e.Stream, static_cast<int>(input.size()), out));
        CHECK(out == input);
    } else {
        CHECK(e.Stream.size() < plain.Stream.size());
        CHECK(std::equal(e.Stream.begin(), e.Stream.end(), plain.Stream.begin()));
        CHECK(e.DoneSize >= streamStart + static_cast<int>(e.Stream.size()));
    }

    // The same bytes as a hostile stream: no more than left bytes, no crash.
    Bytes out;
    DecodeAtTheEnd(Bytes(data + 4, data + size), 1 + data[3] * 64, out);
    return 0;
}
