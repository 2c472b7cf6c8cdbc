#include "vopack/VoPack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "classlib/Forms.h"
#include "classlib/MessageBoxes.h"
#include "tests/support/FailingStream.h"
#include "tests/support/PackBuilder.h"
#include "vopack/internal/PackCatalogue.h"
#include "vopack/internal/PackProgress.h"
#include "vopack/internal/PackRecords.h"

namespace {

using namespace packtest;
using vopack::internal::TPackResult;

const char DamageText[] = "\x50\x61\x63\x6B\xCC\xA7\xB2\xD9\x82\xAA\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81\x42";
const char DamageCaption[] = "\x43\x52\x43\xB4\xD7\xB0";

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Counting(int n) {
    Bytes b(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) b[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i * 7 + 1);
    return b;
}

// Records every box shown while it lives.
class TBoxRecorder {
public:
    TBoxRecorder() : FPrevious(Application->SetMessageBoxBackend(&FBoxes)) {}
    ~TBoxRecorder() { Application->SetMessageBoxBackend(FPrevious); }
    const std::vector<TScriptedMessageBoxes::Box>& Boxes() const { return FBoxes.Boxes(); }
    bool OneDamageBox() const {
        return Boxes().size() == 1 && Boxes()[0].Text == AnsiString(DamageText) &&
               Boxes()[0].Caption == AnsiString(DamageCaption) && Boxes()[0].Flags == 0x10;
    }

private:
    TScriptedMessageBoxes FBoxes;
    TMessageBoxBackend* FPrevious;
};

// A pack held in memory and opened as a stream pack.
struct TStreamPack {
    explicit TStreamPack(Bytes bytes, TCrcMode mode = cmPackAll) : Stream(std::move(bytes)) {
        Pack.SetCrcMode(mode);
        Loaded = Pack.LoadPackStream(&Stream);
    }
    TFailingStream Stream;
    TVoPack Pack{nullptr};
    bool Loaded;
};

Bytes ReadAll(TVoPack& pack, VoFILE* h) {
    Bytes out(static_cast<std::size_t>(pack.Vofsize(h) + pack.Vodsize(h) + 1));
    const std::uint32_t n = pack.Vofread(out.data(), 1, static_cast<std::uint32_t>(out.size()), h);
    out.resize(n);
    return out;
}

std::string FileName(const char* stem) { return std::string("VoPackReadTest_") + stem + ".pak"; }
void WriteFile(const std::string& name, const Bytes& bytes) {
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}
Bytes ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// ---- Records ---------------------------------------------------------------

TEST(VoPackRecords, OlderEntriesConvertWithTheirDefaults) {
    Bytes v1(32, 0), v2(40, 0xEE);
    std::memcpy(v1.data(), "old", 3);
    Put32(v1, 24, 0x20);
    Put32(v1, 28, 77);
    std::memset(v2.data(), 0, 24);
    std::memcpy(v2.data(), "two", 3);
    std::memcpy(v2.data() + 21, "bin", 3);
    Put32(v2, 24, 0x40);
    Put32(v2, 28, 500);
    Put32(v2, 32, 123);
    v2[36] = 1;  // bytes 37-39 stay 0xEE: not read
    struct Case {
        std::uint16_t version;
        const Bytes* bytes;
        std::int32_t offset, size, stored;
        std::uint8_t comp;
    } cases[] = {{0x0100, &v1, 0x20, 77, 77, 0}, {0x0200, &v2, 0x40, 500, 123, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        TVoFileTable3 e{};
        std::memset(&e, 0x5A, sizeof e);
        vopack::internal::ReadEntry(c.version, c.bytes->data(), e);
        EXPECT_EQ(e.Offset, c.offset);
        EXPECT_EQ(e.Size, c.size);
        EXPECT_EQ(e.StoredSize, c.stored);
        EXPECT_EQ(e.IsComp, c.comp);
        EXPECT_EQ(e.IsCrc, 0);
        EXPECT_EQ(e.Crc, 0);
        EXPECT_EQ(e.FileTime.dwLowDateTime, 0xA8EE9800u);
        EXPECT_EQ(e.FileTime.dwHighDateTime, 0x01B41DDEu);
    }
}

TEST(VoPackRecords, Version3EntryRoundTripsLittleEndian) {
    TVoFileTable3 e{};
    std::memcpy(e.Name, "member", 6);
    std::memcpy(e.Ext, "txt", 3);
    e.Offset = 0x01020304;
    e.Size = 0x0A0B0C0D;
    e.StoredSize = 0x11121314;
    e.IsComp = 1;
    e.IsCrc = 1;
    e.Crc = 0xBEEF;
    e.FileTime = {0x55667788u, 0x01D2D3D4u};
    unsigned char bytes[48];
    vopack::internal::WriteEntry(e, bytes);
    EXPECT_EQ(bytes[24], 0x04);
    EXPECT_EQ(bytes[27], 0x01);
    EXPECT_EQ(bytes[38], 0xEF);
    EXPECT_EQ(bytes[39], 0xBE);
    EXPECT_EQ(bytes[40], 0x88);
    EXPECT_EQ(bytes[47], 0x01);
    TVoFileTable3 back{};
    vopack::internal::ReadEntry(0x0300, bytes, back);
    EXPECT_EQ(std::memcmp(&back, &e, sizeof e), 0);
}

TEST(VoPackRecords, LoadChecksGiveTheirReason) {
    auto header = [](std::uint16_t version, std::int32_t dataSize, std::int32_t fileNum) {
        TVoPackHeader h{};
        h.Version = version;
        h.DataSize = dataSize;
        h.FileNum = fileNum;
        return h;
    };
    struct Case {
        const char* what;
        TVoPackHeader h;
        std::int64_t streamSize;
        TCrcMode mode;
        TPackResult want;
    } cases[] = {
        {"empty v3 with its CRC", header(0x0300, 0, 0), 18, cmPackAll, TPackResult::prOk},
        {"unknown version", header(0x0400, 0, 0), 18, cmPackAll, TPackResult::prBadVersion},
        {"negative DataSize", header(0x0300, -16, 0), 100, cmNon, TPackResult::prNegativeSize},
        {"negative FileNum", header(0x0100, 0, -1), 100, cmNon, TPackResult::prNegativeSize},
        {"catalogue past 2 GiB", header(0x0300, 0x7FFFFFF0, 1), INT_MAX, cmNon, TPackResult::prTooLarge},
        {"FileNum times 48 overflows", header(0x0300, 0, 0x7FFFFFFF), INT_MAX, cmNon, TPackResult::prTooLarge},
        {"catalogue ends one byte late", header(0x0200, 32, 2), 16 + 32 + 80 - 1, cmNon,
         TPackResult::prCatalogueOutside},
        {"catalogue ends at the stream's end", header(0x0200, 32, 2), 16 + 32 + 80, cmNon, TPackResult::prOk},
        {"v3 CRC missing under cmPackAll", header(0x0300, 16, 1), 16 + 16 + 48 + 1, cmPackAll,
         TPackResult::prCrcMissing},
        {"v3 CRC not needed under cmNon", header(0x0300, 16, 1), 16 + 16 + 48, cmNon, TPackResult::prOk},
        {"v3 CRC not needed under cmEachFile", header(0x0300, 16, 1), 16 + 16 + 48, cmEachFile, TPackResult::prOk},
        {"v1 has no CRC", header(0x0100, 16, 1), 16 + 16 + 32, cmPackAll, TPackResult::prOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(vopack::internal::CheckPackLayout(c.h, c.streamSize, c.mode), c.want);
    }
}

TEST(VoPackRecords, MemberChecksGiveTheirReason) {
    auto entry = [](std::int32_t offset, std::int32_t size, std::int32_t stored, bool comp) {
        TVoFileTable3 e{};
        e.Offset = offset;
        e.Size = size;
        e.StoredSize = stored;
        e.IsComp = comp ? 1 : 0;
        return e;
    };
    const std::int64_t bound = vopack::internal::MaxExpandedSize(1000);
    EXPECT_EQ(bound, 2621440);  // 1,000 stored bytes, 2,621.44 per byte
    struct Case {
        const char* what;
        TVoFileTable3 e;
        TPackResult want;
    } cases[] = {
        {"plain inside", entry(0, 100, 100, false), TPackResult::prOk},
        {"negative Offset", entry(-16, 10, 10, false), TPackResult::prMemberNegative},
        {"negative Size", entry(0, -1, 10, true), TPackResult::prMemberNegative},
        {"negative StoredSize", entry(0, 10, -1, true), TPackResult::prMemberNegative},
        {"stored bytes one past the end", entry(0, 5, 2000 - 16 + 1, true), TPackResult::prMemberOutside},
        {"stored bytes to the end", entry(0, 5000, 2000 - 16, true), TPackResult::prOk},
        {"plain Size past the end", entry(0, 2000, 10, false), TPackResult::prMemberOutside},
        {"Offset near 2 GiB", entry(INT_MAX - 8, 1, 1, false), TPackResult::prMemberOutside},
        {"Size at the expansion bound", entry(0, static_cast<std::int32_t>(bound), 1000, true), TPackResult::prOk},
        {"Size one past the bound", entry(0, static_cast<std::int32_t>(bound + 1), 1000, true),
         TPackResult::prImpossibleSize},
        {"2 GiB from 5 stored bytes", entry(0, INT_MAX, 5, true), TPackResult::prImpossibleSize},
        {"one byte needs five", entry(0, 1, 4, true), TPackResult::prImpossibleSize},
        {"nothing from stored bytes", entry(0, 0, 5, true), TPackResult::prImpossibleSize},
        {"empty compressed member", entry(0, 0, 0, true), TPackResult::prOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(vopack::internal::CheckMember(c.e, 2000), c.want);
    }
}

TEST(VoPackRecords, ProgressRule) {
    using vopack::internal::ProgressPercent;
    EXPECT_EQ(ProgressPercent(0, 3000000), 0);
    EXPECT_EQ(ProgressPercent(67108864, 67108864), 100);
    // Above 64 MiB in 32 KiB units: (D / 32768 * 100) / (T / 32768).
    EXPECT_EQ(ProgressPercent(100000000, 200000000), (100000000 / 32768 * 100) / (200000000 / 32768));
    EXPECT_EQ(ProgressPercent(2000000000, 2147483647), 93);
}

// ---- Names -------------------------------------------------------------------

TEST(VoPackNames, SplitAndReadBack) {
    struct Case {
        const char* name;
        const char* base;
        const char* ext;
        const char* readBack;
    } cases[] = {
        {"readme.txt", "readme", "txt", "readme.txt"},
        {"archive.tar.gz", "archive", "tar", "archive.tar"},
        {"a.b.c", "a", "b.c", "a.b.c"},
        {"noext", "noext", "", "noext"},
        {"end.", "end", "", "end"},
        {".hidden", "", "hid", ".hid"},
        {"abcdefghijklmnopqrstuvwxy", "abcdefghijklmnopqrstu", "", "abcdefghijklmnopqrstu"},
    };
    TVoPack pack(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TVoFileTable3 e{};
        e.Size = 1234;
        std::memset(e.Name, 'X', sizeof e.Name);
        pack.MakeFTName(e, c.name);
        char name[22] = {}, ext[4] = {};
        std::memcpy(name, e.Name, 21);
        std::memcpy(ext, e.Ext, 3);
        EXPECT_STREQ(name, c.base);
        EXPECT_STREQ(ext, c.ext);
        EXPECT_EQ(e.Size, 1234);
        char back[26];
        vopack::internal::EntryName(e, back);
        EXPECT_STREQ(back, c.readBack);
    }
}

TEST(VoPackNames, CheckFileNameRules) {
    const std::string name25 = "abcdefghijklmnopqrstu.txt";
    const Bytes pack = TPackBuilder()
                           .Plain("readme.txt", Text("r"))
                           .Plain("\x82\x60\x82\x61.txt", Text("full-width AB"))  // "ＡＢ.txt"
                           .Deleted(Text("gone"))
                           .Plain(name25, Text("long"))
                           .Plain("\x82\x61", Text("B alone"))  // "Ｂ": its trail byte is "a"
                           .Deleted(Text("gone too"))
                           .Build();
    TStreamPack p(pack);
    ASSERT_TRUE(p.Loaded);
    struct Case {
        std::string query;
        int want;
    } cases[] = {
        {"readme.txt", 0},
        {"README.TXT", 0},
        {"ReadMe.Txt", 0},
        {"readme.tx", -1},
        {"\x82\x60\x82\x61.TXT", 1},
        {"\x82\x81\x82\x82.txt", -1},  // "ａｂ": full-width letters keep their case
        {"", 2},                       // the first deleted entry
        {"ABCDEFGHIJKLMNOPQRSTU.TXT", 3},
        {name25 + "x", -1},  // 26 bytes never match
        {"\x82\x61", 4},
        {"\x82\x41", -1},  // a trail byte is never upper-cased
        {"\x82", -1},      // a lead byte at the end is passed over alone
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(p.Pack.CheckFileName(c.query.c_str()), c.want);
    }
    EXPECT_EQ(p.Pack.CheckFileName(nullptr), -1);
    char name[26] = "untouched";
    EXPECT_TRUE(p.Pack.GetFileName(2, name));
    EXPECT_STREQ(name, "");
    EXPECT_EQ(p.Pack.GetFileSize(2), 0);
    EXPECT_FALSE(p.Pack.GetFileIsComp(2));
    plat::FILETIME t{1, 2};
    EXPECT_FALSE(p.Pack.GetFileTime(2, &t));
    EXPECT_EQ(t.dwLowDateTime, 1u);
    EXPECT_EQ(p.Pack.GetFileSize(3), 4);
    strcpy(name, "untouched");
    EXPECT_FALSE(p.Pack.GetFileName(6, name));
    EXPECT_FALSE(p.Pack.GetFileName(-1, name));
    EXPECT_STREQ(name, "untouched");
}

// ---- Life cycle ----------------------------------------------------------------

TEST(VoPackLife, NewPackThenEndPackIsTheEighteenByteEmptyPack) {
    const std::string file = FileName("empty");
    TVoPack pack(nullptr);
    EXPECT_FALSE(pack.NewPack(file.c_str()));  // read-only by default
    pack.SetReadOnly(false);
    ASSERT_TRUE(pack.NewPack(file.c_str()));
    EXPECT_TRUE(pack.PackOpen());
    EXPECT_EQ(pack.PackName(), AnsiString(file.c_str()));
    pack.SetReadOnly(true);  // ignored while open
    EXPECT_FALSE(pack.ReadOnly());
    pack.EndPack();
    EXPECT_FALSE(pack.PackOpen());
    const Bytes bytes = ReadFile(file);
    ASSERT_EQ(bytes.size(), 18u);
    const Bytes header = {'V', 'o', 'P', 'a', 'c', 'k', 0, 3, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 16), header);
    const std::uint16_t crc = Crc16(bytes.data(), 16);
    EXPECT_EQ(bytes[16], crc & 0xFF);
    EXPECT_EQ(bytes[17], crc >> 8);

    pack.SetReadOnly(true);
    ASSERT_TRUE(pack.LoadPack(file.c_str()));
    EXPECT_EQ(pack.GetFileNum(), 0);
    pack.EndPack();
    EXPECT_EQ(pack.GetFileNum(), 0);
    std::remove(file.c_str());
}

TEST(VoPackLife, LoadPackWhileAModifiedPackIsOpenWritesItBackFirst) {
    const std::string made = FileName("made"), other = FileName("other");
    WriteFile(other, TPackBuilder().Plain("a.txt", Text("alpha")).Build());
    for (bool secondExists : {true, false}) {
        SCOPED_TRACE(secondExists);
        std::remove(made.c_str());
        TVoPack pack(nullptr);
        pack.SetReadOnly(false);
        ASSERT_TRUE(pack.NewPack(made.c_str()));
        const bool loaded = pack.LoadPack(secondExists ? other.c_str() : "VoPackReadTest_missing.pak");
        EXPECT_EQ(loaded, secondExists);
        EXPECT_EQ(ReadFile(made).size(), 18u);
        EXPECT_EQ(pack.GetFileNum(), secondExists ? 1 : 0);
    }
    std::remove(made.c_str());
    std::remove(other.c_str());
}

TEST(VoPackLife, WritablePackClosedWithoutChangeIsNotWritten) {
    const std::string file = FileName("untouched");
    for (std::uint16_t version : {std::uint16_t{0x0100}, std::uint16_t{0x0300}}) {
        SCOPED_TRACE(version);
        const Bytes bytes = TPackBuilder(version).Plain("a.txt", Text("alpha")).Plain("b", Counting(40)).Build();
        WriteFile(file, bytes);
        const auto before = std::filesystem::last_write_time(file);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        {
            TVoPack pack(nullptr);
            pack.SetReadOnly(false);
            ASSERT_TRUE(pack.LoadPack(file.c_str()));
            VoFILE* h = pack.Vofopen("b");
            EXPECT_EQ(ReadAll(pack, h), Counting(40));
            pack.Vofclose(h);
        }  // the destructor closes the pack
        EXPECT_EQ(ReadFile(file), bytes);
        EXPECT_EQ(std::filesystem::last_write_time(file), before);
    }
    std::remove(file.c_str());
}

TEST(VoPackLife, MagicIsNotExamined) {
    TStreamPack p(TPackBuilder().Magic("NoPack").Plain("a", Text("x")).Build());
    EXPECT_TRUE(p.Loaded);
    EXPECT_EQ(p.Pack.GetFileNum(), 1);
}

TEST(VoPackLife, StreamPackNeedsReadOnlyAndAStream) {
    TFailingStream stream(TPackBuilder().Build());
    TVoPack pack(nullptr);
    EXPECT_FALSE(pack.LoadPackStream(nullptr));
    pack.SetReadOnly(false);
    EXPECT_FALSE(pack.LoadPackStream(&stream));
    pack.SetReadOnly(true);
    EXPECT_TRUE(pack.LoadPackStream(&stream));
    EXPECT_EQ(pack.PackName(), AnsiString());
}

// Each CRC mode against one flipped byte in each part of a version-3 pack.
TEST(VoPackLife, CrcModesAgainstAFlippedByte) {
    TPackBuilder builder;
    builder.Plain("a.txt", Counting(20));  // 12 bytes of padding after it
    const Bytes good = builder.Build();
    const std::size_t catalogue = builder.CatalogueOffset();
    struct Place {
        const char* what;
        std::size_t at;
        bool memberDamaged;
    } places[] = {{"header", 1, false},
                  {"data", 16 + 3, true},
                  {"padding", 16 + 25, false},
                  {"catalogue (a time byte)", catalogue + 41, false},
                  {"pack CRC", good.size() - 1, false}};
    for (const Place& place : places)
        for (TCrcMode mode : {cmNon, cmPackAll, cmEachFile}) {
            SCOPED_TRACE(std::string(place.what) + " mode " + std::to_string(mode));
            Bytes bad = good;
            bad[place.at] ^= 0x40;
            TBoxRecorder boxes;
            TStreamPack p(bad, mode);
            if (mode == cmPackAll) {
                EXPECT_FALSE(p.Loaded);
                EXPECT_TRUE(boxes.OneDamageBox());
                EXPECT_EQ(p.Pack.GetFileNum(), 0);
                continue;
            }
            ASSERT_TRUE(p.Loaded);
            EXPECT_TRUE(boxes.Boxes().empty());
            VoFILE* h = p.Pack.Vofopen("a.txt");
            const bool refused = mode == cmEachFile && place.memberDamaged;
            EXPECT_EQ(h == nullptr, refused);
            EXPECT_EQ(boxes.OneDamageBox(), refused);
            p.Pack.Vofclose(h);
        }
    TBoxRecorder boxes;
    TStreamPack p(good);
    EXPECT_TRUE(p.Loaded);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(VoPackLife, OlderVersionsLoadUnderEveryModeWithoutChecks) {
    const Bytes contents = Repetitive(3000);
    for (std::uint16_t version : {std::uint16_t{0x0100}, std::uint16_t{0x0200}})
        for (TCrcMode mode : {cmNon, cmPackAll, cmEachFile}) {
            SCOPED_TRACE(std::to_string(version) + " mode " + std::to_string(mode));
            TPackBuilder builder(version);
            builder.Plain("plain.txt", contents);
            if (version == 0x0200) builder.Compressed("comp.bin", contents);
            Bytes bytes = builder.Build();
            bytes.push_back(0x99);  // whatever follows is not a CRC
            TBoxRecorder boxes;
            TStreamPack p(bytes, mode);
            ASSERT_TRUE(p.Loaded);
            for (const char* name : {"plain.txt", "comp.bin"}) {
                if (version == 0x0100 && name[0] == 'c') continue;
                VoFILE* h = p.Pack.Vofopen(name);
                ASSERT_NE(h, nullptr) << name;
                EXPECT_EQ(ReadAll(p.Pack, h), contents);
                EXPECT_FALSE(p.Pack.VoIsCrc(h));
                EXPECT_EQ(p.Pack.VoGetCrc(h), 0);
                plat::FILETIME t{};
                EXPECT_TRUE(p.Pack.VoGetFileTime(h, &t));
                EXPECT_EQ(t.dwLowDateTime, 0xA8EE9800u);
                EXPECT_EQ(t.dwHighDateTime, 0x01B41DDEu);
                p.Pack.Vofclose(h);
            }
            EXPECT_EQ(p.Pack.GetFileIsComp(1), version == 0x0200);
            EXPECT_TRUE(boxes.Boxes().empty());
        }
}

TEST(VoPackLife, CrcPassReportsOncePerMegabyte) {
    // 16 + DataSize + 48 = 3,000,000 bytes under the CRC.
    const Bytes bytes = TPackBuilder().Plain("big", Counting(3000000 - 64)).Build();
    ASSERT_EQ(bytes.size(), 3000002u);
    TFailingStream stream(bytes);
    TVoPack pack(nullptr);
    std::vector<int> reports;
    pack.SetOnProgress([&](TObject* sender) {
        EXPECT_EQ(sender, &pack);
        reports.push_back(pack.ProgPercent());
    });
    ASSERT_TRUE(pack.LoadPackStream(&stream));
    EXPECT_EQ(reports, (std::vector<int>{0, 34, 69, 100}));
}

// ---- Member reading -------------------------------------------------------------

TEST(VoPackMembers, SeekAndReadOnAHundredBytePlainMember) {
    TStreamPack p(TPackBuilder().Plain("m", Counting(100)).Build());
    ASSERT_TRUE(p.Loaded);
    VoFILE* h = p.Pack.Vofopen("m");
    ASSERT_NE(h, nullptr);
    struct Seek {
        int start, offset, origin, want;
    } seeks[] = {{50, -5, 2, 95}, {50, 10, 2, 100}, {50, -1, 0, 0},  {50, 3, 7, 50},
                 {50, 20, 1, 70}, {50, -80, 1, 0},  {50, 200, 0, 100}, {50, INT_MAX, 1, 100}};
    for (const Seek& s : seeks) {
        SCOPED_TRACE(std::to_string(s.offset) + " from " + std::to_string(s.origin));
        h->Pos = s.start;
        EXPECT_TRUE(p.Pack.Vofseek(h, s.offset, s.origin));
        int pos = -1;
        EXPECT_TRUE(p.Pack.Vofgetpos(h, &pos));
        EXPECT_EQ(pos, s.want);
    }
    for (int set : {-3, 40, 101}) {
        EXPECT_TRUE(p.Pack.Vofsetpos(h, &set));
        EXPECT_EQ(h->Pos, std::clamp(set, 0, 100));
    }
    // 9 bytes left: 10 items of 4 give 2; the last byte only as an item of 1.
    p.Pack.Vofseek(h, -9, 2);
    unsigned char buf[64] = {};
    EXPECT_EQ(p.Pack.Vofread(buf, 4, 10, h), 2u);
    EXPECT_EQ(h->Pos, 99);
    const Bytes contents = Counting(100);
    EXPECT_EQ(Bytes(buf, buf + 8), Bytes(contents.begin() + 91, contents.begin() + 99));
    EXPECT_EQ(p.Pack.Vofread(buf, 4, 1, h), 0u);
    EXPECT_EQ(p.Pack.Vofread(buf, 0, 5, h), 0u);
    EXPECT_EQ(p.Pack.Vofread(buf, 1, 5, h), 1u);
    EXPECT_EQ(buf[0], contents[99]);
    EXPECT_EQ(p.Pack.Vofread(buf, 1, 5, h), 0u);
    EXPECT_EQ(h->Pos, 100);
    // Items whose product passes 32 bits read nothing rather than wrap.
    p.Pack.Vofseek(h, 0, 0);
    EXPECT_EQ(p.Pack.Vofread(buf, 0x10000u, 0x10000u, h), 0u);
    EXPECT_EQ(h->Pos, 0);
    EXPECT_TRUE(p.Pack.Vofclose(h));
    EXPECT_FALSE(p.Pack.Vofclose(nullptr));
}

TEST(VoPackMembers, CompressedMemberExpandedOrRaw) {
    const Bytes contents = Repetitive(50000);
    TPackBuilder builder;
    builder.Compressed("c.bin", contents);
    const Bytes bytes = builder.Build();
    const Bytes stream = Compress(contents);
    TStreamPack p(bytes, cmEachFile);
    ASSERT_TRUE(p.Loaded);

    VoFILE* raw = p.Pack.VofopenComp("c.bin", false);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(p.Pack.Vofsize(raw), 50000);
    EXPECT_EQ(p.Pack.Vodsize(raw), static_cast<int>(stream.size()));
    EXPECT_TRUE(p.Pack.VoIsComp(raw));
    EXPECT_TRUE(p.Pack.VoIsCrc(raw));
    EXPECT_EQ(p.Pack.VoGetCrc(raw), Crc16(stream.data(), stream.size()));
    EXPECT_EQ(ReadAll(p.Pack, raw), stream);
    p.Pack.Vofseek(raw, -4, 2);
    EXPECT_EQ(raw->Pos, static_cast<int>(stream.size()) - 4);

    VoFILE* expanded = p.Pack.Vofopen("C.BIN");
    ASSERT_NE(expanded, nullptr);
    EXPECT_EQ(ReadAll(p.Pack, expanded), contents);
    p.Pack.Vofseek(expanded, -4, 2);
    EXPECT_EQ(expanded->Pos, 50000 - 4);
    p.Pack.Vofclose(raw);
    p.Pack.Vofclose(expanded);
}

TEST(VoPackMembers, AlternateReadsEachDeliverTheirOwnBytes) {
    const Bytes a = Counting(5000), b = Random(7000, 1), c = Repetitive(9000);
    TStreamPack p(TPackBuilder().Plain("a", a).Plain("b", b).Compressed("c", c).Build());
    ASSERT_TRUE(p.Loaded);
    VoFILE* handles[] = {p.Pack.Vofopen("a"), p.Pack.Vofopen("b"), p.Pack.Vofopen("c")};
    const Bytes* want[] = {&a, &b, &c};
    Bytes got[3];
    for (int round = 0; round < 100; ++round)
        for (int i = 0; i < 3; ++i) {
            unsigned char buf[97];
            const std::uint32_t n = p.Pack.Vofread(buf, 1, sizeof buf, handles[i]);
            got[i].insert(got[i].end(), buf, buf + n);
        }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(got[i], *want[i]) << i;
        p.Pack.Vofclose(handles[i]);
    }
}

TEST(VoPackMembers, ConsecutiveReadsContinueWithoutASeek) {
    TStreamPack p(TPackBuilder().Plain("a", Counting(4000)).Build(), cmNon);
    ASSERT_TRUE(p.Loaded);
    VoFILE* h = p.Pack.Vofopen("a");
    unsigned char buf[100];
    const int before = p.Stream.Seeks;
    for (int i = 0; i < 40; ++i) ASSERT_EQ(p.Pack.Vofread(buf, 100, 1, h), 1u);
    EXPECT_EQ(p.Stream.Seeks - before, 1);
    p.Pack.Vofclose(h);
}

TEST(VoPackMembers, EntriesAndOpensByIndex) {
    const Bytes c = Repetitive(20000);
    TStreamPack p(TPackBuilder().Plain("same", Text("first")).Compressed("c.bin", c).Plain("SAME", Text("second")).Build());
    ASSERT_TRUE(p.Loaded);
    TVoFileTable3 entry{};
    ASSERT_TRUE(p.Pack.GetFileEntry(1, &entry));
    EXPECT_EQ(entry.Size, 20000);
    EXPECT_EQ(entry.IsComp, 1);
    EXPECT_LT(entry.StoredSize, 20000);
    EXPECT_FALSE(p.Pack.GetFileEntry(3, &entry));
    EXPECT_FALSE(p.Pack.GetFileEntry(-1, &entry));
    EXPECT_FALSE(p.Pack.GetFileEntry(0, nullptr));
    // The third entry, hidden from lookups by the first, opens by its index.
    VoFILE* h = p.Pack.VofopenCompAt(2, false);
    ASSERT_NE(h, nullptr);
    char buf[6] = {};
    EXPECT_EQ(p.Pack.Vofread(buf, 1, 6, h), 6u);
    EXPECT_EQ(std::string(buf, 6), "second");
    p.Pack.Vofclose(h);
    h = p.Pack.VofopenCompAt(1, true);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(p.Pack.Vofsize(h), 20000);
    p.Pack.Vofclose(h);
    EXPECT_EQ(p.Pack.VofopenCompAt(3, false), nullptr);
    EXPECT_EQ(p.Pack.VofopenCompAt(-1, false), nullptr);
}

TEST(VoPackMembers, MakeStreamOfEmptyPlainAndCompressedMembers) {
    const Bytes c = Repetitive(20000);
    TStreamPack p(TPackBuilder().Plain("empty", {}).Plain("after", Text("x")).Compressed("c", c).Build());
    ASSERT_TRUE(p.Loaded);
    VoFILE* h = p.Pack.Vofopen("empty");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(p.Pack.Vofsize(h), 0);
    unsigned char buf[4];
    EXPECT_EQ(p.Pack.Vofread(buf, 1, 4, h), 0u);
    p.Pack.Vofclose(h);
    for (auto [name, want] : {std::pair<const char*, Bytes>{"empty", {}}, {"c", c}, {"after", Text("x")}}) {
        SCOPED_TRACE(name);
        TMemoryStream* s = p.Pack.VoMakeStream(name);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->Position(), 0);
        ASSERT_EQ(s->Size(), static_cast<int>(want.size()));
        if (!want.empty()) {
            EXPECT_EQ(std::memcmp(s->Memory(), want.data(), want.size()), 0);
        }
        delete s;
    }
    EXPECT_EQ(p.Pack.VoMakeStream("none"), nullptr);
}

TEST(VoPackMembers, ExpansionProgressRisesToAHundred) {
    const Bytes contents = Random(400000, 7);  // stored in about 25 blocks
    TStreamPack p(TPackBuilder().Compressed("r", contents).Build(), cmNon);
    ASSERT_TRUE(p.Loaded);
    std::vector<int> reports;
    p.Pack.SetOnProgress([&](TObject*) { reports.push_back(p.Pack.ProgPercent()); });
    VoFILE* h = p.Pack.Vofopen("r");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ReadAll(p.Pack, h), contents);
    p.Pack.Vofclose(h);
    ASSERT_GT(reports.size(), 20u);
    EXPECT_EQ(reports.front(), 0);
    EXPECT_EQ(reports.back(), 100);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
}

// ---- Hostile packs ---------------------------------------------------------------

TEST(VoPackHostile, LoadRefusals) {
    const Bytes good = TPackBuilder().Plain("a", Counting(40)).Build();  // 16 + 48 + 48 + 2
    struct Case {
        const char* what;
        std::size_t patchAt;
        std::uint32_t value;
        std::size_t truncateTo;
        TCrcMode mode;
        bool box;
    } cases[] = {
        {"short header", 0, 0, 15, cmNon, false},
        {"unknown version", 6, 0x0400, 0, cmPackAll, false},
        {"negative DataSize", 8, 0xFFFFFFF0u, 0, cmNon, false},
        {"negative FileNum", 12, 0xFFFFFFFFu, 0, cmNon, false},
        {"FileNum beyond the stream", 12, 0x02AAAAAA, 0, cmNon, false},
        {"catalogue past 2 GiB", 8, 0x7FFFFFF0u, 0, cmEachFile, false},
        {"catalogue cut short", 0, 0, 16 + 48 + 47, cmNon, false},
        {"catalogue cut short, checked", 0, 0, 16 + 48 + 47, cmPackAll, true},
        {"CRC bytes missing", 0, 0, 16 + 48 + 48 + 1, cmPackAll, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = good;
        if (c.patchAt == 6) Put16(bytes, 6, static_cast<std::uint16_t>(c.value));
        else if (c.patchAt) Put32(bytes, c.patchAt, c.value);
        if (c.truncateTo) bytes.resize(c.truncateTo);
        TBoxRecorder boxes;
        TStreamPack p(bytes, c.mode);
        EXPECT_FALSE(p.Loaded);
        EXPECT_FALSE(p.Pack.PackOpen());
        EXPECT_EQ(p.Pack.GetFileNum(), 0);
        EXPECT_EQ(boxes.OneDamageBox(), c.box);
        if (!c.box) {
            EXPECT_TRUE(boxes.Boxes().empty());
        }
    }
    // Without the CRC check a pack whose CRC bytes are gone still loads.
    Bytes noCrc = good;
    noCrc.resize(noCrc.size() - 2);
    EXPECT_TRUE(TStreamPack(noCrc, cmNon).Loaded);
}

TEST(VoPackHostile, StreamFailingDuringLoad) {
    // Header 16, member 48, catalogue 48, CRC 2: the stream fails in the
    // header, in the catalogue, in the CRC pass.
    const Bytes good = TPackBuilder().Plain("a", Counting(40)).Build();
    struct Case {
        int budget;
        TCrcMode mode;
        bool box;
    } cases[] = {{10, cmPackAll, false}, {16 + 20, cmNon, false}, {16 + 20, cmPackAll, true}, {100, cmPackAll, true}};
    for (bool raise : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.budget) + " mode " + std::to_string(c.mode) + (raise ? " raising" : ""));
            TBoxRecorder boxes;
            TFailingStream stream(good, c.budget, raise);
            TVoPack pack(nullptr);
            pack.SetCrcMode(c.mode);
            EXPECT_FALSE(pack.LoadPackStream(&stream));
            EXPECT_EQ(pack.GetFileNum(), 0);
            EXPECT_EQ(boxes.OneDamageBox(), c.box);
        }
}

TEST(VoPackHostile, MemberRefusals) {
    TPackBuilder builder;
    builder.Plain("good", Counting(40));
    auto member = [](const char* name, std::int32_t size, Bytes stored, bool comp) {
        TMemberSpec m{name, std::move(stored), size};
        m.Comp = comp;
        return m;
    };
    // A literal and then 31 matches of 8,192 bytes at distance 1: 98 stored
    // bytes for 253,953, inside the bound of 256,901.
    Bytes longest = {0xFF, 0xFF, 0xFF, 0x7F, 'x'};
    for (int i = 0; i < 31; ++i) longest.insert(longest.end(), {0xF0, 0x00, 0x20});
    builder.Add(member("longest", 1 + 31 * 8192, longest, true));
    builder.Add(member("toolarge", 98 * 262144 / 100 + 1, longest, true));
    builder.Add(member("firstmatch", 3, {0x00, 0x00, 0x00, 0x80, 0x00}, true));  // distance beyond the start
    builder.Add(member("short", 10, {0x00, 0x00, 0x00, 0x00, 'a', 'b'}, true));  // stream ends early
    builder.Add(member("trailing", 1, {0x00, 0x00, 0x00, 0x00, 'a', 'b'}, true));  // bytes after the last token
    builder.Add(member("negative", -1, Text("abc"), false));
    builder.Add(member("plainlong", 5000, Text("abc"), false));  // plain Size beyond the stream
    const Bytes bytes = builder.Build();
    TBoxRecorder boxes;
    TStreamPack p(bytes, cmNon);
    ASSERT_TRUE(p.Loaded);
    VoFILE* h = p.Pack.Vofopen("longest");
    ASSERT_NE(h, nullptr);
    Bytes all = ReadAll(p.Pack, h);
    EXPECT_EQ(all, Bytes(1 + 31 * 8192, 'x'));
    p.Pack.Vofclose(h);
    for (const char* name : {"toolarge", "firstmatch", "short", "trailing", "negative", "plainlong"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(p.Pack.Vofopen(name), nullptr);
        EXPECT_EQ(p.Pack.VoMakeStream(name), nullptr);
    }
    // Stored bytes past the stream's end: Offset moved beyond it.
    Bytes moved = TPackBuilder().Plain("a", Counting(40)).Build();
    Put32(moved, 16 + 48 + 24, 0x1000);
    TStreamPack q(moved, cmNon);
    ASSERT_TRUE(q.Loaded);
    EXPECT_EQ(q.Pack.Vofopen("a"), nullptr);
    EXPECT_EQ(q.Pack.VofopenComp("a", false), nullptr);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(p.Pack.PackOpen());
}

TEST(VoPackHostile, ShortReadReportsWhatArrived) {
    const Bytes contents = Counting(100);
    const Bytes bytes = TPackBuilder().Plain("m", contents).Build();
    for (bool raise : {false, true}) {
        SCOPED_TRACE(raise);
        TFailingStream stream(bytes, kMaxStreamSize, raise);
        TVoPack pack(nullptr);
        pack.SetCrcMode(cmNon);
        ASSERT_TRUE(pack.LoadPackStream(&stream));
        VoFILE* h = pack.Vofopen("m");
        ASSERT_NE(h, nullptr);
        stream.SetBudget(9);
        unsigned char buf[100] = {};
        // 9 bytes arrive (or none, when the stream raises): 2 whole items.
        EXPECT_EQ(pack.Vofread(buf, 4, 10, h), raise ? 0u : 2u);
        EXPECT_EQ(h->Pos, raise ? 0 : 9);
        stream.SetBudget(kMaxStreamSize);
        EXPECT_EQ(pack.Vofread(buf, 1, 10, h), 10u);
        const int from = raise ? 0 : 9;
        EXPECT_EQ(Bytes(buf, buf + 10), Bytes(contents.begin() + from, contents.begin() + from + 10));
        pack.Vofclose(h);
    }
    // A compressed member whose stream cannot be read whole does not open.
    const Bytes comp = TPackBuilder().Compressed("c", Random(5000, 3)).Build();
    TFailingStream stream(comp);
    TVoPack pack(nullptr);
    ASSERT_TRUE(pack.LoadPackStream(&stream));
    stream.SetBudget(20);
    EXPECT_EQ(pack.Vofopen("c"), nullptr);
}

TEST(VoPackHostile, HandlesAreRefusedByOtherPacks) {
    const Bytes bytes = TPackBuilder().Plain("m", Counting(100)).Build();
    TStreamPack a(bytes), b(bytes);
    ASSERT_TRUE(a.Loaded && b.Loaded);
    VoFILE* h = a.Pack.Vofopen("m");
    ASSERT_NE(h, nullptr);
    auto refusedBy = [&](TVoPack& pack) {
        unsigned char buf[10];
        int pos = 0;
        plat::FILETIME t{};
        return pack.Vofread(buf, 1, 10, h) == 0 && pack.Vofsize(h) == 0 && pack.Vodsize(h) == 0 &&
               !pack.Vofseek(h, 5, 0) && !pack.Vofgetpos(h, &pos) && !pack.Vofsetpos(h, &pos) &&
               !pack.VoIsCrc(h) && pack.VoGetCrc(h) == 0 && !pack.VoGetFileTime(h, &t);
    };
    EXPECT_TRUE(refusedBy(b.Pack));
    EXPECT_FALSE(refusedBy(a.Pack));
    a.Pack.EndPack();
    EXPECT_TRUE(refusedBy(a.Pack));
    ASSERT_TRUE(a.Pack.LoadPackStream(&a.Stream));  // the same pack, opened again
    EXPECT_TRUE(refusedBy(a.Pack));
    EXPECT_EQ(h->Pos, 10);  // where the accepted read left it
    EXPECT_TRUE(a.Pack.Vofclose(h));
}

}  // namespace
