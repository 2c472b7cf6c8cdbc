#include "vopack/CrcCheck.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "platform/Platform.h"

namespace {

const unsigned char Digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

// Bit-at-a-time definition of the register update, independent of any table.
std::uint16_t BitwiseCrc(std::uint16_t poly, std::uint16_t crc, const unsigned char* data, int count) {
    for (int i = 0; i < count; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ poly) : crc >> 1;
    }
    return crc;
}

// Byte-at-a-time update through the object's own table.
std::uint16_t TableCrc(const TCrcCheck& c, std::uint16_t crc, const unsigned char* data, int count) {
    for (int i = 0; i < count; ++i) crc = static_cast<std::uint16_t>(c.CrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
    return crc;
}

struct TVariant {
    int type;  // raw value handed to SetCrcType
    std::uint16_t poly;
    std::uint16_t digitsCrc;
};

const TVariant Variants[] = {
    {ctCcitt, 0x8408, 0x6F91},
    {ctC001, 0xC001, 0x7ABB},
    {7, 0x8408, 0x6F91},  // only 1 selects 0xC001
};

TEST(CrcCheck, ConstructorSelectsCcitt) {
    TCrcCheck c;
    EXPECT_EQ(c.CrcType, ctCcitt);
    EXPECT_EQ(c.CrcTable[128], 0x8408);
    EXPECT_EQ(c.Crc(Digits, 9), 0x6F91);
    static_assert(sizeof(TCrcType) == 1);
}

TEST(CrcCheck, CheckValuesWholeAndInPieces) {
    for (const auto& v : Variants) {
        SCOPED_TRACE(v.type);
        TCrcCheck c;
        c.SetCrcType(static_cast<TCrcType>(v.type));
        EXPECT_EQ(c.CrcType, v.type);
        EXPECT_EQ(c.CrcTable[0], 0);
        EXPECT_EQ(c.CrcTable[128], v.poly);
        for (int i = 0; i < 256; ++i) {
            const unsigned char b = static_cast<unsigned char>(i);
            ASSERT_EQ(c.CrcTable[i], BitwiseCrc(v.poly, 0, &b, 1)) << i;
        }
        EXPECT_EQ(c.Crc(Digits, 9), v.digitsCrc);
        EXPECT_EQ(c.UpDateCrc(0xFFFF, Digits, 9), v.digitsCrc);
        for (int split = 0; split <= 9; ++split)
            EXPECT_EQ(c.UpDateCrc(c.UpDateCrc(0xFFFF, Digits, split), Digits + split, 9 - split), v.digitsCrc)
                << split;
    }
}

TEST(CrcCheck, EmptyAndNegativeCountsReadNothing) {
    TCrcCheck c;
    EXPECT_EQ(c.Crc(nullptr, 0), 0xFFFF);
    for (int count : {0, -1, -100000}) {
        EXPECT_EQ(c.UpDateCrc(0x1234, nullptr, count), 0x1234);
        EXPECT_EQ(c.Crc(nullptr, count), 0xFFFF);
    }
}

TEST(CrcCheck, MakeCrcTableFollowsCrcType) {
    TCrcCheck c;
    c.CrcType = ctC001;
    c.MakeCrcTable();
    EXPECT_EQ(c.CrcTable[128], 0xC001);
    EXPECT_EQ(c.Crc(Digits, 9), 0x7ABB);
    c.SetCrcType(ctCcitt);
    EXPECT_EQ(c.Crc(Digits, 9), 0x6F91);
}

// The wide paths must agree with the byte table for every length and
// alignment, from any start value; the lengths cover the tail alone, table
// steps, and folding with one to several lanes and every remainder.
TEST(CrcCheck, WidePathMatchesByteTable) {
    std::mt19937 rng(1234);
    std::vector<unsigned char> data(300 + 16 + 4096);
    for (auto& b : data) b = static_cast<unsigned char>(rng());
    for (const auto& v : Variants) {
        TCrcCheck c;
        c.SetCrcType(static_cast<TCrcType>(v.type));
        for (int offset = 0; offset < 16; ++offset)
            for (int length = 0; length <= 300; ++length)
                for (std::uint16_t start : {std::uint16_t{0xFFFF}, std::uint16_t{0}, std::uint16_t{0x5A3C}}) {
                    const unsigned char* p = data.data() + offset;
                    ASSERT_EQ(c.UpDateCrc(start, p, length), TableCrc(c, start, p, length))
                        << "type " << v.type << " offset " << offset << " length " << length;
                }
        for (int length : {1000, 4095, 4096})
            EXPECT_EQ(c.Crc(data.data() + 3, length), BitwiseCrc(v.poly, 0xFFFF, data.data() + 3, length));
    }
}

// The register after n zero bytes is linear in the register before, so it is
// the one-byte step as a 16 x 16 bit matrix raised to n: an answer for long
// blocks that reads no data.
std::uint16_t AfterZeros(const TCrcCheck& c, std::uint16_t crc, std::int64_t n) {
    using TMatrix = std::array<std::uint16_t, 16>;  // column i: the image of bit i
    const auto apply = [](const TMatrix& m, std::uint16_t v) {
        std::uint16_t r = 0;
        for (int i = 0; i < 16; ++i)
            if (v >> i & 1) r ^= m[static_cast<std::size_t>(i)];
        return r;
    };
    TMatrix step;
    for (int i = 0; i < 16; ++i) {
        const std::uint16_t v = static_cast<std::uint16_t>(1u << i);
        step[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(c.CrcTable[v & 0xFF] ^ (v >> 8));
    }
    for (; n > 0; n >>= 1) {
        if (n & 1) crc = apply(step, crc);
        TMatrix squared;
        for (std::size_t i = 0; i < 16; ++i) squared[i] = apply(step, step[i]);
        step = squared;
    }
    return crc;
}

// A block of 2^31 - 1 bytes, the longest count: no length or pointer sum may
// pass the limit on the way. Zeros (pages the system never has to fill) and
// the nine digits at the end.
TEST(CrcCheck, LongestBlock) {
    constexpr int count = std::numeric_limits<int>::max();
    auto* block = static_cast<unsigned char*>(plat::GlobalAlloc(plat::GPTR, count));
    ASSERT_NE(block, nullptr);
    std::memcpy(block + count - 9, Digits, 9);
    const TCrcCheck c;
    EXPECT_EQ(c.Crc(block, count), TableCrc(c, AfterZeros(c, 0xFFFF, count - 9), Digits, 9));
    plat::GlobalFree(block);
}

}  // namespace
