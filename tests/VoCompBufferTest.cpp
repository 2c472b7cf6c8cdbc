#include "vopack/VoCompBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "vopack/internal/BufferDrive.h"
#include "vopack/OstrelDecode.h"
#include "vopack/OstrelEncode.h"
#include "vopack/OstrelParallel.h"
#include "vopack/StreamFormat.h"

namespace {

using Bytes = std::vector<unsigned char>;

unsigned char Sentinel[1];
unsigned char* const Untouched = Sentinel;

Bytes Make(const std::string& kind, int n) {
    std::mt19937 rng(static_cast<unsigned>(n) * 31u + static_cast<unsigned>(kind.size()));
    Bytes out(static_cast<std::size_t>(n));
    if (kind == "zeros") return out;
    if (kind == "random") {
        for (auto& b : out) b = static_cast<unsigned char>(rng());
        return out;
    }
    static const char* words[] = {"block ", "codec ", "crc ", "group ", "literal ", "match\n"};
    std::string text;
    while (static_cast<int>(text.size()) < n) text += words[rng() % 6];
    std::memcpy(out.data(), text.data(), out.size());
    return out;
}

struct TEncoded {
    bool ok;
    unsigned char* block = Untouched;
    int length = -7;
    std::uint16_t crc = 0x1357;
};

TEncoded Encode(TVoCompBuffer& codec, const Bytes& input) {
    TEncoded e;
    e.ok = codec.EncodeBuffer(input.data(), static_cast<int>(input.size()), &e.block, &e.length, &e.crc);
    return e;
}

void Free(unsigned char*& block) {
    if (block && block != Untouched) plat::GlobalFree(block);
    block = nullptr;
}

TEST(VoCompBuffer, RoundTripsOverSizesAndKinds) {
    TVoCompBuffer codec;
    for (const char* kind : {"zeros", "text", "random"})
        for (int n : {1, 31, 32, 33, 16383, 16384, 16385, 32768, 100000}) {
            SCOPED_TRACE(std::string(kind) + " " + std::to_string(n));
            const Bytes input = Make(kind, n);
            TEncoded e = Encode(codec, input);
            ASSERT_TRUE(e.ok);
            ASSERT_NE(e.block, nullptr);
            EXPECT_GE(e.length, 5);
            EXPECT_LE(e.length, ostrel::MaxStreamSize(n));
            EXPECT_EQ(e.crc, codec.CrcCheck->Crc(e.block, e.length));
            unsigned char* out = Untouched;
            ASSERT_TRUE(codec.DecodeBuffer(e.block, e.length, n, e.crc, &out));
            ASSERT_NE(out, nullptr);
            EXPECT_EQ(std::memcmp(out, input.data(), input.size()), 0);
            Free(out);
            Free(e.block);
        }
}

// The thread count changes the speed only: the same block, length and CRC,
// below and above the size where threads take over.
TEST(VoCompBuffer, ThreadsGiveTheSameBlock) {
    for (const char* kind : {"zeros", "text", "random"})
        for (int n : {1000, OstrelParallelMinSize + 1, OstrelParallelMinSize * 2 + 7}) {
            SCOPED_TRACE(std::string(kind) + " " + std::to_string(n));
            const Bytes input = Make(kind, n);
            TVoCompBuffer one;
            TEncoded alone = Encode(one, input);
            ASSERT_TRUE(alone.ok);
            for (int threads : {2, 0}) {
                TVoCompBuffer many;
                many.Threads = threads;
                TEncoded e = Encode(many, input);
                ASSERT_TRUE(e.ok);
                EXPECT_EQ(e.length, alone.length);
                EXPECT_EQ(e.crc, alone.crc);
                EXPECT_EQ(std::memcmp(e.block, alone.block, static_cast<std::size_t>(alone.length)), 0);
                Free(e.block);
            }
            Free(alone.block);
        }
}

TEST(VoCompBuffer, OneByteGivesFiveBytes) {
    TVoCompBuffer codec;
    TEncoded e = Encode(codec, {0x42});
    ASSERT_TRUE(e.ok);
    ASSERT_EQ(e.length, 5);
    EXPECT_EQ(Bytes(e.block, e.block + 5), (Bytes{0, 0, 0, 0, 0x42}));
    Free(e.block);
}

TEST(VoCompBuffer, LongRunDecodesWhole) {
    TVoCompBuffer codec;
    const Bytes input(60000, 0xAB);
    TEncoded e = Encode(codec, input);
    ASSERT_TRUE(e.ok);
    EXPECT_LT(e.length, 64);
    unsigned char* out = nullptr;
    ASSERT_TRUE(codec.DecodeBuffer(e.block, e.length, 60000, e.crc, &out));
    EXPECT_EQ(Bytes(out, out + 60000), input);
    Free(out);
    Free(e.block);
}

TEST(VoCompBuffer, EncodeRefusesEmptyInput) {
    TVoCompBuffer codec;
    const unsigned char data[1] = {1};
    for (int len : {0, -1}) {
        TEncoded e;
        EXPECT_FALSE(codec.EncodeBuffer(data, len, &e.block, &e.length, &e.crc));
        EXPECT_EQ(e.block, Untouched);
        EXPECT_EQ(e.length, -7);
        EXPECT_EQ(e.crc, 0x1357);
    }
}

// Changing any bit of a block makes its CRC differ: refused, out untouched.
TEST(VoCompBuffer, DamagedBlockIsRefusedAtItsCrc) {
    TVoCompBuffer codec;
    const Bytes input = Make("text", 3000);
    TEncoded e = Encode(codec, input);
    ASSERT_TRUE(e.ok);
    Bytes damaged(e.block, e.block + e.length);
    for (std::size_t i = 0; i < damaged.size(); ++i)
        for (int bit : {0, 7}) {
            damaged[i] ^= static_cast<unsigned char>(1 << bit);
            unsigned char* out = Untouched;
            ASSERT_FALSE(codec.DecodeBuffer(damaged.data(), e.length, 3000, e.crc, &out)) << i;
            ASSERT_EQ(out, Untouched);
            damaged[i] ^= static_cast<unsigned char>(1 << bit);
        }
    Free(e.block);
}

struct TDecodeFailure {
    const char* name;
    Bytes stream;
    int srcLen;  // -1: the stream's length
    int dstLen;
    bool outNulled;  // false: out stays untouched
};

// Each stream gets its true CRC, so the refusals below come after the CRC
// test: from the size checks (out untouched) or from the decoder (out null).
TEST(VoCompBuffer, DecodeFailures) {
    const TDecodeFailure cases[] = {
        {"srcLen 0", {}, 0, 10, false},
        {"dstLen 0", {0, 0, 0, 0, 0x61}, -1, 0, false},
        {"dstLen negative", {0, 0, 0, 0, 0x61}, -1, -3, false},
        {"srcLen negative", {}, -4, 10, false},
        {"stream shorter than its tokens", {0, 0, 0, 0, 0x61, 0x62}, -1, 3, true},
        {"dstLen above the stream's size", {0, 0, 0, 0, 0x61}, -1, 2, true},
        {"dstLen below the stream's size", {0, 0, 0, 0x40, 0x78, 0xE0, 0x13}, -1, 10, true},
        {"distance beyond history", {0, 0, 0, 0x40, 0x61, 0x21}, -1, 4, true},
        {"length over 8192", {0, 0, 0, 0x40, 0x61, 0xF0, 0x01, 0x20}, -1, 9000, true},
    };
    TVoCompBuffer codec;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int srcLen = c.srcLen == -1 ? static_cast<int>(c.stream.size()) : c.srcLen;
        const std::uint16_t crc = codec.CrcCheck->Crc(c.stream.data(), srcLen);
        unsigned char* out = Untouched;
        EXPECT_FALSE(codec.DecodeBuffer(c.stream.data(), srcLen, c.dstLen, crc, &out));
        EXPECT_EQ(out, c.outNulled ? nullptr : Untouched);
    }
}

TEST(VoCompBuffer, CrcCheckIsTheDefaultVariant) {
    TVoCompBuffer codec;
    ASSERT_NE(codec.CrcCheck, nullptr);
    EXPECT_EQ(codec.CrcCheck->CrcType, ctCcitt);
}

// --- the block loops at positions near 2^31 - 1 ---------------------------

// Coders opened as if far into a long input or stream (their test entries).
struct TEncoderAt : TOstrelEncode {
    using TOstrelEncode::OpenAt;
};
struct TDecoderAt : TOstrelDecode {
    using TOstrelDecode::OpenAt;
};

constexpr int IntMax = std::numeric_limits<int>::max();

// EncodeBuffer's loop takes a stream ending at 2^31 - 1 whole, and refuses
// one that would pass it instead of handing out part of it as a success.
TEST(VoCompBuffer, EncodeLoopRefusesStreamsPastTheLimit) {
    TVoCompBuffer codec;
    for (const char* kind : {"text", "random"}) {
        SCOPED_TRACE(kind);
        const Bytes input = Make(kind, 50000);
        TEncoded whole = Encode(codec, input);
        ASSERT_TRUE(whole.ok);
        const Bytes stream(whole.block, whole.block + whole.length);
        Free(whole.block);
        for (int over : {0, 1}) {
            TEncoderAt encoder;
            const int size = static_cast<int>(input.size());
            const unsigned char* area = encoder.OpenAt(0, IntMax - whole.length + over, size);
            ASSERT_NE(area, nullptr);
            Bytes block(static_cast<std::size_t>(ostrel::MaxStreamSize(size)));
            int length = -1;
            const bool ok = ostrel::EncodeToBlock(encoder, area, input.data(), size, block.data(),
                                                  static_cast<std::int64_t>(block.size()), length);
            EXPECT_EQ(ok, over == 0);
            if (ok) {
                EXPECT_TRUE(Bytes(block.begin(), block.begin() + length) == stream);
            }
        }
    }
}

// DecodeBuffer's loop at the end of a stream and an output of 2^31 - 1 bytes.
TEST(VoCompBuffer, DecodeLoopAtTheLimit) {
    TVoCompBuffer codec;
    const Bytes input = Make("text", 60000);
    TEncoded e = Encode(codec, input);
    ASSERT_TRUE(e.ok);
    const int size = static_cast<int>(input.size());
    for (int missing : {0, 1}) {  // the whole stream; its last byte cut off
        SCOPED_TRACE(missing);
        const int srcLen = e.length - missing;
        TDecoderAt decoder;
        const unsigned char* area = decoder.OpenAt(IntMax - size, IntMax - srcLen, IntMax, IntMax);
        ASSERT_NE(area, nullptr);
        Bytes out(input.size());
        EXPECT_EQ(ostrel::DecodeToBlock(decoder, area, e.block, srcLen, out.data(), size), missing == 0);
        if (missing == 0) {
            EXPECT_TRUE(out == input);
        }
    }
    Free(e.block);
}

}  // namespace
