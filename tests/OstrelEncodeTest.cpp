// TOstrelEncode: exact streams, the Open/Encode/Close protocol, and the fast
// match finder against the exhaustive search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "vopack/OstrelDecode.h"
#include "vopack/OstrelEncode.h"
#include "vopack/internal/OstrelSearch.h"
#include "vopack/StreamFormat.h"
#include "tests/support/Bytes.h"
#include "tests/support/StreamParser.h"

namespace {

using namespace testsupport;
constexpr int Chunk = ostrel::ChunkSize;

Bytes Prefix(const Bytes& a, int n) { return Bytes(a.begin(), a.begin() + n); }

// De Bruijn sequence over k symbols of order 2: every pair of adjacent bytes
// occurs once, so the only matches are single bytes.
Bytes DeBruijnPairs(int k) {
    Bytes seq;
    std::vector<int> a(3, 0);
    auto db = [&](auto&& self, int t, int p) -> void {
        if (t > 2) {
            if (2 % p == 0)
                for (int j = 1; j <= p; ++j) seq.push_back(static_cast<unsigned char>(a[j]));
            return;
        }
        a[t] = a[t - p];
        self(self, t + 1, p);
        for (int j = a[t - p] + 1; j < k; ++j) {
            a[t] = j;
            self(self, t + 1, t);
        }
    };
    db(db, 1, 1);
    seq.push_back(seq[0]);  // the wrap-around pair, so the line holds all k * k pairs
    return seq;
}

// n bytes whose byte pairs are all different and whose first byte occurs only
// there: a match of two or more bytes can only reach back to the start.
Bytes UniquePairs(int n) {
    static const Bytes tail = DeBruijnPairs(255);
    return Cat({0xFF}, Prefix(tail, n - 1));
}

struct TEncoded {
    Bytes Stream;
    std::vector<int> Pieces;
    int DoneSize = -1;
    bool Ended = false;
    bool Overflow = false;
};

// Drives an encoder opened on input, with the output area area, as the
// callers do: chunk k while it lies inside the input, then null.
TEncoded Drive(TOstrelEncode& enc, unsigned char* area, Bytes input) {
    TEncoded r;
    const int size = static_cast<int>(input.size());
    EXPECT_NE(area, nullptr);
    if (area == nullptr) return r;
    const int maxCalls = size / Chunk + 4;
    for (int k = 0; !enc.IsEnd && k < maxCalls; ++k) {
        unsigned char* chunk = k * Chunk < size ? input.data() + k * Chunk : nullptr;
        const int n = enc.Encode(chunk);
        r.Pieces.push_back(n);
        r.Stream.insert(r.Stream.end(), area, area + n);
    }
    r.Ended = enc.IsEnd;
    r.DoneSize = enc.DoneSize;
    r.Overflow = enc.IsOverflow;
    enc.Close();
    return r;
}

TEncoded EncodeWith(TOstrelEncode& enc, const Bytes& input) {
    return Drive(enc, enc.Open(static_cast<int>(input.size())), input);
}

TEncoded Encode(const Bytes& input, bool reference = false) {
    TOstrelEncode enc;
    enc.UseReferenceSearch = reference;
    return EncodeWith(enc, input);
}

// Every piece ends on a group boundary, the stream reads back to the input,
// and DoneSize is its length.
void ExpectSoundStream(const Bytes& input, const TEncoded& e) {
    ASSERT_TRUE(e.Ended);
    EXPECT_EQ(e.DoneSize, static_cast<int>(e.Stream.size()));
    const TParsed p = Parse(e.Stream, static_cast<int>(input.size()));
    ASSERT_TRUE(p.Ok) << p.Error;
    EXPECT_TRUE(p.Output == input);
    size_t end = 0;
    for (int n : e.Pieces) {
        end += static_cast<size_t>(n);
        EXPECT_TRUE(p.GroupStarts.count(end)) << "a piece ends inside a group at " << end;
    }
    EXPECT_LE(e.Stream.size(), static_cast<size_t>(ostrel::MaxStreamSize(static_cast<int64_t>(input.size()))));
}

enum class TShape { Alphabet, Runs, Blocks };

// Inputs where long equal matches and ties in distance are common.
Bytes Generate(TShape shape, int alphabet, int n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes r;
    r.reserve(static_cast<size_t>(n));
    auto symbol = [&] { return static_cast<unsigned char>('a' + rng() % static_cast<unsigned>(alphabet)); };
    while (static_cast<int>(r.size()) < n) {
        switch (shape) {
        case TShape::Alphabet:
            r.push_back(symbol());
            break;
        case TShape::Runs: {
            const unsigned char b = symbol();
            const int len = 1 + static_cast<int>(rng() % (rng() % 8 == 0 ? 9000 : 40));
            r.insert(r.end(), static_cast<size_t>(len), b);
            break;
        }
        case TShape::Blocks:
            // Copies of earlier stretches, some from just outside the window,
            // with a few changed bytes between them.
            if (r.size() < 64 || rng() % 4 == 0) {
                for (int i = 0; i < 8; ++i) r.push_back(symbol());
            } else {
                const int back = 1 + static_cast<int>(rng() % std::min<size_t>(r.size(), 1600));
                const int len = 1 + static_cast<int>(rng() % (rng() % 16 == 0 ? 10000 : 300));
                const size_t from = r.size() - static_cast<size_t>(back);
                for (int i = 0; i < len; ++i) r.push_back(r[from + static_cast<size_t>(i)]);
            }
            break;
        }
    }
    r.resize(static_cast<size_t>(n));
    return r;
}

// --- exact streams -------------------------------------------------------

struct TExactCase {
    const char* Name;
    Bytes Input;
    Bytes Stream;
};

TEST(OstrelEncode, ExactStreams) {
    const TExactCase cases[] = {
        {"one byte", {0x41}, {0, 0, 0, 0, 0x41}},
        {"three literals", {0x61, 0x62, 0x63}, {0, 0, 0, 0, 0x61, 0x62, 0x63}},
        {"run of four", Repeat(0x61, 4), {0, 0, 0, 0x40, 0x61, 0x20}},
        {"abc three times", {0x61, 0x62, 0x63, 0x61, 0x62, 0x63, 0x61, 0x62, 0x63},
         {0, 0, 0, 0x10, 0x61, 0x62, 0x63, 0x52}},
        {"20 x", Repeat(0x78, 20), {0, 0, 0, 0x40, 0x78, 0xE0, 0x13}},
        {"300 x", Repeat(0x78, 300), {0, 0, 0, 0x40, 0x78, 0xF0, 0x2B, 0x01}},
        {"one-byte match at 10", Cat(Iota(0, 9), {0}), Cat(Cat({0, 0, 0x20, 0}, Iota(0, 9)), {0x09})},
        {"pair at 20", Cat(Iota(0, 0x13), {0, 1}), Cat(Cat({0, 0x08, 0, 0}, Iota(0, 0x13)), {0x1A, 0x14})},
        {"one byte at 12 stays literal", Cat(Iota(0x61, 0x6C), {0x61}), Cat({0, 0, 0, 0}, Cat(Iota(0x61, 0x6C), {0x61}))},
        // Length classes: a literal, then one match at distance 1.
        {"length 1", Repeat(0x78, 2), {0, 0, 0, 0x40, 0x78, 0x00}},
        {"length 2", Repeat(0x78, 3), {0, 0, 0, 0x40, 0x78, 0x10}},
        {"length 14", Repeat(0x78, 15), {0, 0, 0, 0x40, 0x78, 0xD0}},
        {"length 15", Repeat(0x78, 16), {0, 0, 0, 0x40, 0x78, 0xE0, 0x0F}},
        {"length 255", Repeat(0x78, 256), {0, 0, 0, 0x40, 0x78, 0xE0, 0xFF}},
        {"length 256", Repeat(0x78, 257), {0, 0, 0, 0x40, 0x78, 0xF0, 0x00, 0x01}},
        {"length 8192", Repeat(0x78, 8193), {0, 0, 0, 0x40, 0x78, 0xF0, 0x00, 0x20}},
        {"length 8192 then 1", Repeat(0x78, 8194), {0, 0, 0, 0x60, 0x78, 0xF0, 0x00, 0x20, 0x00}},
        {"run of 16,400 in 8192 steps", Repeat(0x78, 16400),
         {0, 0, 0, 0x70, 0x78, 0xF0, 0x00, 0x20, 0xF0, 0x00, 0x20, 0xE0, 0x0F}},
        // Groups: 32 tokens fill one group exactly; the 33rd opens the next.
        {"32 literals", Iota(0, 31), Cat({0, 0, 0, 0}, Iota(0, 31))},
        {"33 literals", Iota(0, 32), Cat(Cat({0, 0, 0, 0}, Iota(0, 31)), {0, 0, 0, 0, 32})},
        {"33rd token a match", Cat(Iota(0, 31), {31}), Cat(Cat({0, 0, 0, 0}, Iota(0, 31)), {0, 0, 0, 0x80, 0x00})},
    };
    for (const TExactCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TEncoded fast = Encode(c.Input);
        EXPECT_EQ(Hex(fast.Stream), Hex(c.Stream));
        EXPECT_EQ(Hex(Encode(c.Input, true).Stream), Hex(c.Stream));
        ExpectSoundStream(c.Input, fast);
    }
}

// A block of d bytes repeated in part: the last token is one match reaching
// back exactly d bytes, written with the given bytes.
struct TDistanceCase {
    int Distance;
    int Length;
    Bytes Token;
};

TEST(OstrelEncode, DistanceClasses) {
    const TDistanceCase cases[] = {
        {10, 3, {0x29}},
        {11, 3, {0x2A, 0x0B}},
        {11, 2, {0x1A, 0x0B}},
        {255, 3, {0x2A, 0xFF}},
        {256, 3, {0x2B, 0x00}},
        {511, 3, {0x2B, 0xFF}},
        {512, 3, {0x2C, 0x00}},
        {1279, 3, {0x2E, 0xFF}},
        {1280, 3, {0x2F, 0x00}},
        {1535, 3, {0x2F, 0xFF}},
        {1535, 15, {0xE0 | 15, 15, 0xFF}},
        {1535, 300, {0xFF, 0x2C, 0x01, 0xFF}},  // length bytes before the distance byte
    };
    for (const TDistanceCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Distance) + "/" + std::to_string(c.Length));
        const Bytes block = UniquePairs(std::max(c.Distance, c.Length));
        const Bytes input = Cat(Prefix(block, c.Distance), Prefix(block, c.Length));
        for (bool reference : {false, true}) {
            const TEncoded e = Encode(input, reference);
            ExpectSoundStream(input, e);
            const TParsed p = Parse(e.Stream, static_cast<int>(input.size()));
            ASSERT_TRUE(p.Ok && !p.Tokens.empty());
            const TToken& last = p.Tokens.back();
            EXPECT_TRUE(last.Match);
            EXPECT_EQ(last.Length, c.Length);
            EXPECT_EQ(last.Distance, c.Distance);
            EXPECT_EQ(Hex(Bytes(e.Stream.begin() + static_cast<long>(last.Offset), e.Stream.end())), Hex(c.Token));
        }
    }
}

TEST(OstrelEncode, NothingReachesPastTheWindow) {
    const Bytes block = UniquePairs(1536);
    const Bytes input = Cat(block, Prefix(block, 3));  // the repeat lies 1,536 back
    const TEncoded e = Encode(input);
    ExpectSoundStream(input, e);
    EXPECT_TRUE(e.Stream == Encode(input, true).Stream);
    const TParsed p = Parse(e.Stream, static_cast<int>(input.size()));
    // One token per byte: nothing longer than a single byte, and the block's
    // unique first byte, 1,536 back, is a literal again.
    ASSERT_EQ(p.Tokens.size(), input.size());
    EXPECT_FALSE(p.Tokens[1536].Match);
}

// --- protocol --------------------------------------------------------------

struct TPieceCase {
    int Size;
    std::vector<int> Pieces;  // what each Encode call returns until IsEnd
};

// Input without repeated byte pairs codes one stream byte per input byte, so
// the pieces follow the chunk arithmetic alone: a call codes tokens until
// SrcPos passes InBase + 16,384, and hands out the groups closed by then
// (36 bytes per 32 tokens).
TEST(OstrelEncode, PiecesFollowTheChunks) {
    const TPieceCase cases[] = {
        {1, {5}},
        {31, {35}},
        {16383, {18431}},
        {16384, {18432}},
        {16385, {0, 18437}},
        {32767, {0, 18432, 18431}},
        {32768, {0, 18432, 18432}},
        {32769, {0, 18432, 18437}},
        {32770, {0, 18432, 18432, 6}},
        {49152, {0, 18432, 18432, 18432}},
        {49153, {0, 18432, 18432, 18437}},
    };
    const Bytes pairs = DeBruijnPairs(256);
    for (const TPieceCase& c : cases) {
        SCOPED_TRACE(c.Size);
        const Bytes input = Prefix(pairs, c.Size);
        const TEncoded e = Encode(input);
        EXPECT_EQ(e.Pieces, c.Pieces);
        ExpectSoundStream(input, e);
    }
}

TEST(OstrelEncode, LastChunkOfOneByte) {
    Bytes input = Prefix(DeBruijnPairs(256), 16385);
    TOstrelEncode enc;
    unsigned char* area = enc.Open(16385);
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(enc.Encode(input.data()), 0);
    EXPECT_FALSE(enc.IsEnd);
    EXPECT_EQ(enc.LoadCount, 1);
    const int n = enc.Encode(input.data() + Chunk);
    EXPECT_TRUE(enc.IsEnd);
    EXPECT_EQ(n, enc.DoneSize);
    const TParsed p = Parse(Bytes(area, area + n), 16385);
    ASSERT_TRUE(p.Ok) << p.Error;
    EXPECT_TRUE(p.Output == input);
}

TEST(OstrelEncode, CallsAfterTheEndChangeNothing) {
    Bytes input = Repeat(0x78, 20);
    TOstrelEncode enc;
    unsigned char* area = enc.Open(20);
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(enc.Encode(input.data()), 7);
    ASSERT_TRUE(enc.IsEnd);
    const Bytes before(area, area + 7);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(enc.Encode(input.data()), 0);
        EXPECT_EQ(enc.Encode(nullptr), 0);
    }
    EXPECT_TRUE(enc.IsEnd);
    EXPECT_EQ(enc.DoneSize, 7);
    EXPECT_EQ(enc.SrcPos, 20);
    EXPECT_TRUE(Bytes(area, area + 7) == before);
    EXPECT_TRUE(enc.Close());
    EXPECT_FALSE(enc.IsOpen);
    EXPECT_TRUE(enc.IsEnd);
    EXPECT_EQ(enc.DoneSize, 7);  // Close keeps the length for the caller
    EXPECT_EQ(enc.Encode(input.data()), 0);
}

TEST(OstrelEncode, ClosedEncoderDoesNothing) {
    TOstrelEncode enc;
    EXPECT_FALSE(enc.IsOpen);
    EXPECT_TRUE(enc.IsEnd);
    EXPECT_EQ(enc.DoneSize, 0);
    EXPECT_EQ(enc.Encode(nullptr), 0);
    EXPECT_TRUE(enc.Close());
    EXPECT_TRUE(enc.Close());
}

TEST(OstrelEncode, OpenOnAnOpenEncoderStartsAfresh) {
    std::mt19937 rng(7);
    Bytes first(40000);
    for (auto& b : first) b = static_cast<unsigned char>(rng() % 4);
    const Bytes second = Cat(Iota(0x61, 0x6C), Repeat(0x61, 5000));

    TOstrelEncode enc;
    ASSERT_NE(enc.Open(40000), nullptr);
    enc.Encode(first.data());
    enc.Encode(first.data() + Chunk);  // coding has begun
    ASSERT_FALSE(enc.IsEnd);
    const TEncoded again = EncodeWith(enc, second);
    EXPECT_TRUE(again.Stream == Encode(second).Stream);
    ExpectSoundStream(second, again);
}

// A null chunk where one is due is refused without loss: the same call with
// the chunk then carries on as if the refused one had not been made.
TEST(OstrelEncode, NullChunkWhereOneIsDueIsRefused) {
    Bytes input = Generate(TShape::Blocks, 5, 50000, 51);
    const int size = static_cast<int>(input.size());
    TOstrelEncode enc;
    unsigned char* area = enc.Open(size);
    ASSERT_NE(area, nullptr);
    Bytes stream;
    int refused = 0;
    for (int k = 0; !enc.IsEnd && k < 10; ++k) {
        const bool due = k * Chunk < size;
        if (due) {
            const int loadCount = enc.LoadCount, inBase = enc.InBase, srcPos = enc.SrcPos;
            EXPECT_EQ(enc.Encode(nullptr), 0);
            EXPECT_EQ(enc.LoadCount, loadCount);
            EXPECT_EQ(enc.InBase, inBase);
            EXPECT_EQ(enc.SrcPos, srcPos);
            ++refused;
        }
        const int n = enc.Encode(due ? input.data() + k * Chunk : nullptr);
        stream.insert(stream.end(), area, area + n);
    }
    EXPECT_EQ(refused, 4);
    EXPECT_TRUE(enc.IsEnd);
    EXPECT_TRUE(stream == Encode(input).Stream);
}

TEST(OstrelEncode, EmptyInputGivesAnEmptyStream) {
    TOstrelEncode enc;
    ASSERT_NE(enc.Open(0), nullptr);
    EXPECT_FALSE(enc.IsEnd);
    EXPECT_EQ(enc.Encode(nullptr), 0);
    EXPECT_TRUE(enc.IsEnd);
    EXPECT_EQ(enc.DoneSize, 0);
    EXPECT_EQ(enc.Encode(nullptr), 0);
}

TEST(OstrelEncode, NegativeSizeIsRefused) {
    TOstrelEncode enc;
    ASSERT_NE(enc.Open(10), nullptr);
    EXPECT_EQ(enc.Open(-1), nullptr);
    EXPECT_FALSE(enc.IsOpen);
    EXPECT_EQ(enc.InBuf, nullptr);
    EXPECT_EQ(enc.OutBuf, nullptr);
    EXPECT_EQ(enc.Encode(nullptr), 0);
}

TEST(OstrelEncode, SearchCountsLeadingEqualBytes) {
    struct TCase {
        const char* A;
        const char* B;
        unsigned short N;
        unsigned short Expected;
    };
    const TCase cases[] = {
        {"abcd", "abcx", 4, 3}, {"abcd", "abcd", 4, 4}, {"abcd", "abcd", 2, 2},
        {"abcd", "xbcd", 4, 0}, {"", "", 0, 0},
    };
    TOstrelEncode enc;
    for (const TCase& c : cases) {
        std::string a = c.A, b = c.B;
        EXPECT_EQ(enc.Search(reinterpret_cast<unsigned char*>(a.data()), reinterpret_cast<unsigned char*>(b.data()), c.N),
                  c.Expected)
            << c.A << " " << c.B;
    }
}

// --- the fast search against the exhaustive one ------------------------------

struct TCompareCase {
    TShape Shape;
    int Alphabet;
    int Size;
    unsigned Seed;
};

TEST(OstrelEncode, FastStreamEqualsTheExhaustiveOne) {
    std::vector<TCompareCase> cases = {
        {TShape::Alphabet, 2, 40000, 1}, {TShape::Alphabet, 3, 40000, 2}, {TShape::Alphabet, 4, 34000, 3},
        {TShape::Runs, 2, 50000, 4},     {TShape::Runs, 3, 40000, 5},     {TShape::Blocks, 2, 40000, 6},
        {TShape::Blocks, 4, 70000, 7},   {TShape::Blocks, 200, 40000, 8}, {TShape::Alphabet, 256, 20000, 9},
    };
    for (unsigned seed = 100; seed < 160; ++seed) {  // many short ones, window not yet full
        const TShape shape = static_cast<TShape>(seed % 3);
        cases.push_back({shape, 2 + static_cast<int>(seed % 3), 1 + static_cast<int>(seed * 37 % 3000), seed});
    }
    for (const TCompareCase& c : cases) {
        SCOPED_TRACE("shape " + std::to_string(static_cast<int>(c.Shape)) + " alphabet " +
                     std::to_string(c.Alphabet) + " size " + std::to_string(c.Size) + " seed " +
                     std::to_string(c.Seed));
        const Bytes input = Generate(c.Shape, c.Alphabet, c.Size, c.Seed);
        const TEncoded fast = Encode(input);
        const TEncoded reference = Encode(input, true);
        ExpectSoundStream(input, fast);
        EXPECT_EQ(fast.Pieces, reference.Pieces);
        ASSERT_TRUE(fast.Stream == reference.Stream);
    }
}

// The finder on its own, at every position: equal to NewSearch for lengths of
// 2 or more and for one-byte matches at distances 1 to 10; where NewSearch
// finds a lone byte farther back (a literal in the stream) it reports none.
TEST(OstrelEncode, FinderAgreesWithNewSearchAtEveryPosition) {
    const TCompareCase cases[] = {
        {TShape::Alphabet, 2, 2500, 11}, {TShape::Alphabet, 4, 3000, 12}, {TShape::Alphabet, 40, 3000, 13},
        {TShape::Blocks, 3, 3000, 14},   {TShape::Alphabet, 256, 4000, 15},
    };
    TOstrelEncode enc;
    TOstrelSearchTables tables;
    int farSingles = 0;
    for (const TCompareCase& c : cases) {
        SCOPED_TRACE(c.Seed);
        Bytes input = Generate(c.Shape, c.Alphabet, c.Size, c.Seed);
        ostrel::ResetSearch(tables);
        for (int pos = 0; pos < c.Size; ++pos) {
            unsigned short refLen, refDist, len, dist;
            enc.NewSearch(input.data() + pos, pos, c.Size, refLen, refDist);
            ostrel::FindLongestMatch(tables, input.data() + pos, pos, c.Size, len, dist);
            if (refLen >= 2 || (refLen == 1 && refDist <= 10)) {
                ASSERT_EQ(len, refLen) << pos;
                ASSERT_EQ(dist, refDist) << pos;
            } else {
                farSingles += refLen == 1;
                ASSERT_EQ(len, 0) << pos;
                ASSERT_EQ(dist, 0) << pos;
            }
            ostrel::InsertPositions(tables, input.data() + pos, pos, 1, c.Size);
        }
    }
    EXPECT_GT(farSingles, 0);  // the 256-symbol input has lone bytes beyond distance 10
}

// Bytes planted twice, the second copy 65,536 + Back after the first, in an
// input of a..d only; Checked lists the positions around each second copy.
struct TPlant {
    const char* Bytes;
    int First;
    int Back;
};
struct TWrapInput {
    Bytes Input;
    std::vector<int> Checked;
};
TWrapInput PlantOneWrapBack(std::initializer_list<TPlant> plants, int size, unsigned seed) {
    TWrapInput w{Generate(TShape::Alphabet, 4, size, seed), {}};
    for (const TPlant& p : plants) {
        const int second = p.First + 65536 + p.Back;
        for (int i = 0; p.Bytes[i] != 0; ++i) {
            w.Input[static_cast<size_t>(p.First + i)] = static_cast<unsigned char>(p.Bytes[i]);
            w.Input[static_cast<size_t>(second + i)] = static_cast<unsigned char>(p.Bytes[i]);
        }
        for (int pos = second - 2; pos <= second + 4; ++pos) w.Checked.push_back(pos);
    }
    std::sort(w.Checked.begin(), w.Checked.end());
    return w;
}

// The finder keeps 16 bits of a position: bytes seen last 65,536 + d
// positions back look d back. Such a head must not be taken for a match.
TEST(OstrelEncode, FinderIgnoresPositionsOneWrapBack) {
    auto [input, checked] =
        PlantOneWrapBack({{"WXYZ", 1000, 500}, {"QRS", 3000, 40}, {"JK", 5000, 9}, {"UV", 7000, 1535}}, 80000, 41);
    const int size = static_cast<int>(input.size());
    TOstrelEncode enc;
    TOstrelSearchTables tables;
    ostrel::ResetSearch(tables);
    size_t next = 0;
    for (int pos = 0; pos < size && next < checked.size(); ++pos) {
        if (pos == checked[next]) {
            ++next;
            unsigned short refLen, refDist, len, dist;
            enc.NewSearch(input.data() + pos, pos, size, refLen, refDist);
            ostrel::FindLongestMatch(tables, input.data() + pos, pos, size, len, dist);
            if (refLen >= 2 || refDist <= 10) {
                EXPECT_EQ(len, refLen) << pos;
                EXPECT_EQ(dist, refDist) << pos;
            } else {
                EXPECT_EQ(len, 0) << pos;
            }
        }
        ostrel::InsertPositions(tables, input.data() + pos, pos, 1, size);
    }
    EXPECT_EQ(next, checked.size());
}

// The encoder's own stepping: FindMatchAndEnter at a token's first byte, then
// EnterMatchRest for the rest of the token, over tokens of every length the
// encoder meets (and some it does not: up to and past the window, up to the
// end of the input), in their steady forms where those apply. At every
// searched position the result is NewSearch's, as the stream writes it:
// length 1 only at distances 1 to 10.
TEST(OstrelEncode, SearchAndEnterAgreesWithNewSearch) {
    const TCompareCase cases[] = {
        {TShape::Alphabet, 2, 3000, 71}, {TShape::Alphabet, 4, 4000, 72},  {TShape::Alphabet, 40, 4000, 73},
        {TShape::Blocks, 3, 6000, 74},   {TShape::Runs, 2, 12000, 75},    {TShape::Alphabet, 256, 4000, 76},
        {TShape::Blocks, 200, 5000, 77}, {TShape::Blocks, 4, 20000, 78},  {TShape::Alphabet, 3, 14000, 79},
    };
    TOstrelEncode enc;
    TOstrelSearchTables tables;
    std::mt19937 rng(70);
    int searched = 0;
    int steadySearched = 0;
    for (const TCompareCase& c : cases) {
        SCOPED_TRACE(c.Seed);
        const Bytes input = Generate(c.Shape, c.Alphabet, c.Size, c.Seed);
        ostrel::ResetSearch(tables);
        for (int pos = 0; pos < c.Size;) {
            unsigned short refLen, refDist;
            enc.NewSearch(const_cast<unsigned char*>(input.data()) + pos, pos, c.Size, refLen, refDist);
            const bool steady = pos >= ostrel::WindowSize && pos <= c.Size - ostrel::SteadyTail;
            const auto same = [](ostrel::TMatch r) { return r; };
            const ostrel::TMatch m =
                steady ? ostrel::FindMatchAndEnter<true>(tables, input.data() + pos, pos, c.Size, 0, same)
                       : ostrel::FindMatchAndEnter(tables, input.data() + pos, pos, c.Size);
            steadySearched += steady;
            const bool written = refLen >= 2 || (refLen == 1 && refDist <= 10);
            ASSERT_EQ(m.Length, written ? refLen : 0) << pos;
            ASSERT_EQ(m.Distance, written ? refDist : 0) << pos;
            ++searched;
            // Mostly the token the encoder would take; else a step of 1 to
            // 8, now and then one of up to 2,000.
            const int left = c.Size - pos;
            const unsigned pick = rng() % 128;
            int step = pick < 48    ? std::max(m.Length, 1)
                       : pick < 127 ? 1 + static_cast<int>(rng() % 8)
                                    : 1 + static_cast<int>(rng() % 2000);
            step = std::min(step, left);
            if (steady)
                ostrel::EnterMatchRest<true>(tables, input.data() + pos, pos, step, c.Size);
            else
                ostrel::EnterMatchRest(tables, input.data() + pos, pos, step, c.Size);
            pos += step;
        }
    }
    // The steps above leave enough positions searched, in both forms.
    EXPECT_GT(searched, 1000);
    EXPECT_GT(steadySearched, 100);
}

// As FinderIgnoresPositionsOneWrapBack, on the encoder's stepping: positions
// entered token by token, with the planted copies searched.
TEST(OstrelEncode, SearchAndEnterIgnoresPositionsOneWrapBack) {
    auto [input, checked] = PlantOneWrapBack({{"WXYZ", 1000, 500}, {"QRS", 3000, 40}, {"JK", 5000, 9},
                                                     {"UV", 7000, 1535}, {"PQRSTU", 9000, 1}, {"MNO", 11000, 1534}},
                                                    90000, 42);
    const int size = static_cast<int>(input.size());
    TOstrelEncode enc;
    TOstrelSearchTables tables;
    ostrel::ResetSearch(tables);
    size_t next = 0;
    for (int pos = 0; pos < size && next < checked.size();) {
        const ostrel::TMatch m = ostrel::FindMatchAndEnter(tables, input.data() + pos, pos, size);
        if (pos == checked[next]) {
            ++next;
            unsigned short refLen, refDist;
            enc.NewSearch(input.data() + pos, pos, size, refLen, refDist);
            const bool written = refLen >= 2 || (refLen == 1 && refDist <= 10);
            EXPECT_EQ(m.Length, written ? refLen : 0) << pos;
            EXPECT_EQ(m.Distance, written ? refDist : 0) << pos;
        }
        // The encoder's token, cut short so that every planted copy is searched.
        const int step = std::max(1, std::min(m.Length, checked[next < checked.size() ? next : 0] - pos));
        ostrel::EnterMatchRest(tables, input.data() + pos, pos, next < checked.size() ? step : 1, size);
        pos += next < checked.size() ? step : 1;
    }
    EXPECT_EQ(next, checked.size());
}

// Inputs that run through the 16-bit positions twice, so that stale heads
// and links of earlier rounds are met.
TEST(OstrelEncode, FastStreamEqualsTheExhaustiveOneOnLongInputs) {
    const TCompareCase cases[] = {{TShape::Blocks, 4, 140000, 81}, {TShape::Runs, 3, 140000, 82}};
    for (const TCompareCase& c : cases) {
        SCOPED_TRACE(c.Seed);
        const Bytes input = Generate(c.Shape, c.Alphabet, c.Size, c.Seed);
        const TEncoded fast = Encode(input);
        ExpectSoundStream(input, fast);
        ASSERT_TRUE(fast.Stream == Encode(input, true).Stream);
    }
}

TEST(OstrelEncode, EncodersOnTwoThreadsDoNotDisturbEachOther) {
    const Bytes inputs[2] = {Generate(TShape::Alphabet, 3, 30000, 21), Generate(TShape::Blocks, 4, 30000, 22)};
    for (bool reference : {true, false}) {
        SCOPED_TRACE(reference ? "exhaustive" : "fast");
        const Bytes alone[2] = {Encode(inputs[0], reference).Stream, Encode(inputs[1], reference).Stream};
        TEncoded together[2];
        std::thread a([&] { together[0] = Encode(inputs[0], reference); });
        std::thread b([&] { together[1] = Encode(inputs[1], reference); });
        a.join();
        b.join();
        EXPECT_TRUE(together[0].Stream == alone[0]);
        EXPECT_TRUE(together[1].Stream == alone[1]);
    }
}

TEST(OstrelEncode, DecoderReadsTheStreamBack) {
    const Bytes input = Generate(TShape::Blocks, 6, 100000, 31);
    const TEncoded e = Encode(input);
    ASSERT_TRUE(e.Ended);
    TOstrelDecode dec;
    const unsigned char* area = dec.Open(static_cast<int>(input.size()), e.DoneSize);
    ASSERT_NE(area, nullptr);
    Bytes out;
    size_t fetched = 0;
    for (int guard = 0; !dec.IsEnd && guard < 1000; ++guard) {
        const unsigned char* chunk = e.Stream.data();
        if (dec.NeedInput) {
            chunk = e.Stream.data() + fetched;
            fetched += std::min<size_t>(Chunk, e.Stream.size() - fetched);
        }
        const int n = dec.Decode(chunk);
        out.insert(out.end(), area, area + n);
    }
    EXPECT_FALSE(dec.IsError);
    EXPECT_TRUE(out == input);
}

// --- positions near 2^31 - 1 ---------------------------------------------

// Opens as if far into a long input and stream (the encoder's test entry).
struct TEncoderAt : TOstrelEncode {
    using TOstrelEncode::OpenAt;
};

constexpr int IntMax = std::numeric_limits<int>::max();
// The last input start the test entry takes: 65,535 input bytes reach 2^31 - 1.
constexpr int LastInputStart = IntMax - 65535;

TEncoded EncodeAt(const Bytes& input, int inputStart, int streamStart, bool reference = false) {
    TEncoderAt enc;
    enc.UseReferenceSearch = reference;
    return Drive(enc, enc.OpenAt(inputStart, streamStart, static_cast<int>(input.size())), input);
}

// The stream is that of the input alone, wherever its positions lie, up to
// input and stream positions of 2^31 - 1 together.
TEST(OstrelEncode, StreamIsTheSameUpToTheLastPositions) {
    const Bytes inputs[] = {Generate(TShape::Blocks, 4, 65535, 91), Generate(TShape::Runs, 3, 65535, 92),
                            Repeat(0, 65535), Generate(TShape::Alphabet, 200, 65535, 93),
                            Generate(TShape::Blocks, 4, 40000, 94)};
    for (const Bytes& input : inputs) {
        const TEncoded plain = Encode(input);
        ASSERT_TRUE(plain.Ended);
        const int length = static_cast<int>(plain.Stream.size());
        for (int streamStart : {0, IntMax - length}) {
            SCOPED_TRACE(::testing::Message() << input.size() << " bytes, stream from " << streamStart);
            const TEncoded e = EncodeAt(input, LastInputStart, streamStart);
            EXPECT_TRUE(e.Ended);
            EXPECT_FALSE(e.Overflow);
            EXPECT_EQ(e.DoneSize, streamStart + length);
            EXPECT_TRUE(e.Stream == plain.Stream);
            EXPECT_TRUE(e.Pieces == plain.Pieces);
        }
    }
}

// The exhaustive search too sees the window start where the input does.
TEST(OstrelEncode, ReferenceStreamIsTheSameAtTheLastPositions) {
    const Bytes input = Generate(TShape::Blocks, 4, 6000, 95);
    const TEncoded e = EncodeAt(input, LastInputStart, IntMax - 10000, true);
    EXPECT_TRUE(e.Ended);
    EXPECT_FALSE(e.Overflow);
    EXPECT_TRUE(e.Stream == Encode(input).Stream);
}

// A stream that would pass 2^31 - 1 bytes is given up cleanly: IsOverflow and
// IsEnd set, the pieces handed out whole groups of the true stream, DoneSize
// the end of the last group that fits, and nothing written out of bounds.
TEST(OstrelEncode, StreamPastTheLimitIsGivenUp) {
    std::mt19937 rng(96);
    Bytes noise(70000);
    for (auto& b : noise) b = static_cast<unsigned char>(rng());
    const Bytes inputs[] = {noise, Generate(TShape::Blocks, 4, 50000, 97), {0x41}};
    for (const Bytes& input : inputs) {
        const TEncoded plain = Encode(input);
        const int length = static_cast<int>(plain.Stream.size());
        // One byte too many, half the stream too many, and no room past the
        // first flag word.
        for (int streamStart : {IntMax - length + 1, std::min(IntMax - length / 2, IntMax - 4), IntMax - 4}) {
            SCOPED_TRACE(::testing::Message() << input.size() << " bytes, stream from " << streamStart);
            TEncoderAt enc;
            unsigned char* area = enc.OpenAt(0, streamStart, static_cast<int>(input.size()));
            ASSERT_NE(area, nullptr);
            const TEncoded e = Drive(enc, area, input);
            EXPECT_TRUE(e.Ended);
            EXPECT_TRUE(e.Overflow);
            EXPECT_EQ(e.Pieces.back(), 0);
            ASSERT_LT(e.Stream.size(), plain.Stream.size());
            EXPECT_TRUE(std::equal(e.Stream.begin(), e.Stream.end(), plain.Stream.begin()));
            EXPECT_GE(e.DoneSize, streamStart + static_cast<int>(e.Stream.size()));
            EXPECT_LE(e.DoneSize - streamStart, length);
            // Later calls do nothing; a new Open clears the flag.
            EXPECT_EQ(enc.Encode(nullptr), 0);
            EXPECT_TRUE(enc.IsOverflow);
            ASSERT_NE(enc.Open(1), nullptr);
            EXPECT_FALSE(enc.IsOverflow);
        }
    }
}

TEST(OstrelEncode, TestEntryRefusesPositionsPastTheLimit) {
    struct TCase {
        int InputStart, StreamStart, Size;
    };
    const TCase cases[] = {{65536 + 1, 0, 10},           {-65536, 0, 10},         {LastInputStart, 0, 65536},
                           {0, IntMax - 3, 1},           {0, -1, 1},              {0, IntMax, 0}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.InputStart << " " << c.StreamStart << " " << c.Size);
        TEncoderAt enc;
        EXPECT_EQ(enc.OpenAt(c.InputStart, c.StreamStart, c.Size), nullptr);
        EXPECT_FALSE(enc.IsOpen);
    }
}

// NewSearch's own arithmetic at the last positions: the same result as at
// the same bytes early in the input.
TEST(OstrelEncode, NewSearchAtTheLastPositions) {
    const Bytes bytes = Generate(TShape::Runs, 3, ostrel::WindowSize + 40, 98);
    TOstrelEncode enc;
    unsigned char* at = const_cast<unsigned char*>(bytes.data()) + ostrel::WindowSize;
    for (int left : {1, 2, 9, 40}) {
        unsigned short nearLength, nearDistance, farLength, farDistance;
        enc.NewSearch(at, ostrel::WindowSize, ostrel::WindowSize + left, nearLength, nearDistance);
        enc.NewSearch(at, IntMax - left, IntMax, farLength, farDistance);
        EXPECT_EQ(farLength, nearLength) << left;
        EXPECT_EQ(farDistance, nearDistance) << left;
    }
}

}  // namespace
