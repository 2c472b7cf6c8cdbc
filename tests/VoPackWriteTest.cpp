#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "classlib/Forms.h"
#include "classlib/MessageBoxes.h"
#include "platform/GlobalMemoryFaults.h"
#include "tests/support/FailingStream.h"
#include "tests/support/PackBuilder.h"
#include "vopack/VoPack.h"

namespace {

using namespace packtest;
namespace fs = std::filesystem;

// AddFile's texts, cp932.
const char BadNameHead[] = "\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC";
const char BadNameTail[] = "\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7\x81\x42";
const char CannotOpenHead[] = "\x83\x74\x83\x40\x83\x43\x83\x8B";
const char CannotOpenTail[] = "\x82\xAA\x8A\x4A\x82\xAF\x82\xDC\x82\xB9\x82\xF1\x81\x42";
const char NoTempText[] =
    "\x83\x65\x83\x93\x83\x7C\x83\x89\x83\x8A\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x8D\xEC\x82\xEA\x82\xDC\x82\xB9"
    "\x82\xF1\x81\x42";

void WriteFile(const std::string& name, const Bytes& bytes) {
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
Bytes ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
std::vector<std::string> TempFilesLeft() {
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(".")) {
        const std::string name = e.path().filename().string();
        if (name.rfind("VoTmp", 0) == 0) left.push_back(name);
    }
    return left;
}
TMemoryStream* MemoryOf(const Bytes& bytes) {
    auto* s = new TMemoryStream;
    if (!bytes.empty()) s->Write(bytes.data(), static_cast<int>(bytes.size()));
    s->Seek(0, soFromBeginning);
    return s;
}

// Records every box shown while it lives.
class TBoxRecorder {
public:
    TBoxRecorder() : FPrevious(Application->SetMessageBoxBackend(&FBoxes)) {}
    ~TBoxRecorder() { Application->SetMessageBoxBackend(FPrevious); }
    const std::vector<TScriptedMessageBoxes::Box>& Boxes() const { return FBoxes.Boxes(); }

private:
    TScriptedMessageBoxes FBoxes;
    TMessageBoxBackend* FPrevious;
};

// Every test runs in a directory of its own: AddFile makes its temporary
// files in the current directory.
class VoPackWrite : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        FHome = fs::current_path();
        FDir = FHome / (std::string("VoPackWriteTest_") + info->test_suite_name() + "_" + info->name());
        fs::remove_all(FDir);
        fs::create_directory(FDir);
        fs::current_path(FDir);
    }
    void TearDown() override {
        fs::current_path(FHome);
        std::error_code ec;
        fs::remove_all(FDir, ec);
    }

    // A new pack, writable, in the file name.
    static void New(TVoPack& pack, const char* name = "p.pak") {
        pack.SetReadOnly(false);
        ASSERT_TRUE(pack.NewPack(name));
    }
    static plat::FILETIME TimeOf(TVoPack& pack, int index) {
        plat::FILETIME t{};
        EXPECT_TRUE(pack.GetFileTime(index, &t));
        return t;
    }
    static Bytes Member(TVoPack& pack, const char* name) {
        std::unique_ptr<TMemoryStream> s(pack.VoMakeStream(name));
        if (!s) return {0xDE, 0xAD};
        Bytes out(static_cast<std::size_t>(s->Size()));
        if (!out.empty()) std::memcpy(out.data(), s->Memory(), out.size());
        return out;
    }

    fs::path FHome, FDir;
};

// ---- Byte-exact packs ---------------------------------------------------------

TEST_F(VoPackWrite, NewPackClosedAtOnceIsTheEighteenByteEmptyPack) {
    {
        TVoPack pack(nullptr);
        New(pack);
        EXPECT_TRUE(pack.EndPack());
        EXPECT_EQ(pack.LastResult(), TVoPackResult::prOk);
    }
    EXPECT_EQ(ReadFile("p.pak"), TPackBuilder().Build());
    EXPECT_EQ(ReadFile("p.pak").size(), 18u);
}

// Each file added alone gives exactly the pack built field by field.
TEST_F(VoPackWrite, AddFileWritesTheMemberByteForByte) {
    const struct Case {
        const char* what;
        Bytes contents;
        bool compress;
        bool storedCompressed;
    } cases[] = {
        {"17 bytes plain", Random(17, 1), false, false},
        {"empty, compression asked", {}, true, false},
        {"incompressible, compression asked", Random(5000, 2), true, false},
        {"compressible", Repetitive(50000), true, true},
        {"compressible, plain asked", Repetitive(3000), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile("source.bin", c.contents);
        plat::FILETIME time{};
        {
            TVoPack pack(nullptr);
            New(pack);
            ASSERT_TRUE(pack.AddFile("Member.Bin", "source.bin", c.compress));
            EXPECT_EQ(pack.GetFileIsComp(0), c.storedCompressed);
            time = TimeOf(pack, 0);
            EXPECT_EQ(Member(pack, "member.bin"), c.contents);
            EXPECT_TRUE(pack.EndPack());
        }
        TMemberSpec expected{"Member.Bin", c.storedCompressed ? Compress(c.contents) : c.contents,
                             static_cast<std::int32_t>(c.contents.size())};
        expected.Comp = c.storedCompressed;
        expected.Time = time;
        EXPECT_EQ(ReadFile("p.pak"), TPackBuilder().Add(expected).Build());
        EXPECT_TRUE(TempFilesLeft().empty());
    }
}

TEST_F(VoPackWrite, SeventeenBytesArePaddedToThirtyTwoAndAnEmptyMemberTakesNoSpace) {
    WriteFile("a", Random(17, 3));
    WriteFile("empty", {});
    TVoPack pack(nullptr);
    New(pack);
    ASSERT_TRUE(pack.AddFile("a", "a", false));
    ASSERT_TRUE(pack.AddFile("e", "empty", true));
    ASSERT_TRUE(pack.AddFile("b", "a", false));
    ASSERT_TRUE(pack.EndPack());
    const Bytes bytes = ReadFile("p.pak");
    ASSERT_EQ(bytes.size(), 16u + 64 + 3 * 48 + 2);
    EXPECT_EQ(bytes[8], 64);  // DataSize: 32 + 0 + 32
    EXPECT_EQ(Bytes(bytes.begin() + 16 + 17, bytes.begin() + 48), Bytes(15, 0));
    const auto entry = [&](int i) { return bytes.data() + 16 + 64 + 48 * i; };
    const auto i32 = [](const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24; };
    EXPECT_EQ(i32(entry(1) + 24), 32);  // the empty member's Offset
    EXPECT_EQ(i32(entry(2) + 24), 32);  // and the next member's
    EXPECT_EQ(i32(entry(1) + 32), 0);
    EXPECT_EQ(entry(1)[38] | entry(1)[39] << 8, 0xFFFF);
}

TEST_F(VoPackWrite, AddFileTakesTheOpenFilesLastWriteTime) {
    WriteFile("dated", Random(40, 4));
    const auto when = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time("dated", when);
    TVoPack pack(nullptr);
    New(pack);
    ASSERT_TRUE(pack.AddFile("d", "dated", false));
    plat::HANDLE h = plat::CreateFileA("dated", plat::GENERIC_READ, plat::FILE_SHARE_READ, nullptr,
                                       plat::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, plat::INVALID_HANDLE_VALUE);
    plat::FILETIME expected{};
    ASSERT_TRUE(plat::GetFileTime(h, nullptr, nullptr, &expected));
    plat::CloseHandle(h);
    const plat::FILETIME got = TimeOf(pack, 0);
    EXPECT_EQ(got.dwLowDateTime, expected.dwLowDateTime);
    EXPECT_EQ(got.dwHighDateTime, expected.dwHighDateTime);
}

// ---- AddFile's refusals ---------------------------------------------------------

TEST_F(VoPackWrite, AddFileRefusalsShowTheirMessageAndChangeNothing) {
    WriteFile("readme.txt", Random(100, 5));
    const std::string name26(26, 'n');
    const struct Case {
        const char* what;
        const char* name;
        const char* path;
        bool takeTempNames;
        std::string message;
        TVoPackResult reason;
    } cases[] = {
        {"name taken, other case", "README.TXT", "readme.txt", false,
         std::string(BadNameHead) + "README.TXT" + BadNameTail, TVoPackResult::prNameRefused},
        {"26-byte name", name26.c_str(), "readme.txt", false, std::string(BadNameHead) + name26 + BadNameTail,
         TVoPackResult::prNameRefused},
        {"missing source", "new.txt", "no such file.txt", false,
         std::string(CannotOpenHead) + "no such file.txt" + CannotOpenTail, TVoPackResult::prSourceOpen},
        {"all temporary names taken", "new.txt", "readme.txt", true, NoTempText, TVoPackResult::prNoTempName},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.takeTempNames)
            for (int n = 0; n < 1000; ++n) WriteFile("VoTmp" + std::string(n < 10 ? "00" : n < 100 ? "0" : "") +
                                                         std::to_string(n) + ".Ostrel",
                                                     {});
        {
            TVoPack pack(nullptr);
            New(pack);
            ASSERT_TRUE(pack.AddFile("readme.txt", "readme.txt", false));
            TBoxRecorder boxes;
            EXPECT_FALSE(pack.AddFile(c.name, c.path, true));
            EXPECT_EQ(pack.LastResult(), c.reason);
            ASSERT_EQ(boxes.Boxes().size(), 1u);
            EXPECT_EQ(std::string(boxes.Boxes()[0].Text.c_str()), c.message);
            EXPECT_EQ(boxes.Boxes()[0].Flags, 0x10);
            EXPECT_EQ(pack.GetFileNum(), 1);
            // Still usable.
            ASSERT_TRUE(pack.AddFile("other.txt", "readme.txt", false));
            EXPECT_TRUE(pack.EndPack());
        }
        TVoPack check(nullptr);
        ASSERT_TRUE(check.LoadPack("p.pak"));
        EXPECT_EQ(check.GetFileNum(), 2);
        EXPECT_EQ(Member(check, "other.txt"), ReadFile("readme.txt"));
    }
    // Only the names the test made itself.
    EXPECT_EQ(TempFilesLeft().size(), 1000u);
}

TEST_F(VoPackWrite, TwentyFiveByteNameIsAccepted) {
    WriteFile("f", Random(5, 6));
    TVoPack pack(nullptr);
    New(pack);
    EXPECT_TRUE(pack.AddFile("abcdefghijklmnopqrstu.txt", "f", false));
    EXPECT_EQ(pack.CheckFileName("ABCDEFGHIJKLMNOPQRSTU.TXT"), 0);
}

TEST_F(VoPackWrite, EmptyFileNeedsNoTemporaryFile) {
    for (int n = 0; n < 1000; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "VoTmp%03d.Ostrel", n);
        WriteFile(name, {});
    }
    WriteFile("empty", {});
    TVoPack pack(nullptr);
    New(pack);
    EXPECT_TRUE(pack.AddFile("e", "empty", true));
    EXPECT_EQ(pack.GetFileSize(0), 0);
}

TEST_F(VoPackWrite, ReadOnlyOrClosedRefusesEveryChangeSilently) {
    WriteFile("f", Random(5, 7));
    TBoxRecorder boxes;
    TVoPack writer(nullptr);
    New(writer);
    ASSERT_TRUE(writer.AddFile("f", "f", false));
    ASSERT_TRUE(writer.EndPack());
    TVoPack source(nullptr);
    ASSERT_TRUE(source.LoadPack("p.pak"));

    TVoPack closed(nullptr);
    closed.SetReadOnly(false);
    TVoPack readOnly(nullptr);
    ASSERT_TRUE(readOnly.LoadPack("p.pak"));
    for (TVoPack* pack : {&closed, &readOnly}) {
        TMemoryStream empty;
        EXPECT_FALSE(pack->AddFile("g", "f", true));
        EXPECT_FALSE(pack->AddPack("g", &source, "f"));
        EXPECT_FALSE(pack->DelFile("f"));
        EXPECT_FALSE(pack->AddFileStream("g", &empty, 0, plat::FILETIME{}, false));
        EXPECT_FALSE(pack->AddStored("g", TVoFileTable3{}, &empty));
    }
    EXPECT_EQ(readOnly.LastResult(), TVoPackResult::prReadOnly);
    EXPECT_EQ(closed.LastResult(), TVoPackResult::prNoPack);
    EXPECT_TRUE(boxes.Boxes().empty());
}

// ---- Transfer: progress and results ------------------------------------------------

TEST_F(VoPackWrite, FileCopyAndFileEncodeReportProgressOncePerBlock) {
    TVoPack pack(nullptr);
    std::vector<int> seen;
    pack.SetOnProgress([&](TObject*) { seen.push_back(pack.ProgPercent()); });
    const struct Case {
        int size;
        bool encode;
        std::vector<int> expected;
    } cases[] = {
        {0, false, {0}},
        {32768, false, {0, 100}},
        {32769, false, {0, 99, 100}},
        {100000, false, {0, 32, 65, 98, 100}},
        {10, true, {0, 100}},
        {16385, true, {0, 99, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const Bytes contents = Random(c.size, 8);
        std::unique_ptr<TMemoryStream> source(MemoryOf(contents));
        TMemoryStream dest;
        seen.clear();
        if (c.encode) {
            const int length = pack.FileEncode(&dest, source.get(), c.size);
            EXPECT_EQ(Bytes(static_cast<unsigned char*>(dest.Memory()),
                            static_cast<unsigned char*>(dest.Memory()) + dest.Size()),
                      Compress(contents));
            EXPECT_EQ(length, dest.Size());
        } else {
            const std::uint16_t crc = pack.FileCopy(&dest, source.get(), c.size);
            EXPECT_EQ(crc, c.size == 0 ? 0xFFFF : Crc16(contents.data(), contents.size()));
            EXPECT_EQ(dest.Size(), c.size);
        }
        EXPECT_EQ(pack.LastResult(), TVoPackResult::prOk);
        EXPECT_EQ(seen, c.expected);
    }
}

TEST_F(VoPackWrite, FileCopyStopsAtAShortTransfer) {
    TVoPack pack(nullptr);
    const Bytes contents = Random(70000, 9);
    TFailingStream shortSource(contents, 40000);
    TMemoryStream dest;
    pack.FileCopy(&dest, &shortSource, 70000);
    EXPECT_EQ(pack.LastResult(), TVoPackResult::prShortRead);
    EXPECT_EQ(dest.Size(), 32768);  // nothing of the short block was written

    std::unique_ptr<TMemoryStream> source(MemoryOf(contents));
    TFailingStream fullDisk({}, 50000);
    pack.FileCopy(&fullDisk, source.get(), 70000);
    EXPECT_EQ(pack.LastResult(), TVoPackResult::prShortWrite);
}

// In a deep directory every temporary path resolves beyond the 128
// characters that FileIsExist can see under Windows; still no file of a
// taken name may be used (and emptied, and deleted).
TEST_F(VoPackWrite, MakeTempFileTakesTheFirstFreeName) {
    const std::string deep(100, 'd');
    fs::create_directory(deep);
    fs::current_path(deep);
    WriteFile("VoTmp000.Ostrel", {});
    WriteFile("VoTmp001.Ostrel", {});
    fs::create_directory("VoTmp002.Ostrel");  // a directory does not take the name
    TVoPack pack(nullptr);
    char name[16];
    ASSERT_TRUE(pack.MakeTempFile(name));
    EXPECT_STREQ(name, "VoTmp002.Ostrel");
    EXPECT_FALSE(fs::is_regular_file("VoTmp002.Ostrel"));

    // AddFile compressing leaves a file of a taken name as it was.
    fs::remove("VoTmp001.Ostrel");
    fs::remove("VoTmp002.Ostrel");
    WriteFile("VoTmp000.Ostrel", {1, 2, 3});
    WriteFile("src", Repetitive(20000));
    pack.SetReadOnly(false);
    ASSERT_TRUE(pack.NewPack("p.pak"));
    ASSERT_TRUE(pack.AddFile("src", "src", true));
    EXPECT_EQ(ReadFile("VoTmp000.Ostrel"), (Bytes{1, 2, 3}));
    EXPECT_TRUE(pack.GetFileIsComp(0));
}

// ---- AddPack, DelFile -------------------------------------------------------------

TEST_F(VoPackWrite, AddPackCopiesStoredBytesUnchanged) {
    const Bytes text = Repetitive(40000), noise = Random(3000, 10);
    WriteFile("text", text);
    WriteFile("noise", noise);
    {
        TVoPack source(nullptr);
        New(source, "src.pak");
        ASSERT_TRUE(source.AddFile("text.txt", "text", true));
        ASSERT_TRUE(source.AddFile("noise.bin", "noise", true));
        ASSERT_TRUE(source.EndPack());
    }
    TVoPack source(nullptr);
    source.SetCrcMode(cmEachFile);
    ASSERT_TRUE(source.LoadPack("src.pak"));
    TVoPack pack(nullptr);
    New(pack);
    ASSERT_TRUE(pack.AddPack("copy.txt", &source, "TEXT.TXT"));
    ASSERT_TRUE(pack.AddPack("copy.bin", &source, "noise.bin"));
    for (const char* name : {"text.txt", "noise.bin"}) {
        SCOPED_TRACE(name);
        const std::string copy = std::string("copy") + std::strchr(name, '.');
        VoFILE* from = source.VofopenComp(name, false);
        VoFILE* to = pack.VofopenComp(copy.c_str(), false);
        ASSERT_TRUE(from && to);
        EXPECT_EQ(pack.Vofsize(to), source.Vofsize(from));
        EXPECT_EQ(pack.Vodsize(to), source.Vodsize(from));
        EXPECT_EQ(pack.VoIsComp(to), source.VoIsComp(from));
        EXPECT_EQ(pack.VoGetCrc(to), source.VoGetCrc(from));
        plat::FILETIME a{}, b{};
        source.VoGetFileTime(from, &a);
        pack.VoGetFileTime(to, &b);
        EXPECT_EQ(a.dwLowDateTime, b.dwLowDateTime);
        source.Vofclose(from);
        pack.Vofclose(to);
        EXPECT_EQ(Member(pack, copy.c_str()), Member(source, name));
    }
    EXPECT_TRUE(pack.GetFileIsComp(0));
    EXPECT_FALSE(pack.GetFileIsComp(1));
}

TEST_F(VoPackWrite, AddPackRefusalsChangeNothingAndShowNothing) {
    WriteFile("f", Random(50, 11));
    TVoPack source(nullptr);
    New(source, "src.pak");
    ASSERT_TRUE(source.AddFile("f", "f", false));
    TVoPack closedSource(nullptr);
    TVoPack pack(nullptr);
    New(pack);
    ASSERT_TRUE(pack.AddFile("taken", "f", false));
    TBoxRecorder boxes;
    const struct Case {
        const char* what;
        const char* name;
        TVoPack* from;
        const char* member;
        TVoPackResult reason;
    } cases[] = {
        {"no such member", "new", &source, "missing", TVoPackResult::prNotFound},
        {"source not open", "new", &closedSource, "f", TVoPackResult::prNoPack},
        {"null source", "new", nullptr, "f", TVoPackResult::prNoPack},
        {"itself", "new", &pack, "taken", TVoPackResult::prSamePack},
        {"name taken", "TAKEN", &source, "f", TVoPackResult::prNameRefused},
        {"26-byte name", "abcdefghijklmnopqrstuvwxyz", &source, "f", TVoPackResult::prNameRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(pack.AddPack(c.name, c.from, c.member));
        EXPECT_EQ(pack.LastResult(), c.reason);
        EXPECT_EQ(pack.GetFileNum(), 1);
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(VoPackWrite, DeletedNameIsFreeAgain) {
    WriteFile("one", Random(20, 12));
    WriteFile("two", Random(30, 13));
    TVoPack pack(nullptr);
    New(pack);
    ASSERT_TRUE(pack.AddFile("a.txt", "one", false));
    EXPECT_TRUE(pack.DelFile("A.TXT"));
    EXPECT_FALSE(pack.DelFile("a.txt"));
    EXPECT_EQ(pack.LastResult(), TVoPackResult::prNotFound);
    EXPECT_EQ(pack.GetFileNum(), 1);
    EXPECT_EQ(pack.Vofopen("a.txt"), nullptr);
    ASSERT_TRUE(pack.AddFile("a.txt", "two", false));
    EXPECT_EQ(pack.GetFileNum(), 2);
    EXPECT_EQ(Member(pack, "a.txt"), ReadFile("two"));
    // The empty name now matches the deleted entry.
    TBoxRecorder boxes;
    EXPECT_FALSE(pack.AddFile("", "one", false));
    ASSERT_TRUE(pack.EndPack());
    TVoPack check(nullptr);
    ASSERT_TRUE(check.LoadPack("p.pak"));
    EXPECT_EQ(check.GetFileNum(), 2);
    EXPECT_EQ(Member(check, "a.txt"), ReadFile("two"));
}

TEST_F(VoPackWrite, VersionOnePackIsRewrittenOnlyAfterAChange) {
    const Bytes v1 = TPackBuilder(0x0100).Plain("a.txt", Random(20, 14)).Plain("b.txt", Random(7, 15)).Build();
    WriteFile("old.pak", v1);
    {
        TVoPack pack(nullptr);
        pack.SetReadOnly(false);
        ASSERT_TRUE(pack.LoadPack("old.pak"));
        EXPECT_TRUE(pack.EndPack());
    }
    EXPECT_EQ(ReadFile("old.pak"), v1);
    {
        TVoPack pack(nullptr);
        pack.SetReadOnly(false);
        ASSERT_TRUE(pack.LoadPack("old.pak"));
        ASSERT_TRUE(pack.DelFile("a.txt"));
    }  // the destructor writes it back
    TMemberSpec a{"", Random(20, 14), 20};
    a.Deleted = true;
    a.IsCrc = 0;
    a.Time = plat::FILETIME{0xA8EE9800u, 0x01B41DDEu};
    TMemberSpec b{"b.txt", Random(7, 15), 7};
    b.IsCrc = 0;
    b.Time = a.Time;
    Bytes expected = TPackBuilder().Add(a).Add(b).Build();
    // An entry converted from version 1 has no CRC: Crc 0.
    const std::size_t catalogue = 16 + 32 + 16;
    expected[catalogue + 38] = expected[catalogue + 39] = 0;
    expected[catalogue + 48 + 38] = expected[catalogue + 48 + 39] = 0;
    const std::uint16_t crc = Crc16(expected.data(), expected.size() - 2);
    Put16(expected, expected.size() - 2, crc);
    EXPECT_EQ(ReadFile("old.pak"), expected);
    TVoPack check(nullptr);
    EXPECT_TRUE(check.LoadPack("old.pak"));
}

// ---- Entry points for stored and streamed members ------------------------------------

// AddFileStream and AddStored make AddFile's pack, byte for byte.
TEST_F(VoPackWrite, StreamedAndStoredAdditionsMatchAddFile) {
    const Bytes contents[] = {Bytes{}, Random(17, 16), Repetitive(70000), Random(40000, 17), Bytes(5, 'x')};
    for (const Bytes& c : contents) {
        SCOPED_TRACE(c.size());
        WriteFile("src", c);
        plat::FILETIME time{};
        {
            TVoPack pack(nullptr);
            New(pack, "file.pak");
            ASSERT_TRUE(pack.AddFile("m.dat", "src", true));
            ASSERT_TRUE(pack.AddFile("n.dat", "src", false));
            time = TimeOf(pack, 0);
        }
        {
            TVoPack pack(nullptr);
            New(pack, "stream.pak");
            std::unique_ptr<TMemoryStream> s(MemoryOf(c));
            ASSERT_TRUE(pack.AddFileStream("m.dat", s.get(), static_cast<int>(c.size()), time, true));
            s->Seek(0, soFromBeginning);
            ASSERT_TRUE(pack.AddFileStream("n.dat", s.get(), static_cast<int>(c.size()), time, false));
        }
        {
            TVoPack pack(nullptr);
            New(pack, "stored.pak");
            const Bytes stream = c.empty() ? Bytes{} : Compress(c);
            const bool comp = !c.empty() && stream.size() < c.size();
            TVoFileTable3 info{};
            info.Size = static_cast<std::int32_t>(c.size());
            info.StoredSize = static_cast<std::int32_t>(comp ? stream.size() : c.size());
            info.IsComp = comp ? 1 : 0;
            info.FileTime = time;
            std::unique_ptr<TMemoryStream> s(MemoryOf(comp ? stream : c));
            ASSERT_TRUE(pack.AddStored("m.dat", info, s.get()));
            info.IsComp = 0;
            info.StoredSize = info.Size;
            std::unique_ptr<TMemoryStream> plain(MemoryOf(c));
            ASSERT_TRUE(pack.AddStored("n.dat", info, plain.get()));
        }
        EXPECT_EQ(ReadFile("stream.pak"), ReadFile("file.pak"));
        EXPECT_EQ(ReadFile("stored.pak"), ReadFile("file.pak"));
    }
}

TEST_F(VoPackWrite, AddStoredRefusesSizesNoMemberCanHave) {
    TVoPack pack(nullptr);
    New(pack);
    const Bytes bytes(100, 1);
    const struct Case {
        const char* what;
        std::int32_t size, stored;
        std::uint8_t comp;
    } cases[] = {
        {"plain, sizes differ", 100, 50, 0},
        {"negative size", -1, -1, 0},
        {"compressed, empty contents", 0, 10, 1},
        {"compressed, stream shorter than any", 10, 4, 1},
        {"compressed, more than the stream can give", INT_MAX, 100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<TMemoryStream> s(MemoryOf(bytes));
        TVoFileTable3 info{};
        info.Size = c.size;
        info.StoredSize = c.stored;
        info.IsComp = c.comp;
        EXPECT_FALSE(pack.AddStored("x", info, s.get()));
        EXPECT_EQ(pack.LastResult(), TVoPackResult::prBadMember);
    }
    EXPECT_EQ(pack.GetFileNum(), 0);
}

// ---- Faults mended ------------------------------------------------------------------

// A pack whose data area reaches close to 2^31 - 1 bytes (a sparse file).
TEST_F(VoPackWrite, AdditionsPastTheSignedLimitAreRefusedBeforeWriting) {
    // 16 + DataSize + one entry + CRC leaves 15 bytes: an empty member fits, one byte does not.
    const std::int32_t dataSize = INT_MAX - 16 - 48 - 2 - 15;
    {
        Bytes header = TPackBuilder().Build();
        header.resize(16);
        Put32(header, 8, static_cast<std::uint32_t>(dataSize));
        std::ofstream out("big.pak", std::ios::binary);
        out.write(reinterpret_cast<const char*>(header.data()), 16);
        out.seekp(16 + static_cast<std::streamoff>(dataSize) + 1);
        out.put(0);
    }
    const auto sizeBefore = fs::file_size("big.pak");
    WriteFile("one", {42});
    TVoPack pack(nullptr);
    pack.SetReadOnly(false);
    pack.SetCrcMode(cmNon);
    ASSERT_TRUE(pack.LoadPack("big.pak"));
    TBoxRecorder boxes;
    EXPECT_FALSE(pack.AddFile("one", "one", false));
    EXPECT_EQ(pack.LastResult(), TVoPackResult::prTooLarge);
    TMemoryStream one;
    one.Write("x", 1);
    one.Seek(0, soFromBeginning);
    EXPECT_FALSE(pack.AddFileStream("one", &one, 1, plat::FILETIME{}, true));
    EXPECT_EQ(pack.LastResult(), TVoPackResult::prTooLarge);
    TVoFileTable3 info{};
    info.Size = info.StoredSize = 1;
    EXPECT_FALSE(pack.AddStored("one", info, &one));
    EXPECT_EQ(pack.LastResult(), TVoPackResult::prTooLarge);
    EXPECT_EQ(pack.GetFileNum(), 0);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(pack.EndPack());  // not modified: nothing written
    EXPECT_EQ(fs::file_size("big.pak"), sizeBefore);
}

// The operations a failure can hit, each adding one member "new" to a pack
// that holds "old".
struct TAddition {
    const char* what;
    std::function<bool(TVoPack&, TVoPack& source)> add;
};

std::vector<TAddition> Additions() {
    return {
        {"AddFile plain", [](TVoPack& p, TVoPack&) { return p.AddFile("new", "big", false); }},
        {"AddFile compressed", [](TVoPack& p, TVoPack&) { return p.AddFile("new", "big", true); }},
        {"AddFileStream compressed",
         [](TVoPack& p, TVoPack&) {
             std::unique_ptr<TMemoryStream> s(MemoryOf(ReadFile("big")));
             return p.AddFileStream("new", s.get(), s->Size(), plat::FILETIME{}, true);
         }},
        {"AddFileStream incompressible",
         [](TVoPack& p, TVoPack&) {
             std::unique_ptr<TMemoryStream> s(MemoryOf(Random(40000, 20)));
             return p.AddFileStream("new", s.get(), s->Size(), plat::FILETIME{}, true);
         }},
        {"AddPack", [](TVoPack& p, TVoPack& source) { return p.AddPack("new", &source, "big"); }},
    };
}

// Makes the files the additions read: "big" (70,000 compressible bytes) and
// the source pack "src.pak" holding it compressed.
void MakeSources() {
    WriteFile("big", Repetitive(70000));
    TVoPack source(nullptr);
    source.SetReadOnly(false);
    ASSERT_TRUE(source.NewPack("src.pak"));
    ASSERT_TRUE(source.AddFile("big", "big", true));
}

// The bytes of a closed pack hold "old" and, when added, "new".
void ExpectPackHolds(const Bytes& bytes, bool withNew) {
    TFailingStream stream(bytes);
    TVoPack check(nullptr);
    ASSERT_TRUE(check.LoadPackStream(&stream));
    ASSERT_EQ(check.GetFileNum(), withNew ? 2 : 1);
    std::unique_ptr<TMemoryStream> old(check.VoMakeStream("old"));
    ASSERT_TRUE(old);
    EXPECT_EQ(old->Size(), 33);
    if (withNew) {
        std::unique_ptr<TMemoryStream> added(check.VoMakeStream("new"));
        ASSERT_TRUE(added);
    }
}

TEST_F(VoPackWrite, PackStreamFailingAfterNBytesFailsTheAdditionAndLosesNothing) {
    MakeSources();
    WriteFile("old", Random(33, 21));
    TBoxRecorder boxes;
    for (const TAddition& op : Additions()) {
        SCOPED_TRACE(op.what);
        TVoPack source(nullptr);
        ASSERT_TRUE(source.LoadPack("src.pak"));
        bool added = false;
        // Every budget up to 64 bytes (the padding, short members), then a
        // sweep: a budget anywhere inside one write of a 32 KiB block fails
        // that write alike.
        for (int budget = 0; !added; budget += budget < 64 ? 1 : 997) {
            TFailingStream stream({});
            TVoPack pack(nullptr);
            pack.SetReadOnly(false);
            ASSERT_TRUE(pack.NewPackStream(&stream));
            ASSERT_TRUE(pack.AddFile("old", "old", false));
            stream.SetBudget(budget);
            added = op.add(pack, source);
            if (!added) {
                EXPECT_EQ(pack.LastResult(), TVoPackResult::prShortWrite) << budget;
                EXPECT_EQ(pack.GetFileNum(), 1);
            }
            stream.SetBudget(kMaxStreamSize);
            ASSERT_TRUE(pack.EndPack());
            ExpectPackHolds(stream.Bytes(), added);
            if (HasFatalFailure()) return;
        }
        EXPECT_TRUE(TempFilesLeft().empty());
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

// A pack loaded unchanged has its catalogue on disk; an addition that fails
// after writing over it must still get it written back on closing.
TEST_F(VoPackWrite, FailedAdditionToALoadedPackStillLeavesItsCatalogue) {
    const Bytes original = TPackBuilder().Plain("old", Random(33, 26)).Build();
    TFailingStream stream(original);
    {
        TVoPack pack(nullptr);
        pack.SetReadOnly(false);
        ASSERT_TRUE(pack.EditPackStream(&stream));
        stream.SetBudget(10);
        std::unique_ptr<TMemoryStream> source(MemoryOf(Random(100, 27)));
        TVoFileTable3 info{};
        info.Size = info.StoredSize = 100;
        EXPECT_FALSE(pack.AddStored("new", info, source.get()));
        EXPECT_EQ(pack.LastResult(), TVoPackResult::prShortWrite);
        stream.SetBudget(kMaxStreamSize);
        EXPECT_TRUE(pack.EndPack());
    }
    ExpectPackHolds(stream.Bytes(), false);
}

TEST_F(VoPackWrite, SourceComingUpShortFailsTheAddition) {
    WriteFile("old", Random(33, 22));
    const Bytes contents = Repetitive(70000);
    for (bool compress : {false, true}) {
        for (int budget : {0, 1, 16384, 40000, 69999}) {
            SCOPED_TRACE(budget);
            TFailingStream stream({});
            TVoPack pack(nullptr);
            pack.SetReadOnly(false);
            ASSERT_TRUE(pack.NewPackStream(&stream));
            ASSERT_TRUE(pack.AddFile("old", "old", false));
            TFailingStream shrunk(contents, budget);
            EXPECT_FALSE(pack.AddFileStream("new", &shrunk, 70000, plat::FILETIME{}, compress));
            EXPECT_EQ(pack.LastResult(), TVoPackResult::prShortRead);
            TVoFileTable3 info{};
            info.Size = info.StoredSize = 70000;
            shrunk.Seek(0, soFromBeginning);
            shrunk.SetBudget(budget);
            EXPECT_FALSE(pack.AddStored("new", info, &shrunk));
            EXPECT_EQ(pack.LastResult(), TVoPackResult::prShortRead);
            EXPECT_EQ(pack.GetFileNum(), 1);
            ASSERT_TRUE(pack.EndPack());
            ExpectPackHolds(stream.Bytes(), false);
        }
    }
}

TEST_F(VoPackWrite, EndPackReportsWhatItCouldNotWrite) {
    WriteFile("old", Random(33, 23));
    WriteFile("new", Repetitive(5000));
    bool written = false;
    for (int budget = 0; !written; ++budget) {
        TFailingStream stream({});
        {
            TVoPack pack(nullptr);
            pack.SetReadOnly(false);
            ASSERT_TRUE(pack.NewPackStream(&stream));
            ASSERT_TRUE(pack.AddFile("old", "old", false));
            ASSERT_TRUE(pack.AddFile("new", "new", true));
            stream.SetBudget(budget);
            written = pack.EndPack();
            if (!written) {
                const TVoPackResult r = pack.LastResult();
                EXPECT_TRUE(r == TVoPackResult::prShortWrite || r == TVoPackResult::prShortRead) << budget;
            }
        }
        if (written) ExpectPackHolds(stream.Bytes(), true);
    }
}

TEST_F(VoPackWrite, GlobalMemoryFailingOnTheKthCallFailsTheAdditionAndLosesNothing) {
    MakeSources();
    WriteFile("old", Random(33, 24));
    TBoxRecorder boxes;
    for (const TAddition& op : Additions()) {
        SCOPED_TRACE(op.what);
        TVoPack source(nullptr);
        ASSERT_TRUE(source.LoadPack("src.pak"));
        for (long k = 1;; ++k) {
            TFailingStream stream({});
            TVoPack pack(nullptr);
            pack.SetReadOnly(false);
            ASSERT_TRUE(pack.NewPackStream(&stream));
            ASSERT_TRUE(pack.AddFile("old", "old", false));
            plat::FailGlobalAllocAt(k);
            const bool added = op.add(pack, source);
            const bool hit = plat::GlobalAllocCalls() >= k;
            plat::FailGlobalAllocAt(0);
            if (!added) {
                EXPECT_TRUE(hit) << k;
                EXPECT_EQ(pack.LastResult(), TVoPackResult::prNoMemory) << k;
                EXPECT_EQ(pack.GetFileNum(), 1);
            }
            ASSERT_TRUE(pack.EndPack());
            ExpectPackHolds(stream.Bytes(), added);
            if (HasFatalFailure() || !hit) break;
        }
        EXPECT_TRUE(TempFilesLeft().empty());
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(VoPackWrite, GlobalMemoryFailingInEndPackIsReported) {
    WriteFile("old", Random(33, 25));
    for (long k = 1;; ++k) {
        TFailingStream stream({});
        TVoPack pack(nullptr);
        pack.SetReadOnly(false);
        ASSERT_TRUE(pack.NewPackStream(&stream));
        ASSERT_TRUE(pack.AddFile("old", "old", false));
        plat::FailGlobalAllocAt(k);
        const bool written = pack.EndPack();
        const bool hit = plat::GlobalAllocCalls() >= k;
        plat::FailGlobalAllocAt(0);
        EXPECT_EQ(written, !hit) << k;
        if (!written) {
            EXPECT_EQ(pack.LastResult(), TVoPackResult::prNoMemory);
        } else {
            ExpectPackHolds(stream.Bytes(), false);
        }
        if (!hit) break;
    }
}

}  // namespace
