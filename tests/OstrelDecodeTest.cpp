#include "vopack/OstrelDecode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "vopack/OstrelEncode.h"
#include "tests/support/Bytes.h"
#include "tests/support/OstrelReferenceDecode.h"
#include "tests/support/StreamWriter.h"

namespace {

using namespace testsupport;

struct TCall {
    bool needBefore;
    int r;
    bool needAfter;
};

struct TDecodeRun {
    Bytes out;
    std::vector<TCall> calls;
    int chunks = 0;
    bool isEnd = false;
    bool isError = false;
};

// Follows the calling contract. Each chunk is handed over in a heap block of
// exactly its size and null is passed when no chunk is asked for, so that any
// read beyond the bytes handed over shows under AddressSanitizer.
TDecodeRun DecodeWith(TOstrelDecode& dec, const unsigned char* area, const Bytes& stream) {
    TDecodeRun run;
    EXPECT_NE(area, nullptr);
    if (!area) return run;
    std::size_t fetched = 0;
    while (!dec.IsEnd && run.calls.size() < 100000) {
        std::unique_ptr<unsigned char[]> chunk;
        const bool need = dec.NeedInput;
        if (need) {
            const std::size_t n = std::min<std::size_t>(16384, stream.size() - fetched);
            if (n > 0) {
                chunk.reset(new unsigned char[n]);
                std::memcpy(chunk.get(), stream.data() + fetched, n);
                fetched += n;
                ++run.chunks;
            }
        }
        const int r = dec.Decode(chunk.get());
        run.calls.push_back({need, r, dec.NeedInput});
        EXPECT_GE(r, 0);
        if (r > 0) run.out.insert(run.out.end(), area, area + r);
    }
    run.isEnd = dec.IsEnd;
    run.isError = dec.IsError;
    dec.Close();
    return run;
}

TDecodeRun DecodeAll(const Bytes& stream, int dstSize) {
    TOstrelDecode dec;
    return DecodeWith(dec, dec.Open(dstSize, static_cast<int>(stream.size())), stream);
}

// Opens as if far into a long stream (the decoder's test entry).
struct TDecoderAt : TOstrelDecode {
    using TOstrelDecode::OpenAt;
};

constexpr int IntMax = std::numeric_limits<int>::max();

// Decodes stream as the last bytes of a stream of 2^31 - 1 bytes that decodes
// to dstSize bytes in all (at most 2^31 - 1), from zeros as history.
TDecodeRun DecodeAtTheEnd(const Bytes& stream, int left, int dstSize = IntMax) {
    const int srcLeft = static_cast<int>(stream.size());
    TDecoderAt dec;
    return DecodeWith(dec, dec.OpenAt(dstSize - left, IntMax - srcLeft, dstSize, IntMax), stream);
}

Bytes Encode(const Bytes& input) {
    TOstrelEncode enc;
    unsigned char* area = enc.Open(static_cast<int>(input.size()));
    EXPECT_NE(area, nullptr);
    Bytes stream;
    std::size_t handed = 0;
    while (area && !enc.IsEnd) {
        unsigned char* chunk = nullptr;
        Bytes copy;
        if (handed < input.size()) {
            copy.assign(input.begin() + static_cast<std::ptrdiff_t>(handed),
                        input.begin() + static_cast<std::ptrdiff_t>(std::min(input.size(), handed + 16384)));
            chunk = copy.data();
            handed += copy.size();
        }
        const int r = enc.Encode(chunk);
        stream.insert(stream.end(), area, area + r);
    }
    return stream;
}

Bytes Text(int n) {
    static const char* words[] = {"pack ", "member ", "stream ", "chunk ", "window ", "flag ", "token\n", "the "};
    std::mt19937 rng(7);
    Bytes out;
    while (static_cast<int>(out.size()) < n) {
        const char* w = words[rng() % 8];
        out.insert(out.end(), w, w + std::strlen(w));
    }
    out.resize(static_cast<std::size_t>(n));
    return out;
}

Bytes Random(int n, unsigned seed = 99) {
    std::mt19937 rng(seed);
    Bytes out(static_cast<std::size_t>(n));
    for (auto& b : out) b = static_cast<unsigned char>(rng());
    return out;
}

// The checks every conforming decode must pass: the input back, no damage,
// and the hand-out rule (0 or at least 1,536 but the last, bounded above).
void ExpectSameCallsAsReference(const Bytes& stream, int dstSize);

void ExpectDecodes(const Bytes& stream, const Bytes& expected) {
    ExpectSameCallsAsReference(stream, static_cast<int>(expected.size()));
    const TDecodeRun run = DecodeAll(stream, static_cast<int>(expected.size()));
    EXPECT_TRUE(run.isEnd);
    EXPECT_FALSE(run.isError);
    EXPECT_TRUE(run.out == expected) << "decoded " << run.out.size() << " of " << expected.size();
    for (std::size_t i = 0; i + 1 < run.calls.size(); ++i) {
        const int r = run.calls[i].r;
        EXPECT_TRUE(r == 0 || (r >= 1536 && r <= 16384 + 8192)) << "call " << i << " r " << r;
    }
}

// Call by call, the fast decoder and the byte-at-a-time model agree on the
// result, the flags, every position and the bytes reported.
void ExpectSameCallsAsReference(const Bytes& stream, int dstSize) {
    const int srcSize = static_cast<int>(stream.size());
    TOstrelDecode dec;
    const unsigned char* area = dec.Open(dstSize, srcSize);
    ASSERT_NE(area, nullptr);
    ostreltest::TReferenceDecode ref(dstSize, srcSize);
    int fetched = 0;
    for (int call = 0; !ref.IsEnd; ++call) {
        ASSERT_EQ(dec.NeedInput, ref.NeedInput) << "call " << call;
        const unsigned char* chunk = nullptr;
        if (ref.NeedInput && fetched < srcSize) {
            chunk = stream.data() + fetched;
            fetched += std::min(16384, srcSize - fetched);
        }
        const int r = dec.Decode(chunk);
        ASSERT_EQ(r, ref.Decode(chunk)) << "call " << call;
        ASSERT_EQ(dec.IsEnd, ref.IsEnd) << "call " << call;
        ASSERT_EQ(dec.SrcPos, ref.SrcPos) << "call " << call;
        ASSERT_EQ(dec.DstPos, ref.DstPos) << "call " << call;
        ASSERT_EQ(dec.InBase, ref.InBase) << "call " << call;
        ASSERT_EQ(dec.InLoaded, ref.InLoaded) << "call " << call;
        ASSERT_EQ(dec.OutBase, ref.OutBase) << "call " << call;
        ASSERT_EQ(dec.FlagIndex, ref.FlagIndex) << "call " << call;
        ASSERT_EQ(dec.FlagBits, ref.FlagBits) << "call " << call;
        ASSERT_EQ(dec.FlagMask, ref.FlagMask) << "call " << call;
        ASSERT_EQ(static_cast<std::size_t>(dec.InCur - dec.InBuf), ref.InCur) << "call " << call;
        ASSERT_EQ(static_cast<std::size_t>(dec.OutCur - dec.OutBuf), ref.OutCur) << "call " << call;
        ASSERT_EQ(std::memcmp(area, ref.Area(), static_cast<std::size_t>(r)), 0) << "call " << call;
    }
    EXPECT_TRUE(dec.IsEnd);
    EXPECT_FALSE(dec.IsError);
}

struct TExample {
    const char* name;
    Bytes input;
    const char* stream;
};

TEST(OstrelDecode, WorkedExamples) {
    Bytes abc3 = {0x61, 0x62, 0x63, 0x61, 0x62, 0x63, 0x61, 0x62, 0x63};
    Bytes ten = Ramp(10);
    ten.push_back(0);
    Bytes twenty = Ramp(20);
    twenty.insert(twenty.end(), {0, 1});
    Bytes twelve;
    for (unsigned char c = 0x61; c <= 0x6C; ++c) twelve.push_back(c);
    twelve.push_back(0x61);
    const TExample examples[] = {
        {"three literals", {0x61, 0x62, 0x63}, "00 00 00 00 61 62 63"},
        {"run of four", Repeat(0x61, 4), "00 00 00 40 61 20"},
        {"period three", abc3, "00 00 00 10 61 62 63 52"},
        {"x20", Repeat(0x78, 20), "00 00 00 40 78 E0 13"},
        {"x300", Repeat(0x78, 300), "00 00 00 40 78 F0 2B 01"},
        {"one-byte match at 10", ten, "00 00 20 00 00 01 02 03 04 05 06 07 08 09 09"},
        {"distance 20 class 10",
         twenty,
         "00 08 00 00 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 1A 14"},
        {"repeat at 12 as literal", twelve, "00 00 00 00 61 62 63 64 65 66 67 68 69 6A 6B 6C 61"},
        {"one byte", {0x5A}, "00 00 00 00 5A"},
    };
    for (const auto& e : examples) {
        SCOPED_TRACE(e.name);
        const TDecodeRun run = DecodeAll(Hex(e.stream), static_cast<int>(e.input.size()));
        EXPECT_TRUE(run.out == e.input);
        EXPECT_FALSE(run.isError);
        ASSERT_EQ(run.calls.size(), 1u);
        EXPECT_EQ(run.calls[0].r, static_cast<int>(e.input.size()));
    }
}

struct TClassCase {
    const char* name;
    int prefix;  // literals before the match
    unsigned char code;
    Bytes extension;
    int length, distance;  // what the token must mean
};

// Class boundaries, and values a class can hold that the encoder never
// writes in it.
TEST(OstrelDecode, ClassBoundaries) {
    const TClassCase cases[] = {
        {"length 14 class 13", 1, 0xD0, {}, 14, 1},
        {"length 15 class 14", 1, 0xE0, {15}, 15, 1},
        {"length 255 class 14", 1, 0xE0, {255}, 255, 1},
        {"length 256 class 15", 1, 0xF0, {0x00, 0x01}, 256, 1},
        {"length 8192 class 15", 1, 0xF0, {0x00, 0x20}, 8192, 1},
        {"distance 10 class 9", 10, 0x19, {}, 2, 10},
        {"distance 11 class 10", 11, 0x1A, {11}, 2, 11},
        {"distance 255 class 10", 255, 0x1A, {255}, 2, 255},
        {"distance 256 class 11", 256, 0x1B, {0}, 2, 256},
        {"distance 1535 class 15", 1535, 0x1F, {255}, 2, 1535},
        {"length 300 distance 1535", 1535, 0xFF, {0x2C, 0x01, 255}, 300, 1535},
        {"short length in class 14", 4, 0xE0, {3}, 3, 1},
        {"short distance in class 10", 8, 0x1A, {5}, 2, 5},
        {"short length in class 15", 4, 0xF2, {20, 0}, 20, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TStreamWriter w;
        Bytes expected;
        for (int i = 0; i < c.prefix; ++i) {
            const auto b = static_cast<unsigned char>(i * 7 + 3);
            w.Literal(b);
            expected.push_back(b);
        }
        w.RawMatch(c.code, c.extension);
        for (int i = 0; i < c.length; ++i) expected.push_back(expected[expected.size() - c.distance]);
        ExpectDecodes(w.Stream(), expected);
    }
}

TEST(OstrelDecode, GroupBoundaries) {
    for (int tokens : {31, 32, 33, 64, 65}) {
        SCOPED_TRACE(tokens);
        TStreamWriter w;
        for (int i = 0; i < tokens; ++i) w.Literal(static_cast<unsigned char>(i));
        EXPECT_EQ(w.Stream().size(), static_cast<std::size_t>(tokens + 4 * ((tokens + 31) / 32)));
        ExpectDecodes(w.Stream(), Ramp(tokens));
    }
}

TEST(OstrelDecode, SmallOutputComesInTheFirstCall) {
    const Bytes input = Text(1500);
    const TDecodeRun run = DecodeAll(Encode(input), 1500);
    ASSERT_EQ(run.calls.size(), 1u);
    EXPECT_EQ(run.calls[0].r, 1500);
    EXPECT_TRUE(run.out == input);
}

TEST(OstrelDecode, StreamOfOneChunkIsTakenAtOnce) {
    const Bytes input = Text(60000);
    const Bytes stream = Encode(input);
    ASSERT_LE(stream.size(), 16384u);
    ExpectSameCallsAsReference(stream, 60000);
    const TDecodeRun run = DecodeAll(stream, 60000);
    EXPECT_EQ(run.chunks, 1);
    ASSERT_GT(run.calls.size(), 2u);
    for (const auto& call : run.calls) EXPECT_FALSE(call.needAfter);
    EXPECT_TRUE(run.out == input);
}

TEST(OstrelDecode, StreamOfTwoWholeChunks) {
    // 29,124 literals: 29,124 bytes and 911 flag words, 32,768 in all.
    TStreamWriter w;
    const Bytes input = Random(29124);
    for (unsigned char b : input) w.Literal(b);
    ASSERT_EQ(w.Stream().size(), 32768u);
    ExpectSameCallsAsReference(w.Stream(), 29124);
    const TDecodeRun run = DecodeAll(w.Stream(), 29124);
    EXPECT_EQ(run.chunks, 2);
    int requests = 0;
    for (const auto& call : run.calls) requests += call.needBefore;
    EXPECT_EQ(requests, 2);
    EXPECT_FALSE(run.isError);
    EXPECT_TRUE(run.out == input);
}

TEST(OstrelDecode, LongRunEndsCallsOnTheOutputLimit) {
    const Bytes input = Repeat(0x78, 100000);
    const TDecodeRun run = DecodeAll(Encode(input), 100000);
    EXPECT_EQ(run.chunks, 1);
    ASSERT_GT(run.calls.size(), 4u);
    for (std::size_t i = 0; i + 1 < run.calls.size(); ++i) {
        EXPECT_GT(run.calls[i].r, 16384);
        EXPECT_LE(run.calls[i].r, 16384 + 8192);
        EXPECT_FALSE(run.calls[i].needAfter);
    }
    EXPECT_TRUE(run.out == input);
}

// A call ends on the output limit just short of the input reserve; the next
// one decodes a few literals, needs input and reports nothing; the one after
// reports those literals together with the rest.
TEST(OstrelDecode, FewBytesWaitForTheNextCall) {
    TStreamWriter w;
    Bytes expected = Random(14300, 5);
    for (unsigned char b : expected) w.Literal(b);
    ASSERT_EQ(w.Stream().size(), 16088u);
    w.Match(8192, 1);
    expected.insert(expected.end(), 8192, expected.back());
    const Bytes tail = Random(2000, 6);
    for (unsigned char b : tail) w.Literal(b);
    expected.insert(expected.end(), tail.begin(), tail.end());

    ExpectSameCallsAsReference(w.Stream(), static_cast<int>(expected.size()));
    const TDecodeRun run = DecodeAll(w.Stream(), static_cast<int>(expected.size()));
    ASSERT_EQ(run.calls.size(), 3u);
    EXPECT_EQ(run.calls[0].r, 14300 + 8192);
    EXPECT_FALSE(run.calls[0].needAfter);
    EXPECT_EQ(run.calls[1].r, 0);
    EXPECT_TRUE(run.calls[1].needAfter);
    EXPECT_EQ(run.calls[2].r, 2000);
    EXPECT_FALSE(run.isError);
    EXPECT_TRUE(run.out == expected);
}

TEST(OstrelDecode, CallsAfterTheEndChangeNothing) {
    const Bytes stream = Hex("00 00 00 40 78 E0 13");
    TOstrelDecode dec;
    unsigned char* area = dec.Open(20, static_cast<int>(stream.size()));
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(dec.Decode(stream.data()), 20);
    ASSERT_TRUE(dec.IsEnd);
    const int srcPos = dec.SrcPos, dstPos = dec.DstPos, outBase = dec.OutBase;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(dec.Decode(stream.data()), 0);
    EXPECT_TRUE(dec.IsEnd);
    EXPECT_EQ(dec.SrcPos, srcPos);
    EXPECT_EQ(dec.DstPos, dstPos);
    EXPECT_EQ(dec.OutBase, outBase);
    EXPECT_EQ(area[0], 0x78);
    EXPECT_TRUE(dec.Close());
    EXPECT_FALSE(dec.IsOpen);
    EXPECT_EQ(dec.Decode(stream.data()), 0);
    EXPECT_TRUE(dec.Close());
}

TEST(OstrelDecode, ClosedAndReopened) {
    TOstrelDecode dec;
    EXPECT_FALSE(dec.IsOpen);
    EXPECT_TRUE(dec.IsEnd);
    EXPECT_EQ(dec.Decode(nullptr), 0);
    const Bytes first = Hex("00 00 00 00 61 62 63");
    const Bytes second = Hex("00 00 00 40 61 20");
    unsigned char* area = dec.Open(3, 7);
    ASSERT_NE(area, nullptr);
    EXPECT_TRUE(dec.NeedInput);
    EXPECT_FALSE(dec.IsEnd);
    dec.Decode(first.data());
    area = dec.Open(4, 6);  // discards the old state
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(dec.Decode(second.data()), 4);
    EXPECT_EQ(Bytes(area, area + 4), Repeat(0x61, 4));
}

// A caller that hands over no chunk when one is asked for gets damage, not
// a read through the null pointer.
TEST(OstrelDecode, MissingChunkIsDamage) {
    TOstrelDecode dec;
    ASSERT_NE(dec.Open(3, 7), nullptr);
    EXPECT_EQ(dec.Decode(nullptr), 0);
    EXPECT_TRUE(dec.IsEnd);
    EXPECT_TRUE(dec.IsError);
}

struct TKind {
    const char* name;
    Bytes (*make)(int);
};

TEST(OstrelDecode, RoundTripsThroughTheEncoder) {
    const TKind kinds[] = {
        {"zeros", [](int n) { return Bytes(static_cast<std::size_t>(n), 0); }},
        {"text", Text},
        {"random", [](int n) { return Random(n); }},
        {"text then random", [](int n) {
             Bytes b = Text(n / 2);
             const Bytes r = Random(n - n / 2);
             b.insert(b.end(), r.begin(), r.end());
             return b;
         }},
    };
    for (const auto& kind : kinds)
        for (int n : {1, 2, 31, 32, 33, 1535, 1536, 1537, 16383, 16384, 16385, 32768, 32769, 100000}) {
            SCOPED_TRACE(std::string(kind.name) + " " + std::to_string(n));
            const Bytes input = kind.make(n);
            ExpectDecodes(Encode(input), input);
        }
}

// Streams of random tokens: literal runs, short and long matches, near and
// far, so that runs and copies cross every end-of-call limit somewhere.
TEST(OstrelDecode, RandomTokenStreams) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        TStreamWriter w;
        Bytes expected;
        const int target = 1 + static_cast<int>(rng() % 90000);
        while (static_cast<int>(expected.size()) < target) {
            const int kind = static_cast<int>(rng() % 8);
            const int decoded = static_cast<int>(expected.size());
            if (decoded == 0 || kind < 3) {
                for (int n = 1 + static_cast<int>(rng() % 80); n > 0; --n) {
                    const auto b = static_cast<unsigned char>(rng());
                    w.Literal(b);
                    expected.push_back(b);
                }
                continue;
            }
            const int maxDistance = std::min(decoded, 1535);
            const int distance = kind < 6 ? 1 + static_cast<int>(rng() % std::min(maxDistance, 16))
                                          : 1 + static_cast<int>(rng() % maxDistance);
            const int length = kind == 7 ? 1 + static_cast<int>(rng() % 8192) : 1 + static_cast<int>(rng() % 40);
            w.Match(length, distance);
            for (int i = 0; i < length; ++i) expected.push_back(expected[expected.size() - distance]);
        }
        ExpectDecodes(w.Stream(), expected);
    }
}

struct THostileCase {
    const char* name;
    Bytes stream;
    int dstSize;
    Bytes good;  // the bytes decoded before the damage
};

// Streams that break the format's bounds: each ends with IsEnd and IsError,
// reports no more than DstSize bytes, and what it reports is the good prefix.
TEST(OstrelDecode, HostileStreams) {
    TStreamWriter beyondAfterMany;
    for (int i = 0; i < 100; ++i) beyondAfterMany.Literal(0x41);
    beyondAfterMany.Match(2, 101);

    const THostileCase cases[] = {
        {"zero distance", Hex("00 00 00 40 61 0A 00"), 5, {0x61}},
        {"distance beyond history", Hex("00 00 00 40 61 21"), 4, {0x61}},
        {"match as first token", Hex("00 00 00 80 00"), 1, {}},
        {"distance 101 after 100 bytes", beyondAfterMany.Stream(), 102, Repeat(0x41, 100)},
        {"length 0", Hex("00 00 00 40 61 E0 00"), 5, {0x61}},
        {"length 0 in class 15", Hex("00 00 00 40 61 F0 00 00"), 5, {0x61}},
        {"length 8193", Hex("00 00 00 40 61 F0 01 20"), 9000, {0x61}},
        {"length 65535", Hex("00 00 00 40 61 F0 FF FF"), 70000, {0x61}},
        {"stream ends in a literal", Hex("00 00 00 00 61 62"), 3, {0x61, 0x62}},
        {"stream ends in the flag word", Hex("00 00"), 3, {}},
        {"empty stream", {}, 3, {}},
        {"stream ends in a length", Hex("00 00 00 40 61 F0 01"), 300, {0x61}},
        {"stream ends in a distance", Hex("00 00 00 40 61 1F"), 300, {0x61}},
        {"stream ends at a group", Cat(Hex("00 00 00 00"), Ramp(32)), 40, Ramp(32)},
        {"match past the decoded size", Hex("00 00 00 40 78 E0 13"), 10, Repeat(0x78, 10)},
        {"literals past the decoded size", Hex("00 00 00 00 61 62 63"), 2, {0x61, 0x62}},
        {"bytes after the last token", Hex("00 00 00 00 61 62 63 64"), 3, {0x61, 0x62, 0x63}},
        {"decoded size 0", Hex("00 00 00 00 61"), 0, {}},
        {"decoded size negative", Hex("00 00 00 00 61"), -5, {}},
        {"huge decoded size", Hex("00 00 00 40 78 F0 00 20"), 0x7FFFFFFF, Repeat(0x78, 8193)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TDecodeRun run = DecodeAll(c.stream, c.dstSize);
        EXPECT_TRUE(run.isEnd);
        EXPECT_TRUE(run.isError);
        EXPECT_LE(static_cast<long long>(run.out.size()), std::max(c.dstSize, 0));
        EXPECT_TRUE(run.out == c.good) << "decoded " << run.out.size();
    }
}

// A stream and the bytes it decodes to, written side by side.
struct TPlainAndStream {
    TStreamWriter Stream;
    Bytes Plain;

    void Literals(const Bytes& bytes) {
        for (unsigned char b : bytes) {
            Stream.Literal(b);
            Plain.push_back(b);
        }
    }
    void Match(int length, int distance) {
        Stream.Match(length, distance);
        for (int i = 0; i < length; ++i) Plain.push_back(Plain[Plain.size() - static_cast<std::size_t>(distance)]);
    }
    // Literals until the next token is the given one of its group.
    void AlignTo(int slot) {
        while (Stream.Tokens() % 32 != slot) Literals({static_cast<unsigned char>(Plain.size() * 13)});
    }
};

struct TShape {
    const char* name;
    void (*write)(TPlainAndStream&);
};

// Past the first 1,535 bytes and away from the end of a call, whole groups
// are decoded at once: literal runs in wide steps, matches by their code.
// These shapes put every kind of token there, at every place in a group and
// across the ends of calls, and must give what the byte-at-a-time model
// gives, call by call.
TEST(OstrelDecode, WholeGroupDecodingAgreesWithTheModel) {
    const TShape shapes[] = {
        {"literal runs of 1 to 32 between matches",
         [](TPlainAndStream& p) {
             for (int round = 0; round < 40; ++round)
                 for (int n = 1; n <= 32; ++n) {
                     p.Literals(Random(n, static_cast<unsigned>(round * 32 + n)));
                     p.Match(3, 700);
                 }
         }},
        {"whole groups of literals",
         [](TPlainAndStream& p) {
             p.AlignTo(0);
             p.Literals(Random(32 * 600, 3));
         }},
        {"every short length at distances 1 to 40",
         [](TPlainAndStream& p) {
             for (int round = 0; round < 8; ++round)
                 for (int distance = 1; distance <= 40; ++distance)
                     for (int length = 1; length <= 14; ++length) {
                         p.Match(length, distance);
                         if ((length + distance + round) % 5 == 0) p.Literals({static_cast<unsigned char>(length)});
                     }
         }},
        {"long lengths near and far",
         [](TPlainAndStream& p) {
             for (int distance : {1, 2, 3, 5, 7, 8, 9, 15, 16, 17, 31, 100, 1535})
                 for (int length : {15, 16, 17, 31, 32, 33, 255, 256, 1000, 8192}) {
                     p.Match(length, distance);
                     p.Literals(Random(3, static_cast<unsigned>(length + distance)));
                 }
         }},
        {"long matches first in their group",
         [](TPlainAndStream& p) {
             for (int length = 300; length < 9000; length += 377) {
                 p.AlignTo(0);
                 p.Match(std::min(length, 8192), 1 + length % 1535);
             }
         }},
        {"long matches at every distance from the end of a call",
         [](TPlainAndStream& p) {
             // Lengths that do not divide 16,384 land the long matches at
             // ever other places before the output limit.
             for (int i = 0; i < 400; ++i) {
                 p.Match(14, 16 + i % 1500);
                 p.Match(440 + i % 29, 1 + i % 1535);
                 p.Literals(Random(1 + i % 3, static_cast<unsigned>(i)));
             }
         }},
    };
    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.name);
        TPlainAndStream p;
        p.Literals(Random(2000, 11));
        shape.write(p);
        ExpectDecodes(p.Stream.Stream(), p.Plain);
    }
}

struct TBadToken {
    const char* name;
    unsigned char code;
    Bytes extension;
};

// Damage found in the middle of whole-group decoding stops there just as it
// does anywhere else: the good bytes before it, IsError, IsEnd.
TEST(OstrelDecode, DamageInsideWholeGroups) {
    const TBadToken bad[] = {
        {"distance 0", 0x2A, {0}},
        {"length 0 in class 14", 0xE4, {0}},
        {"length 0 in class 14 with a distance byte", 0xEB, {0, 7}},
        {"length 0 in class 15", 0xF3, {0, 0}},
        {"length 8193", 0xF3, {0x01, 0x20}},
        {"length 65535 with a distance byte", 0xFC, {0xFF, 0xFF, 9}},
        {"long match at distance 0", 0xFA, {0x2C, 0x01, 0}},
    };
    for (const auto& b : bad)
        for (int slot : {0, 1, 16, 31}) {
            SCOPED_TRACE(std::string(b.name) + " in slot " + std::to_string(slot));
            TPlainAndStream p;
            p.Literals(Random(2500, 12));
            for (int i = 0; i < 40; ++i) p.Match(2 + i % 13, 20 + i * 7);
            p.AlignTo(slot);
            const Bytes good = p.Plain;
            p.Stream.RawMatch(b.code, b.extension);
            for (int i = 0; i < 100; ++i) p.Match(4, 50);
            p.Literals(Random(300, 13));
            const TDecodeRun run = DecodeAll(p.Stream.Stream(), 60000);
            EXPECT_TRUE(run.isEnd);
            EXPECT_TRUE(run.isError);
            EXPECT_TRUE(run.out == good) << "decoded " << run.out.size() << " of " << good.size();
        }
}

// --- positions near 2^31 - 1 ---------------------------------------------

// A stream whose decoded bytes and stream bytes both end at 2^31 - 1 decodes
// whole, through every path (fast groups, token tests, careful steps).
TEST(OstrelDecode, StreamEndingAtTheLimitDecodes) {
    const Bytes inputs[] = {Text(100000), Random(70000), Repeat(0, 90000), Random(3)};
    for (const Bytes& input : inputs) {
        SCOPED_TRACE(input.size());
        const TDecodeRun run = DecodeAtTheEnd(Encode(input), static_cast<int>(input.size()));
        EXPECT_TRUE(run.isEnd);
        EXPECT_FALSE(run.isError);
        EXPECT_TRUE(run.out == input) << "decoded " << run.out.size();
    }
}

// Damage at the limit: nothing past 2^31 - 1 is reported, and the stream is
// refused.
TEST(OstrelDecode, DamageAtTheLimitIsRefused) {
    TStreamWriter longMatch;  // a match running 8,000 bytes past the decoded size
    longMatch.Literal(0x61);
    longMatch.Match(8192, 1);
    TStreamWriter literals;  // literals past it
    for (int i = 0; i < 40; ++i) literals.Literal(0x62);
    const Bytes shortStream = Encode(Text(5000));
    struct TCase {
        const char* Name;
        Bytes Stream;
        int Left;  // decoded bytes left before 2^31 - 1
        Bytes Good;
    };
    const TCase cases[] = {
        {"match past the end", longMatch.Stream(), 193, Cat({0x61}, Repeat(0x61, 192))},
        {"literals past the end", literals.Stream(), 7, Repeat(0x62, 7)},
        {"stream ends early", shortStream, 6000, Text(5000)},
        // The 1,535th byte back is the zeros kept as history.
        {"match past the end from the history", Hex("00 00 00 40 61 FF 00 20 FF"), 3000,
         Cat(Cat({0x61}, Repeat(0, 1534)), Cat({0x61}, Repeat(0, 1464)))},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TDecodeRun run = DecodeAtTheEnd(c.Stream, c.Left);
        EXPECT_TRUE(run.isEnd);
        EXPECT_TRUE(run.isError);
        EXPECT_TRUE(run.out == c.Good) << "decoded " << run.out.size();
    }
}

TEST(OstrelDecode, TestEntryRefusesImpossiblePositions) {
    struct TCase {
        int DstStart, SrcStart, DstSize, SrcSize;
    };
    const TCase cases[] = {{10, 0, 10, 5}, {-1, 0, 10, 5}, {0, 6, 10, 5}, {0, -1, 10, 5}, {IntMax, 0, IntMax, 1}};
    for (const TCase& c : cases) {
        TDecoderAt dec;
        EXPECT_EQ(dec.OpenAt(c.DstStart, c.SrcStart, c.DstSize, c.SrcSize), nullptr);
        EXPECT_FALSE(dec.IsOpen);
        EXPECT_EQ(dec.Decode(nullptr), 0);
    }
}

}  // namespace
