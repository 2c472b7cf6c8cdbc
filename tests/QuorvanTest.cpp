// Tests of the utility unit Quorvan.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Forms.h"
#include "classlib/MessageBoxes.h"
#include "platform/Platform.h"
#include "quorvan/Quorvan.h"
#include "quorvan/internal/ShellExec.h"

namespace fs = std::filesystem;

namespace {

// The shell error texts as cp932 bytes, written out independently of the unit's table.
struct ShellTextCase {
    std::intptr_t code;
    const char* text;
};
// 不明なエラー
constexpr const char* kUnknownText = "\x95\x73\x96\xBE\x82\xC8\x83\x47\x83\x89\x81\x5B";
// エラー
constexpr const char* kErrorCaption = "\x83\x47\x83\x89\x81\x5B";
const ShellTextCase kShellTexts[] = {
    // システムに､ メモリまたはリソースが足りません。
    {0, "\x83\x56\x83\x58\x83\x65\x83\x80\x82\xC9\xA4\x20\x83\x81\x83\x82\x83\x8A\x82\xDC\x82\xBD\x82\xCD\x83\x8A"
        "\x83\x5C\x81\x5B\x83\x58\x82\xAA\x91\xAB\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42"},
    // 指定されたファイルが見つかりませんでした。
    {2, "\x8E\x77\x92\xE8\x82\xB3\x82\xEA\x82\xBD\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x8C\xA9\x82\xC2\x82\xA9"
        "\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42"},
    // 指定されたパスが見つかりませんでした。
    {3, "\x8E\x77\x92\xE8\x82\xB3\x82\xEA\x82\xBD\x83\x70\x83\x58\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC"
        "\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42"},
    // .EXEファイルが無効です (Win32 .EXEではないか､ .EXEイメージ内のエラーです)。
    {11, "\x2E\x45\x58\x45\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x96\xB3\x8C\xF8\x82\xC5\x82\xB7\x20\x28\x57\x69"
         "\x6E\x33\x32\x20\x2E\x45\x58\x45\x82\xC5\x82\xCD\x82\xC8\x82\xA2\x82\xA9\xA4\x20\x2E\x45\x58\x45\x83\x43"
         "\x83\x81\x81\x5B\x83\x57\x93\xE0\x82\xCC\x83\x47\x83\x89\x81\x5B\x82\xC5\x82\xB7\x29\x81\x42"},
    // 共有違反が発生しました。
    {26, "\x8B\xA4\x97\x4C\x88\xE1\x94\xBD\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42"},
    // ファイル名の関連付けが不完全､ または無効です。
    {27, "\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xCC\x8A\xD6\x98\x41\x95\x74\x82\xAF\x82\xAA\x95\x73\x8A\xAE"
         "\x91\x53\xA4\x20\x82\xDC\x82\xBD\x82\xCD\x96\xB3\x8C\xF8\x82\xC5\x82\xB7\x81\x42"},
    // 要求タイム アウトのためにDDEトランザクションを完了できませんでした。
    {28, "\x97\x76\x8B\x81\x83\x5E\x83\x43\x83\x80\x20\x83\x41\x83\x45\x83\x67\x82\xCC\x82\xBD\x82\xDF\x82\xC9\x44"
         "\x44\x45\x83\x67\x83\x89\x83\x93\x83\x55\x83\x4E\x83\x56\x83\x87\x83\x93\x82\xF0\x8A\xAE\x97\xB9\x82\xC5"
         "\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42"},
    // DDEトランザクションが失敗しました。
    {29, "\x44\x44\x45\x83\x67\x83\x89\x83\x93\x83\x55\x83\x4E\x83\x56\x83\x87\x83\x93\x82\xAA\x8E\xB8\x94\x73\x82"
         "\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42"},
    // ほかのDDEトランザクションが処理されているために､ DDEトランザクションを完了できませんでした。
    {30, "\x82\xD9\x82\xA9\x82\xCC\x44\x44\x45\x83\x67\x83\x89\x83\x93\x83\x55\x83\x4E\x83\x56\x83\x87\x83\x93\x82"
         "\xAA\x8F\x88\x97\x9D\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x82\xBD\x82\xDF\x82\xC9\xA4\x20\x44\x44\x45"
         "\x83\x67\x83\x89\x83\x93\x83\x55\x83\x4E\x83\x56\x83\x87\x83\x93\x82\xF0\x8A\xAE\x97\xB9\x82\xC5\x82\xAB"
         "\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42"},
    // 指定されたファイル名拡張子には､ アプリケーションが関連付けられていません。
    {31, "\x8E\x77\x92\xE8\x82\xB3\x82\xEA\x82\xBD\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x8A\x67\x92\xA3\x8E\x71"
         "\x82\xC9\x82\xCD\xA4\x20\x83\x41\x83\x76\x83\x8A\x83\x50\x81\x5B\x83\x56\x83\x87\x83\x93\x82\xAA\x8A\xD6"
         "\x98\x41\x95\x74\x82\xAF\x82\xE7\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1\x81\x42"},
    // Failure codes without a text of their own.
    {1, kUnknownText},
    {5, kUnknownText},   // SE_ERR_ACCESSDENIED
    {32, kUnknownText},  // SE_ERR_DLLNOTFOUND
    {-1, kUnknownText},  // a negative result is a failure too
};

// Routes the application's message boxes to a script for one test.
class ScopedScriptedBoxes {
public:
    ScopedScriptedBoxes() : FPrevious(Application->SetMessageBoxBackend(&FBoxes)) {}
    ~ScopedScriptedBoxes() { Application->SetMessageBoxBackend(FPrevious); }
    ScopedScriptedBoxes(const ScopedScriptedBoxes&) = delete;
    ScopedScriptedBoxes& operator=(const ScopedScriptedBoxes&) = delete;
    const std::vector<TScriptedMessageBoxes::Box>& Boxes() const { return FBoxes.Boxes(); }

private:
    TScriptedMessageBoxes FBoxes;
    TMessageBoxBackend* FPrevious;
};

// Stands in for the shell: records each call and answers a set result.
struct FakeShell {
    struct Call {
        void* owner;
        bool operationIsNull;
        std::string file, parameters, directory;
        int show;
    };
    static inline std::intptr_t result = 42;
    static inline std::vector<Call> calls;

    static plat::HINSTANCE Execute(plat::HWND owner, const char* operation, const char* file, const char* parameters,
                                   const char* directory, int show) {
        calls.push_back({owner, operation == nullptr, file ? file : "<null>", parameters ? parameters : "<null>",
                         directory ? directory : "<null>", show});
        return reinterpret_cast<plat::HINSTANCE>(result);
    }
};

class ShellExecTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeShell::calls.clear();
        FakeShell::result = 42;
        FPreviousShell = quorvan::internal::SetShellExecute(&FakeShell::Execute);
        FPreviousHandle = Application->Handle();
        Application->SetHandle(&FOwnerToken);
    }
    void TearDown() override {
        Application->SetHandle(FPreviousHandle);
        quorvan::internal::SetShellExecute(FPreviousShell);
    }
    ScopedScriptedBoxes FBoxes;
    int FOwnerToken = 0;

private:
    quorvan::internal::TShellExecute FPreviousShell = nullptr;
    void* FPreviousHandle = nullptr;
};

// A scratch directory of its own, removed afterwards.
class ScratchDir {
public:
    explicit ScratchDir(const char* name) : FPath(fs::absolute(fs::path(name))) {
        fs::remove_all(FPath);
        fs::create_directories(FPath);
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(FPath, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const fs::path& Path() const { return FPath; }
    std::string File(const std::string& name, bool create) const {
        const fs::path file = FPath / name;
        if (create) std::ofstream(file) << "x";
        return file.string();
    }

private:
    fs::path FPath;
};

}  // namespace

// ---------------------------------------------------------------- FileIsExist

TEST(FileIsExist, FilesDirectoriesAndMissingPaths) {
    const ScratchDir dir("quorvan-exist");
    const struct {
        const char* what;
        std::string path;
        bool expected;
    } cases[] = {
        {"existing file", dir.File("present.txt", true), true},
        {"directory", dir.Path().string(), false},
        {"missing file", dir.File("absent.txt", false), false},
        {"file in a missing directory", (dir.Path() / "nowhere" / "a.txt").string(), false},
        {"empty path", "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(FileIsExist(c.path.c_str()), c.expected) << c.what << ": " << c.path;
    EXPECT_FALSE(FileIsExist(static_cast<char*>(nullptr)));
}

TEST(FileIsExist, PathsOf128CharactersOrMoreAreRefused) {
    const ScratchDir dir("quorvan-long");
    const std::size_t base = (dir.Path() / "").string().size();
    ASSERT_LT(base, 100u) << "scratch directory path too long for this test";
    const struct {
        std::size_t length;
        bool expected;
    } cases[] = {{110, true}, {127, true}, {128, false}, {130, false}};
    for (const auto& c : cases) {
        const std::string path = dir.File(std::string(c.length - base, 'n'), true);
        ASSERT_EQ(path.size(), c.length);
        ASSERT_TRUE(fs::exists(path));
        EXPECT_EQ(FileIsExist(path.c_str()), c.expected) << "length " << c.length;
    }
}

TEST(FileIsExist, RestoresTheErrorMode) {
    const ScratchDir dir("quorvan-mode");
    const plat::UINT original = plat::SetErrorMode(0);
    for (const std::string& path : {dir.File("present.txt", true), dir.File("absent.txt", false)}) {
        FileIsExist(path.c_str());
        EXPECT_EQ(plat::SetErrorMode(0), 0u) << path;
    }
    plat::SetErrorMode(original);
}

// ------------------------------------------------------ working directory

TEST(VoFileExecWorkingDirectory, DirectoryPartJudgedByWholeCharacters) {
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"X:\\dir\\a.txt", "X:\\dir"},
        {"X:\\dir\\sub\\a.txt", "X:\\dir\\sub"},
        {"X:\\a.txt", "X:\\"},
        {"X:a.txt", "X:"},
        {"a.txt", ""},
        {"X:\\dir\\", "X:\\dir"},
        {"\\a.txt", ""},
        {"\\\\a", "\\\\"},
        {"\\\\server\\share\\a.txt", "\\\\server\\share"},
        // ソ is 83 5C: its trail byte is no separator.
        {"X:\\\x83\x5C\\a.txt", "X:\\\x83\x5C"},
        {"X:\x83\x5C\\a.txt", "X:\x83\x5C"},
        {"X:\x83\x5C", "X:"},
        {"\x83\x5C" "a.txt", ""},
        {"X:\\\xE0\x5C\\a", "X:\\\xE0\x5C"},  // 0xE0 and 0xFC lead as well
        {"X:\xFC\x5C", "X:"},
        {"X:\xA4\\a", "X:\xA4"},  // half-width katakana are single bytes
        {"X:\\dir\\\x83", "X:\\dir"},  // a lone lead byte at the end
    };
    for (const auto& c : cases)
        EXPECT_EQ(quorvan::internal::WorkingDirectoryOf(c.path).str(), std::string(c.expected)) << c.path;
}

// ------------------------------------------------------------- VoFileExec

TEST_F(ShellExecTest, PassesPathDirectoryAndOwnerToTheShell) {
    VoFileExec("C:\\docs\\\x83\x5C\\read.txt");
    ASSERT_EQ(FakeShell::calls.size(), 1u);
    const FakeShell::Call& call = FakeShell::calls[0];
    EXPECT_EQ(call.owner, &FOwnerToken);
    EXPECT_TRUE(call.operationIsNull);
    EXPECT_EQ(call.file, "C:\\docs\\\x83\x5C\\read.txt");
    EXPECT_EQ(call.parameters, "");
    EXPECT_EQ(call.directory, "C:\\docs\\\x83\x5C");
    EXPECT_EQ(call.show, plat::SW_SHOWNORMAL);
    EXPECT_TRUE(FBoxes.Boxes().empty());
}

TEST_F(ShellExecTest, EmptyPathDoesNothing) {
    FakeShell::result = 2;
    VoFileExec("");
    EXPECT_TRUE(FakeShell::calls.empty());
    EXPECT_TRUE(FBoxes.Boxes().empty());
}

TEST_F(ShellExecTest, EachFailureCodeShowsItsText) {
    for (const ShellTextCase& c : kShellTexts) {
        FakeShell::result = c.code;
        const std::size_t before = FBoxes.Boxes().size();
        VoFileExec("a.txt");
        ASSERT_EQ(FBoxes.Boxes().size(), before + 1) << "code " << c.code;
        const TScriptedMessageBoxes::Box& box = FBoxes.Boxes().back();
        EXPECT_EQ(box.Text.str(), std::string(c.text)) << "code " << c.code;
        EXPECT_EQ(box.Caption.str(), std::string(kErrorCaption)) << "code " << c.code;
        EXPECT_EQ(box.Flags, 0x10) << "code " << c.code;
    }
}

TEST_F(ShellExecTest, SuccessShowsNothing) {
    for (const std::intptr_t code : {33, 42, 0x7FFF}) {
        FakeShell::result = code;
        VoFileExec("a.txt");
    }
    EXPECT_EQ(FakeShell::calls.size(), 3u);
    EXPECT_TRUE(FBoxes.Boxes().empty());
}

TEST(VoFileExec, RealShellOnMissingFileShowsFileNotFound) {
    const ScratchDir dir("quorvan-shell");
    const ScopedScriptedBoxes boxes;
    VoFileExec(dir.File("missing-document.txt", false).c_str());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].Text.str(), std::string(kShellTexts[1].text));
    EXPECT_EQ(boxes.Boxes()[0].Caption.str(), std::string(kErrorCaption));
    EXPECT_EQ(boxes.Boxes()[0].Flags, 0x10);
}

// ----------------------------------------------------------- memory status

TEST(MemoryStatus, AvailableNeverExceedsTotal) {
    EXPECT_GT(TotalPhysicalMemory(), 0u);
    EXPECT_LE(AvailPhysicalMemory(), TotalPhysicalMemory());
    EXPECT_GT(TotalVirtualMemory(), 0u);
    EXPECT_LE(AvailVirtualMemory(), TotalVirtualMemory());
}

// --------------------------------------------------------------- hstrncpy

TEST(Hstrncpy, StopBytesAndDoubleByteCharacters) {
    const struct {
        const char* src;
        unsigned int n;
        bool stopAtComma;
        const char* expected;
    } cases[] = {
        {"abc", 0, true, ""},
        {"ab,cd", 10, true, "ab"},
        {"ab,cd", 10, false, "ab,cd"},
        {"ab\rcd", 10, true, "ab"},
        {"ab\rcd", 10, false, "ab"},
        {"ab\ncd", 10, true, "ab\ncd"},  // a line feed is no stop byte
        {"abcdef", 4, false, "abcd"},
        {"abcd", 4, false, "abcd"},
        {"a\x83\x41", 2, false, "a"},  // the character needs two more bytes
        {"a\x83\x41", 3, false, "a\x83\x41"},
        {"\x83,x", 10, true, "\x83,x"},  // a second byte is never tested
        {"\x83\rx", 10, true, "\x83\rx"},
        {"ab\x83", 10, false, "ab"},  // a lone lead byte before the terminator is dropped
        // The copy's own lead bytes: 0x80-0x9F and 0xE0-0xEF.
        {"\x80\x41", 1, false, ""},
        {"\x9F\x41", 2, false, "\x9F\x41"},
        {"\xE0\x41", 1, false, ""},
        {"\xEF\x40", 1, false, ""},
        {"\xF0\x41", 1, false, "\xF0"},
        {"\xFC\x40", 1, false, "\xFC"},
        {"\xA4,", 10, true, "\xA4"},
    };
    constexpr char kUntouched = '\x7F';
    for (const auto& c : cases) {
        // An exactly sized source lets the sanitizer catch any read past it.
        const std::size_t srcSize = std::strlen(c.src) + 1;
        const auto src = std::make_unique<char[]>(srcSize);
        std::memcpy(src.get(), c.src, srcSize);
        std::vector<char> dest(c.n + 1 + 4, kUntouched);
        EXPECT_EQ(hstrncpy(dest.data(), src.get(), c.n, c.stopAtComma), dest.data());
        EXPECT_EQ(std::string(dest.data()), std::string(c.expected)) << c.src << " n=" << c.n;
        for (std::size_t i = c.n + 1; i < dest.size(); ++i) EXPECT_EQ(dest[i], kUntouched) << c.src;
    }
}

// -------------------------------------------------------------- Ansiprintf

TEST(Ansiprintf, FormatsLikePrintf) {
    EXPECT_EQ(Ansiprintf("%d-%s-%03X-%c", 42, "ab", 255, 'z').str(), "42-ab-0FF-z");
    char format[] = "%5.2f|%-3d|";
    EXPECT_EQ(Ansiprintf(format, 3.14159, 7).str(), " 3.14|7  |");
    EXPECT_EQ(Ansiprintf(static_cast<const char*>(nullptr)).str(), "");
}

TEST(Ansiprintf, LongOutputIsCutAt1023Bytes) {
    for (const std::size_t length : {std::size_t{1022}, std::size_t{1023}, std::size_t{1024}, std::size_t{5000}}) {
        const std::string text(length, 'q');
        const AnsiString result = Ansiprintf("%s", text.c_str());
        EXPECT_EQ(result.str(), text.substr(0, 1023)) << "length " << length;
    }
    // Cut in the middle of a conversion, too.
    const std::string padding(1020, '-');
    EXPECT_EQ(Ansiprintf("%s%d", padding.c_str(), 123456).str(), padding + "123");
}

// ---------------------------------------------------------- SeparateString

TEST(SeparateString, OneLinePerEntry) {
    const struct {
        const char* text;
        std::vector<std::string> expected;
    } cases[] = {
        {"a\nb", {"a", "b", ""}},
        {"\n\nb", {"", "", "b"}},
        {"a\r\nb", {"a\r"}},
        {"a\nb\nc", {"a", "b"}},
        {"a\n", {"a", ""}},
        {"", {"", ""}},
        {"\x83\x5C\n\x83\x41\n", {"\x83\x5C", "\x83\x41", ""}},
    };
    for (const auto& c : cases) {
        const int count = static_cast<int>(c.expected.size());
        std::vector<AnsiString> lines(c.expected.size() + 1, AnsiString("old"));
        SeparateString(c.text, lines.data(), count);
        for (int i = 0; i < count; ++i) EXPECT_EQ(lines[i].str(), c.expected[i]) << c.text << " entry " << i;
        EXPECT_EQ(lines[count].str(), "old") << "wrote beyond the count: " << c.text;
    }
}

TEST(SeparateString, NoEntriesWritesNothing) {
    for (const int count : {0, -1}) {
        AnsiString line("old");
        SeparateString("a\nb", &line, count);
        EXPECT_EQ(line.str(), "old");
    }
    SeparateString("a\nb", nullptr, 3);
}

TEST(SeparateString, ArrayMayHoldTheText) {
    AnsiString lines[2] = {"first\nsecond", "old"};
    SeparateString(lines[0], lines, 2);
    EXPECT_EQ(lines[0].str(), "first");
    EXPECT_EQ(lines[1].str(), "second");
}

// ---------------------------------------------------------------- HexToInt

TEST(HexToInt, EightDigitPlaces) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"ff", 255},
        {"FFFFFFFF", -1},
        {"FFFFFFFFFF", -1},
        {"1G", 16},
        {"0x1F", 31},
        {"", 0},
        {"aBcD", 0xABCD},
        {"12345678", 0x12345678},
        {"123456789", 0x12345678},
        {"7fffffff", INT_MAX},
        {"80000000", INT_MIN},
        {" 1", 1},
        {"-1", 1},
        {"\x83\x41", 10},  // a byte-wise reading: the trail byte "A" counts
        {"\x83\x61", 0},   // a trail byte "a" is not upper-cased
    };
    for (const auto& c : cases) EXPECT_EQ(HexToInt(c.text), c.expected) << c.text;
}

// ---------------------------------------------------------------- TCounter

TEST(TCounter, ConstructorsAndSettersKeepTheBounds) {
    struct Values {
        int max, step, count;
    };
    const auto valuesOf = [](const TCounter& c) { return Values{c.GetMaxVal(), c.GetAddVal(), c.GetCount()}; };
    const struct {
        const char* what;
        TCounter counter;
        Values expected;
    } cases[] = {
        {"default", TCounter(), {9999, 1, 0}},
        {"maximum 0", TCounter(0), {1, 1, 0}},
        {"maximum -5", TCounter(-5), {1, 1, 0}},
        {"maximum 5 step 9", TCounter(5, 9), {5, 5, 0}},
        {"step -1", TCounter(10, -1), {10, 0, 0}},
        {"maximum 0 step 3", TCounter(0, 3), {1, 1, 0}},
        {"SetMaxVal 0", [] { TCounter c(10, 3); c.SetCount(7); c.SetMaxVal(0); return c; }(), {1, 1, 0}},
        {"SetMaxVal 4", [] { TCounter c(10, 6); c.SetCount(9); c.SetMaxVal(4); return c; }(), {4, 4, 3}},
        {"SetMaxVal keeps a negative count", [] { TCounter c(10); c.SetCount(-3); c.SetMaxVal(5); return c; }(), {5, 1, -3}},
        {"SetAddVal above", [] { TCounter c(10); c.SetAddVal(11); return c; }(), {10, 10, 0}},
        {"SetAddVal negative", [] { TCounter c(10); c.SetAddVal(-2); return c; }(), {10, 0, 0}},
        {"SetCount the maximum", [] { TCounter c(10); c.SetCount(10); return c; }(), {10, 1, 10}},
        {"SetCount above", [] { TCounter c(10); c.SetCount(11); return c; }(), {10, 1, 10}},
        {"SetCount negative", [] { TCounter c(10); c.SetCount(-7); return c; }(), {10, 1, -7}},
        {"copy", [] { TCounter c(10, 3); c.SetCount(4); TCounter d(c); return d; }(), {10, 3, 4}},
        {"assignment", [] { TCounter c(10, 3); c.SetCount(4); TCounter d; d = c; return d; }(), {10, 3, 4}},
    };
    for (const auto& c : cases) {
        const Values got = valuesOf(c.counter);
        EXPECT_EQ(got.max, c.expected.max) << c.what;
        EXPECT_EQ(got.step, c.expected.step) << c.what;
        EXPECT_EQ(got.count, c.expected.count) << c.what;
    }
}

TEST(TCounter, WrapUpAndClampDown) {
    enum class Op { Add, Sub, Inc, Dec };
    const struct {
        int max, step, count;
        Op op;
        int arg;
        bool wrapped;
        int countAfter;
    } cases[] = {
        {10, 3, 0, Op::Inc, 0, false, 3},
        {10, 3, 6, Op::Inc, 0, false, 9},
        {10, 3, 9, Op::Inc, 0, true, 2},
        {10, 1, 10, Op::Inc, 0, true, 1},  // from the maximum itself
        {10, 1, 0, Op::Add, 25, true, 15},  // the maximum is taken off once only
        {10, 1, 0, Op::Add, 10, true, 0},
        {10, 1, 2, Op::Add, -4, false, -2},
        {10, 1, 0, Op::Add, 0, false, 0},
        {10, 1, 2, Op::Sub, 5, true, 0},
        {10, 1, 5, Op::Sub, 5, false, 0},
        {10, 1, 5, Op::Sub, -3, false, 8},
        {10, 3, 0, Op::Dec, 0, true, 0},
        {10, 3, 7, Op::Dec, 0, false, 4},
        {10, 0, 7, Op::Inc, 0, false, 7},
        // Sums beyond 32 bits are exact where they fit, clamped where they do not.
        {INT_MAX, 5, INT_MAX - 1, Op::Inc, 0, true, 4},
        {10, 1, -10, Op::Sub, INT_MAX, true, 0},
        {10, 1, -10, Op::Add, INT_MIN, false, INT_MIN},
    };
    for (const auto& c : cases) {
        TCounter counter(c.max, c.step);
        counter.SetCount(c.count);
        bool wrapped = false;
        switch (c.op) {
            case Op::Add: wrapped = counter.AddVal(c.arg); break;
            case Op::Sub: wrapped = counter.SubVal(c.arg); break;
            case Op::Inc: wrapped = counter.IncVal(); break;
            case Op::Dec: wrapped = counter.DecVal(); break;
        }
        EXPECT_EQ(wrapped, c.wrapped) << "max " << c.max << " count " << c.count << " op " << int(c.op);
        EXPECT_EQ(counter.GetCount(), c.countAfter) << "max " << c.max << " count " << c.count << " op " << int(c.op);
        EXPECT_EQ(counter.IsZero(), c.countAfter == 0);
    }
}

TEST(TCounter, DefaultCounterWrapsOnThe9999thStep) {
    TCounter counter;
    for (int i = 1; i <= 9998; ++i) ASSERT_FALSE(counter.IncVal()) << "step " << i;
    EXPECT_TRUE(counter.IncVal());
    EXPECT_TRUE(counter.IsZero());
}

// ----------------------------------------------------------------- TRandom

TEST(TRandom, PublishedSequences) {
    TRandom raw;
    for (const int expected : {41491, 65347, 55669, 55480, 45613, 35557, 15634, 41512, 65381, 55724})
        EXPECT_EQ(raw.Rnd(), expected);
    TRandom uniform;
    for (const int expected : {3, 3, 5, 8, 5}) EXPECT_EQ(uniform.Random(10), expected);
    TRandom normal;
    for (const int expected : {66, 39, 25, 60, -4}) EXPECT_EQ(normal.NormalDistribution(100), expected);
}

TEST(TRandom, WhichCallsDraw) {
    constexpr int kFirst = 41491, kSecond = 65347, kFourth = 55480;
    const struct {
        const char* what;
        int (*call)(TRandom&);
        int result;
        int nextRnd;  // the raw value that follows: shows how many were drawn
    } cases[] = {
        {"Random(1)", [](TRandom& r) { return r.Random(1); }, 0, kSecond},
        {"Random(0)", [](TRandom& r) { return r.Random(0); }, -1, kFirst},
        {"Random(-5)", [](TRandom& r) { return r.Random(-5); }, -1, kFirst},
        {"Random(65536)", [](TRandom& r) { return r.Random(65536); }, kFirst, kSecond},
        {"Random(100000)", [](TRandom& r) { return r.Random(100000); }, kFirst, kSecond},
        {"Random(INT_MAX)", [](TRandom& r) { return r.Random(INT_MAX); }, kFirst, kSecond},
        {"NormalDistribution(0)", [](TRandom& r) { return r.NormalDistribution(0); }, 0, kFirst},
        {"NormalDistribution(4097)", [](TRandom& r) { return r.NormalDistribution(4097); }, 0, kFirst},
        {"NormalDistribution(-3)", [](TRandom& r) { return r.NormalDistribution(-3); }, 0, kFirst},
        // (41491 + 65347 + 55669) * 8193 / 196606 - 4096
        {"NormalDistribution(4096)", [](TRandom& r) { return r.NormalDistribution(4096); }, 2676, kFourth},
    };
    for (const auto& c : cases) {
        TRandom generator;
        EXPECT_EQ(c.call(generator), c.result) << c.what;
        EXPECT_EQ(generator.Rnd(), c.nextRnd) << c.what;
    }
}

TEST(TRandom, DrawsStayInRange) {
    TRandom generator;
    for (const int n : {1, 2, 3, 7, 10, 100, 4096}) {
        for (int i = 0; i < 500; ++i) {
            const int uniform = generator.Random(n);
            ASSERT_GE(uniform, 0) << n;
            ASSERT_LT(uniform, n) << n;
            const int normal = generator.NormalDistribution(n);
            ASSERT_GE(normal, -n) << n;
            ASSERT_LE(normal, n) << n;
        }
    }
}

TEST(TRandom, CopiesContinueTheSequence) {
    TRandom original;
    for (int i = 0; i < 40; ++i) original.Rnd();  // past one turn of the state
    TRandom copy(original);
    TRandom assigned;
    assigned = original;
    for (int i = 0; i < 50; ++i) {
        const std::uint16_t expected = original.Rnd();
        EXPECT_EQ(copy.Rnd(), expected) << i;
        EXPECT_EQ(assigned.Rnd(), expected) << i;
    }
}
