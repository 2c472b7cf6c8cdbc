// The platform layer's contracts. The same tests run natively against the
// POSIX back end and under Wine against the Win32 one.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace fs = std::filesystem;
using namespace plat;

namespace {

// A file handle closed at the end of its scope.
class TFile {
public:
    explicit TFile(HANDLE handle = INVALID_HANDLE_VALUE) : FHandle(handle) {}
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;
    ~TFile() { Close(); }
    HANDLE Get() const { return FHandle; }
    HANDLE Release() { return std::exchange(FHandle, INVALID_HANDLE_VALUE); }
    bool Valid() const { return FHandle != INVALID_HANDLE_VALUE; }
    void Close() {
        if (Valid()) CloseHandle(FHandle);
        FHandle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE FHandle;
};

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD creation = OPEN_EXISTING) {
    return CreateFileA(path.c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint64_t Ticks(const FILETIME& time) { return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

FILETIME FromTicks(std::uint64_t ticks) { return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}; }

void MakeReadOnly(const std::string& path, bool readOnly) {
    const fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(path, write, readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

// Each test gets a fresh directory of its own under the system's temporary
// directory (under Wine, the prefix's).
class PlatformFiles : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<unsigned> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        FDir = (fs::temp_directory_path() /
                ("kavrenta-platform-" + std::to_string(stamp) + "-" + std::to_string(counter++)))
                   .string();
        fs::create_directories(FDir);
    }
    void TearDown() override {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(FDir, ignored))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
        fs::remove_all(FDir, ignored);
    }
    std::string PathOf(const std::string& name) const { return (fs::path(FDir) / name).string(); }

    std::string FDir;
};

// --- directories ------------------------------------------------------------

TEST(PlatformDirectories, CurrentDirectoryFollowsTheBufferConventions) {
    const std::string expected = fs::current_path().string();
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    ASSERT_EQ(needed, expected.size() + 1);

    std::vector<char> buffer(needed, 'x');
    EXPECT_EQ(GetCurrentDirectoryA(needed, buffer.data()), expected.size());
    EXPECT_EQ(std::string(buffer.data()), expected);

    std::vector<char> tooSmall(needed - 1, 'x');
    EXPECT_EQ(GetCurrentDirectoryA(static_cast<DWORD>(tooSmall.size()), tooSmall.data()), needed);
}

TEST(PlatformDirectories, SystemDirectoryIsAnExistingDirectory) {
    const UINT needed = GetSystemDirectoryA(nullptr, 0);
    ASSERT_GT(needed, 1u);
    std::vector<char> buffer(needed, 'x');
    ASSERT_EQ(GetSystemDirectoryA(buffer.data(), needed), needed - 1);
    EXPECT_EQ(std::strlen(buffer.data()), needed - 1);
    const DWORD attributes = GetFileAttributesA(buffer.data());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);

    std::vector<char> tooSmall(needed - 1, 'x');
    EXPECT_EQ(GetSystemDirectoryA(tooSmall.data(), needed - 1), needed);
}

// --- opening and sharing ------------------------------------------------------

struct TShareCase {
    const char* Name;
    DWORD FirstAccess, FirstShare, SecondAccess, SecondShare;
    bool SecondOpens;
};

constexpr DWORD kRead = GENERIC_READ;
constexpr DWORD kWrite = GENERIC_WRITE;
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareRead = FILE_SHARE_READ;
constexpr DWORD kShareBoth = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Only the combinations on which Win32 and the flock mapping agree.
const TShareCase kShareCases[] = {
    {"writer sharing reading vs second writer", kReadWrite, kShareRead, kReadWrite, kShareRead, false},
    {"writer sharing reading vs reader denying writing", kWrite, kShareRead, kRead, kShareRead, false},
    {"writer sharing reading vs reader sharing writing", kWrite, kShareRead, kRead, kShareBoth, true},
    {"reader denying writing vs writer", kRead, kShareRead, kWrite, kShareRead, false},
    {"reader denying writing vs writer sharing all", kRead, kShareRead, kWrite, kShareBoth, false},
    {"two readers sharing reading", kRead, kShareRead, kRead, kShareRead, true},
    {"exclusive reader vs reader", kRead, 0, kRead, kShareRead, false},
    {"reader sharing all vs writer sharing reading", kRead, kShareBoth, kWrite, kShareRead, true},
};

TEST_F(PlatformFiles, ShareModesDecideWhetherASecondHandleOpens) {
    const std::string path = PathOf("shared.bin");
    WriteText(path, "data");
    for (const TShareCase& c : kShareCases) {
        SCOPED_TRACE(c.Name);
        TFile first(Open(path, c.FirstAccess, c.FirstShare));
        ASSERT_TRUE(first.Valid()) << GetLastError();
        TFile second(Open(path, c.SecondAccess, c.SecondShare));
        EXPECT_EQ(second.Valid(), c.SecondOpens);
        if (!c.SecondOpens) {
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
            first.Close();
            TFile again(Open(path, c.SecondAccess, c.SecondShare));
            EXPECT_TRUE(again.Valid()) << "the conflict ends with the first handle";
        }
    }
    EXPECT_EQ(ReadText(path), "data");
}

struct TCreationCase {
    const char* Name;
    bool Exists;
    DWORD Creation;
    bool Opens;
    DWORD Error;  // kAnyError: not looked at
    const char* ContentAfter;  // null: the file must not exist
};

constexpr DWORD kAnyError = 0xFFFFFFFFu;

const TCreationCase kCreationCases[] = {
    {"CREATE_NEW on an existing file", true, CREATE_NEW, false, ERROR_FILE_EXISTS, "old"},
    {"CREATE_NEW on a missing file", false, CREATE_NEW, true, kAnyError, ""},
    {"OPEN_EXISTING on a missing file", false, OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
    {"OPEN_EXISTING on an existing file", true, OPEN_EXISTING, true, kAnyError, "old"},
    {"OPEN_ALWAYS on an existing file", true, OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old"},
    {"OPEN_ALWAYS on a missing file", false, OPEN_ALWAYS, true, ERROR_SUCCESS, ""},
    {"CREATE_ALWAYS on an existing file", true, CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
    {"CREATE_ALWAYS on a missing file", false, CREATE_ALWAYS, true, ERROR_SUCCESS, ""},
    {"TRUNCATE_EXISTING on an existing file", true, TRUNCATE_EXISTING, true, kAnyError, ""},
    {"TRUNCATE_EXISTING on a missing file", false, TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
};

TEST_F(PlatformFiles, CreationDispositions) {
    for (const TCreationCase& c : kCreationCases) {
        SCOPED_TRACE(c.Name);
        const std::string path = PathOf("created.txt");
        std::error_code ignored;
        fs::remove(path, ignored);
        if (c.Exists) WriteText(path, "old");
        SetLastError(12345);
        TFile file(Open(path, kReadWrite, 0, c.Creation));
        EXPECT_EQ(file.Valid(), c.Opens);
        if (c.Error != kAnyError) {
            EXPECT_EQ(GetLastError(), c.Error);
        }
        file.Close();
        if (c.ContentAfter == nullptr) {
            EXPECT_FALSE(fs::exists(path));
        } else {
            EXPECT_EQ(ReadText(path), c.ContentAfter);
        }
    }
}

TEST_F(PlatformFiles, OpeningFailsForMissingDirectoriesAndDirectories) {
    TFile inMissing(Open(PathOf("nodir/file.txt"), kRead, kShareRead));
    EXPECT_FALSE(inMissing.Valid());
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    TFile directory(Open(FDir, kRead, kShareRead));
    EXPECT_FALSE(directory.Valid());
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    TFile nullPath(CreateFileA(nullptr, kRead, kShareRead, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(nullPath.Valid());
}

TEST_F(PlatformFiles, ASharingConflictDoesNotTruncate) {
    const std::string path = PathOf("held.txt");
    WriteText(path, "keep me");
    TFile reader(Open(path, kRead, kShareRead));
    ASSERT_TRUE(reader.Valid());
    TFile writer(Open(path, kWrite, 0, CREATE_ALWAYS));
    EXPECT_FALSE(writer.Valid());
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ReadText(path), "keep me");
}

// --- reading, writing, positions ---------------------------------------------

TEST_F(PlatformFiles, ReadWriteSeekAndSize) {
    const std::string path = PathOf("data.bin");
    TFile file(Open(path, kReadWrite, 0, CREATE_NEW));
    ASSERT_TRUE(file.Valid());

    DWORD done = 0;
    ASSERT_TRUE(WriteFile(file.Get(), "0123456789", 10, &done, nullptr));
    EXPECT_EQ(done, 10u);
    DWORD high = 77;
    EXPECT_EQ(GetFileSize(file.Get(), &high), 10u);
    EXPECT_EQ(high, 0u);

    EXPECT_EQ(SetFilePointer(file.Get(), 2, nullptr, FILE_BEGIN), 2u);
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(file.Get(), buffer, 3, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "234");
    EXPECT_EQ(SetFilePointer(file.Get(), 1, nullptr, FILE_CURRENT), 6u);
    EXPECT_EQ(SetFilePointer(file.Get(), -3, nullptr, FILE_END), 7u);
    ASSERT_TRUE(ReadFile(file.Get(), buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "789") << "a short read at the end succeeds";
    ASSERT_TRUE(ReadFile(file.Get(), buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(done, 0u);

    // Before the start: refused, and the position stays.
    EXPECT_EQ(SetFilePointer(file.Get(), -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(SetFilePointer(file.Get(), 0, nullptr, FILE_CURRENT), 10u);

    LONG distanceHigh = 0;
    EXPECT_EQ(SetFilePointer(file.Get(), 4, &distanceHigh, FILE_BEGIN), 4u);
    EXPECT_EQ(distanceHigh, 0);
    ASSERT_TRUE(SetEndOfFile(file.Get()));
    EXPECT_EQ(GetFileSize(file.Get(), nullptr), 4u);
    EXPECT_EQ(SetFilePointer(file.Get(), 100, nullptr, FILE_BEGIN), 100u);
    ASSERT_TRUE(SetEndOfFile(file.Get()));
    EXPECT_EQ(GetFileSize(file.Get(), nullptr), 100u);
    file.Close();
    EXPECT_EQ(ReadText(path).substr(0, 4), "0123");
}

TEST_F(PlatformFiles, AccessIsCheckedPerHandle) {
    const std::string path = PathOf("access.txt");
    WriteText(path, "abc");
    char buffer[4];
    DWORD done = 99;
    TFile reader(Open(path, kRead, kShareBoth));
    ASSERT_TRUE(reader.Valid());
    EXPECT_FALSE(WriteFile(reader.Get(), "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(done, 0u);
    EXPECT_FALSE(SetEndOfFile(reader.Get()));

    TFile writer(Open(path, kWrite, kShareBoth));
    ASSERT_TRUE(writer.Valid());
    EXPECT_FALSE(ReadFile(writer.Get(), buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadText(path), "abc");
}

TEST_F(PlatformFiles, HandlesThatAreNotOpenAreRefused) {
    TFile closedFile(Open(PathOf("closed.txt"), kReadWrite, 0, CREATE_NEW));
    ASSERT_TRUE(closedFile.Valid());
    // Released first: closing the value again at the end of the test could
    // close a handle that the system has handed out since (a thread's).
    const HANDLE closed = closedFile.Release();
    ASSERT_TRUE(CloseHandle(closed));
#if defined(_WIN32)
    // Windows hands a closed handle's value out again, even to its own
    // threads, so only values that were never handles are tried there.
    const HANDLE bogus[] = {nullptr, reinterpret_cast<HANDLE>(std::uintptr_t{0x7654320})};
    (void)closed;
#else
    const HANDLE bogus[] = {nullptr, reinterpret_cast<HANDLE>(std::uintptr_t{0x7654320}), closed};
#endif

    for (const HANDLE handle : bogus) {
        SCOPED_TRACE(reinterpret_cast<std::uintptr_t>(handle));
        char buffer[4] = {};
        DWORD done = 0;
        FILETIME time{1, 1};
        const bool failures[] = {
            ReadFile(handle, buffer, sizeof buffer, &done, nullptr) == FALSE,
            WriteFile(handle, buffer, sizeof buffer, &done, nullptr) == FALSE,
            SetFilePointer(handle, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER,
            SetEndOfFile(handle) == FALSE,
            GetFileSize(handle, nullptr) == INVALID_FILE_SIZE,
            GetFileTime(handle, nullptr, nullptr, &time) == FALSE,
            SetFileTime(handle, nullptr, nullptr, &time) == FALSE,
            CloseHandle(handle) == FALSE,
        };
        for (std::size_t i = 0; i < std::size(failures); ++i) {
            EXPECT_TRUE(failures[i]) << "operation " << i;
        }
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
}

// --- copying and deleting ------------------------------------------------------

enum class TDestination { Absent, Existing, Directory, HeldByReader };

struct TCopyCase {
    const char* Name;
    TDestination Destination;
    BOOL FailIfExists;
    bool Copies;
    DWORD Error;
};

const TCopyCase kCopyCases[] = {
    {"onto nothing", TDestination::Absent, FALSE, true, kAnyError},
    {"over an existing file", TDestination::Existing, FALSE, true, kAnyError},
    {"over an existing file with failIfExists", TDestination::Existing, TRUE, false, ERROR_FILE_EXISTS},
    {"onto a directory", TDestination::Directory, FALSE, false, kAnyError},
    {"onto a file held without write sharing", TDestination::HeldByReader, FALSE, false, ERROR_SHARING_VIOLATION},
};

TEST_F(PlatformFiles, CopyFile) {
    const std::string source = PathOf("source.bin");
    const std::string content("new\0contents\x83\x5C", 15);
    WriteText(source, content);
    for (const TCopyCase& c : kCopyCases) {
        SCOPED_TRACE(c.Name);
        const std::string destination = PathOf(std::string("copy-") + std::to_string(&c - kCopyCases));
        if (c.Destination == TDestination::Directory) fs::create_directory(destination);
        if (c.Destination == TDestination::Existing || c.Destination == TDestination::HeldByReader)
            WriteText(destination, "old");
        const bool held = c.Destination == TDestination::HeldByReader;
        TFile holder(held ? Open(destination, kRead, kShareRead) : INVALID_HANDLE_VALUE);
        ASSERT_EQ(holder.Valid(), held);

        EXPECT_EQ(CopyFileA(source.c_str(), destination.c_str(), c.FailIfExists) != FALSE, c.Copies);
        if (c.Error != kAnyError) {
            EXPECT_EQ(GetLastError(), c.Error);
        }
        holder.Close();
        if (c.Copies) {
            EXPECT_EQ(ReadText(destination), content);
        } else if (c.Destination == TDestination::Directory) {
            EXPECT_TRUE(fs::is_directory(destination));
        } else {
            EXPECT_EQ(ReadText(destination), "old");
        }
    }
}

TEST_F(PlatformFiles, CopyFileKeepsTheLastWriteTime) {
    const std::string source = PathOf("dated.txt");
    const std::string destination = PathOf("dated-copy.txt");
    WriteText(source, "dated");
    const FILETIME past = FromTicks(126'000'000'000'000'000ull);  // in 2000
    {
        TFile file(Open(source, kWrite, kShareRead));
        ASSERT_TRUE(file.Valid());
        ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &past));
    }
    ASSERT_TRUE(CopyFileA(source.c_str(), destination.c_str(), FALSE));
    TFile copy(Open(destination, kRead, kShareRead));
    ASSERT_TRUE(copy.Valid());
    FILETIME written{};
    ASSERT_TRUE(GetFileTime(copy.Get(), nullptr, nullptr, &written));
    EXPECT_EQ(Ticks(written), Ticks(past));
}

TEST_F(PlatformFiles, CopyFileOfAMissingSourceOrOntoItselfChangesNothing) {
    const std::string missing = PathOf("missing.txt");
    const std::string target = PathOf("target.txt");
    EXPECT_FALSE(CopyFileA(missing.c_str(), target.c_str(), FALSE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(target));

    WriteText(target, "self");
    EXPECT_FALSE(CopyFileA(target.c_str(), target.c_str(), FALSE));
    EXPECT_EQ(ReadText(target), "self");
}

enum class TVictim { File, Missing, Directory, HeldByReader, ReadOnly };

struct TDeleteCase {
    const char* Name;
    TVictim Victim;
    bool Deletes;
    DWORD Error;
};

const TDeleteCase kDeleteCases[] = {
    {"a file", TVictim::File, true, kAnyError},
    {"a missing file", TVictim::Missing, false, ERROR_FILE_NOT_FOUND},
    {"a directory", TVictim::Directory, false, ERROR_ACCESS_DENIED},
    {"a file an open handle holds", TVictim::HeldByReader, false, ERROR_SHARING_VIOLATION},
    {"a read-only file", TVictim::ReadOnly, false, ERROR_ACCESS_DENIED},
};

TEST_F(PlatformFiles, DeleteFile) {
    for (const TDeleteCase& c : kDeleteCases) {
        SCOPED_TRACE(c.Name);
        const std::string path = PathOf(std::string("victim-") + std::to_string(&c - kDeleteCases));
        if (c.Victim == TVictim::Directory) fs::create_directory(path);
        if (c.Victim != TVictim::Missing && c.Victim != TVictim::Directory) WriteText(path, "x");
        if (c.Victim == TVictim::ReadOnly) MakeReadOnly(path, true);
        const bool held = c.Victim == TVictim::HeldByReader;
        TFile holder(held ? Open(path, kRead, kShareRead) : INVALID_HANDLE_VALUE);
        ASSERT_EQ(holder.Valid(), held);

        EXPECT_EQ(DeleteFileA(path.c_str()) != FALSE, c.Deletes);
        if (c.Error != kAnyError) {
            EXPECT_EQ(GetLastError(), c.Error);
        }
        holder.Close();
        EXPECT_EQ(fs::exists(path), !c.Deletes && c.Victim != TVictim::Missing);
        if (c.Victim == TVictim::ReadOnly) MakeReadOnly(path, false);
    }
}

// --- existence and attributes --------------------------------------------------

TEST_F(PlatformFiles, OpenFileExistTest) {
    WriteText(PathOf("present.txt"), "x");
    fs::create_directory(PathOf("folder"));
    // Files whose full paths are exactly 127, 128 and 130 characters long.
    auto pathOfLength = [&](std::size_t length) {
        const std::size_t prefix = PathOf("").size();
        EXPECT_LT(prefix + 4, length) << "temporary directory too deep for this test";
        const std::string path = PathOf(std::string(length - prefix - 4, 'n') + ".txt");
        EXPECT_EQ(path.size(), length);
        WriteText(path, "x");
        return path;
    };
    struct {
        std::string Path;
        bool Exists;
    } const cases[] = {
        {PathOf("present.txt"), true},
        {PathOf("missing.txt"), false},
        {PathOf("nodir/missing.txt"), false},
        {PathOf("folder"), false},
        {pathOfLength(127), true},
        {pathOfLength(128), false},
        {pathOfLength(130), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        OFSTRUCT info{};
        const int result = OpenFile(c.Path.c_str(), &info, OF_EXIST);
        if (c.Exists) {
            EXPECT_GT(result, 0);
            EXPECT_EQ(info.cBytes, sizeof(OFSTRUCT));
            EXPECT_NE(std::string(info.szPathName).find(fs::path(c.Path).filename().string()), std::string::npos);
        } else {
            EXPECT_EQ(result, HFILE_ERROR);
            EXPECT_NE(info.nErrCode, 0);
        }
    }
}

TEST_F(PlatformFiles, FileAttributes) {
    const std::string file = PathOf("plain.txt");
    const std::string readOnly = PathOf("readonly.txt");
    WriteText(file, "x");
    WriteText(readOnly, "x");
    MakeReadOnly(readOnly, true);
    struct {
        std::string Path;
        DWORD Set, Clear;  // bits that must be set and clear
        DWORD Error;       // for a missing path
    } const cases[] = {
        {file, 0, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY, 0},
        {readOnly, FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_DIRECTORY, 0},
        {FDir, FILE_ATTRIBUTE_DIRECTORY, 0, 0},
        {PathOf("missing.txt"), 0, 0, ERROR_FILE_NOT_FOUND},
        {PathOf("nodir/missing.txt"), 0, 0, ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        const DWORD attributes = GetFileAttributesA(c.Path.c_str());
        if (c.Error != 0) {
            EXPECT_EQ(attributes, INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(GetLastError(), c.Error);
            continue;
        }
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(attributes & c.Set, c.Set);
        EXPECT_EQ(attributes & c.Clear, 0u);
    }
    MakeReadOnly(readOnly, false);
}

// --- times ---------------------------------------------------------------------

TEST_F(PlatformFiles, FileTimesCountFrom1601AndRoundTrip) {
    const std::string path = PathOf("times.txt");
    TFile file(Open(path, kReadWrite, 0, CREATE_NEW));
    ASSERT_TRUE(file.Valid());

    // A new file was written just now: within a day of the clock.
    const auto sinceUnixEpoch = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch());
    const std::uint64_t now = (static_cast<std::uint64_t>(sinceUnixEpoch.count()) + 11644473600ull) * 10'000'000ull;
    FILETIME created{}, accessed{}, written{};
    ASSERT_TRUE(GetFileTime(file.Get(), &created, &accessed, &written));
    const std::uint64_t day = 86400ull * 10'000'000ull;
    EXPECT_LT(Ticks(written) > now ? Ticks(written) - now : now - Ticks(written), day);

    const FILETIME chosen = FromTicks(127'000'000'000'000'123ull);  // 100 ns resolution kept
    ASSERT_TRUE(SetFileTime(file.Get(), nullptr, &chosen, &chosen));
    ASSERT_TRUE(GetFileTime(file.Get(), nullptr, &accessed, &written));
    EXPECT_EQ(Ticks(written), Ticks(chosen));
    EXPECT_EQ(Ticks(accessed), Ticks(chosen));

    file.Close();
    TFile reader(Open(path, kRead, kShareRead));
    ASSERT_TRUE(reader.Valid());
    FILETIME read{};
    ASSERT_TRUE(GetFileTime(reader.Get(), nullptr, nullptr, &read));
    EXPECT_EQ(Ticks(read), Ticks(chosen));
}

TEST(PlatformTimes, CompareFileTimeIsUnsigned64BitOrder) {
    struct {
        FILETIME A, B;
        LONG Expected;
    } const cases[] = {
        {{5, 7}, {5, 7}, 0},
        {{4, 7}, {5, 7}, -1},
        {{0xFFFFFFFF, 0}, {0, 1}, -1},
        {{0, 0x80000000}, {0xFFFFFFFF, 0x7FFFFFFF}, 1},
        {{0, 0}, {0xFFFFFFFF, 0xFFFFFFFF}, -1},
        {{0x80000000, 3}, {0x7FFFFFFF, 3}, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareFileTime(&c.A, &c.B), c.Expected);
        EXPECT_EQ(CompareFileTime(&c.B, &c.A), -c.Expected);
    }
}

// --- process state ---------------------------------------------------------------

TEST(PlatformState, SetErrorModeReturnsThePreviousMode) {
    const UINT original = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    EXPECT_EQ(SetErrorMode(original), SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

TEST(PlatformState, LastErrorIsPerThread) {
    // The two threads interleave on atomics alone: any system call between
    // setting and reading could change the code itself.
    std::atomic<int> step{0};
    DWORD seenByThread = 0;
    std::thread other([&] {
        SetLastError(2222);
        step = 1;
        while (step.load() != 2) {
        }
        seenByThread = GetLastError();
    });
    while (step.load() != 1) {
    }
    SetLastError(1111);
    step = 2;
    const DWORD seenHere = GetLastError();
    other.join();
    EXPECT_EQ(seenByThread, 2222u);
    EXPECT_EQ(seenHere, 1111u);
}

// --- global memory -----------------------------------------------------------------

struct TAllocCase {
    const char* Name;
    UINT Flags;
};

const TAllocCase kAllocCases[] = {
    {"GMEM_FIXED", GMEM_FIXED},
    {"GPTR", GPTR},
    {"GMEM_MOVEABLE", GMEM_MOVEABLE},
    {"GHND", GHND},
};

TEST(PlatformGlobalMemory, HandlesAddressesAndSizes) {
    constexpr SIZE_T kBytes = 1000;
    for (const TAllocCase& c : kAllocCases) {
        SCOPED_TRACE(c.Name);
        const HGLOBAL handle = GlobalAlloc(c.Flags, kBytes);
        ASSERT_NE(handle, nullptr);
        auto* data = static_cast<unsigned char*>(GlobalLock(handle));
        ASSERT_NE(data, nullptr);
        const bool moveable = (c.Flags & GMEM_MOVEABLE) != 0;
        EXPECT_EQ(handle == data, !moveable);
        EXPECT_EQ(GlobalHandle(data), handle);
        EXPECT_EQ(GlobalSize(handle), kBytes);
        if ((c.Flags & GMEM_ZEROINIT) != 0) {
            EXPECT_EQ(std::count(data, data + kBytes, 0), static_cast<std::ptrdiff_t>(kBytes));
        }
        std::memset(data, 0xA5, kBytes);
        GlobalUnlock(handle);
        EXPECT_EQ(GlobalFree(handle), nullptr);
    }
}

TEST(PlatformGlobalMemory, MoveableBlocksCountLocks) {
    const HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, 64);
    ASSERT_NE(handle, nullptr);
    void* first = GlobalLock(handle);
    void* second = GlobalLock(handle);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(GlobalUnlock(handle)) << "still locked once";
    SetLastError(12345);
    EXPECT_FALSE(GlobalUnlock(handle));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "unlocked now";
    EXPECT_EQ(GlobalFree(handle), nullptr);
}

TEST(PlatformGlobalMemory, ReAllocKeepsContents) {
    constexpr SIZE_T kSmall = 64;
    constexpr SIZE_T kLarge = 1 << 20;
    auto fill = [](void* data) {
        for (SIZE_T i = 0; i < kSmall; ++i) static_cast<unsigned char*>(data)[i] = static_cast<unsigned char>(i * 7);
    };
    auto kept = [](const void* data) {
        for (SIZE_T i = 0; i < kSmall; ++i)
            if (static_cast<const unsigned char*>(data)[i] != static_cast<unsigned char>(i * 7)) return false;
        return true;
    };
    auto zeroTail = [](const void* data) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        return std::count(bytes + kSmall, bytes + kLarge, 0) == static_cast<std::ptrdiff_t>(kLarge - kSmall);
    };

    // A moveable block keeps its handle; its address may change.
    HGLOBAL moveable = GlobalAlloc(GMEM_MOVEABLE, kSmall);
    ASSERT_NE(moveable, nullptr);
    fill(GlobalLock(moveable));
    GlobalUnlock(moveable);
    ASSERT_EQ(GlobalReAlloc(moveable, kLarge, GMEM_MOVEABLE | GMEM_ZEROINIT), moveable);
    EXPECT_EQ(GlobalSize(moveable), kLarge);
    void* moved = GlobalLock(moveable);
    EXPECT_TRUE(kept(moved));
    EXPECT_TRUE(zeroTail(moved));
    EXPECT_EQ(GlobalHandle(moved), moveable);
    GlobalUnlock(moveable);
    EXPECT_EQ(GlobalFree(moveable), nullptr);

    // A fixed block may move when GMEM_MOVEABLE allows it; its handle is
    // its new address.
    HGLOBAL fixed = GlobalAlloc(GMEM_FIXED, kSmall);
    ASSERT_NE(fixed, nullptr);
    fill(fixed);
    HGLOBAL grown = GlobalReAlloc(fixed, kLarge, GMEM_MOVEABLE | GMEM_ZEROINIT);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(GlobalLock(grown), grown);
    EXPECT_TRUE(kept(grown));
    EXPECT_TRUE(zeroTail(grown));
    EXPECT_EQ(GlobalSize(grown), kLarge);

    // Without GMEM_MOVEABLE a fixed block is resized in place or not at all;
    // a refusal leaves it as it was.
    for (const SIZE_T bytes : {kSmall, 64 * kLarge}) {
        SCOPED_TRACE(bytes);
        const SIZE_T before = GlobalSize(grown);
        HGLOBAL resized = GlobalReAlloc(grown, bytes, 0);
        if (resized == nullptr) {
            EXPECT_EQ(GlobalSize(grown), before);
        } else {
            EXPECT_EQ(resized, grown);
            EXPECT_EQ(GlobalSize(grown), bytes);
        }
        EXPECT_TRUE(kept(grown));
    }
    EXPECT_EQ(GlobalFree(grown), nullptr);
}

TEST(PlatformGlobalMemory, HugeRequestsFailCleanly) {
    const SIZE_T huge[] = {~SIZE_T{0}, ~SIZE_T{0} / 2, SIZE_T{1} << 52};
    for (const SIZE_T bytes : huge) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(GlobalAlloc(GMEM_FIXED, bytes), nullptr);
        EXPECT_EQ(GlobalAlloc(GHND, bytes), nullptr);
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(block, nullptr);
    std::memcpy(GlobalLock(block), "sixteen bytes..", 16);
    GlobalUnlock(block);
    EXPECT_EQ(GlobalReAlloc(block, ~SIZE_T{0} / 2, GMEM_MOVEABLE), nullptr);
    EXPECT_EQ(GlobalSize(block), 16u);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(block)), "sixteen bytes..");
    GlobalUnlock(block);
    EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(PlatformGlobalMemory, FreeingAFreedHandleGivesItBack) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalFree(block), block);
    EXPECT_EQ(GlobalLock(block), nullptr);
    EXPECT_EQ(GlobalSize(block), 0u);
}

TEST(PlatformGlobalMemory, ThreadsShareTheHeapSafely) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    std::atomic<int> damaged{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &damaged] {
            for (int round = 0; round < kRounds; ++round) {
                const auto mark = static_cast<unsigned char>(t * 31 + round);
                HGLOBAL block = GlobalAlloc(round % 2 ? GMEM_MOVEABLE : GMEM_FIXED, 32 + round % 100);
                if (block == nullptr) {
                    ++damaged;
                    continue;
                }
                std::memset(GlobalLock(block), mark, 32);
                GlobalUnlock(block);
                HGLOBAL grown = GlobalReAlloc(block, 4096, GMEM_MOVEABLE);
                if (grown == nullptr) grown = block;
                const auto* data = static_cast<const unsigned char*>(GlobalLock(grown));
                if (std::count(data, data + 32, mark) != 32) ++damaged;
                GlobalUnlock(grown);
                if (GlobalFree(grown) != nullptr) ++damaged;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(damaged.load(), 0);
}

TEST(PlatformGlobalMemory, MemoryStatusIsSane) {
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    EXPECT_EQ(status.dwLength, sizeof(MEMORYSTATUS));
    EXPECT_LE(status.dwMemoryLoad, 100u);
    EXPECT_GT(status.dwTotalPhys, 0u);
    EXPECT_LE(status.dwAvailPhys, status.dwTotalPhys);
    EXPECT_GT(status.dwTotalPageFile, 0u);
    EXPECT_LE(status.dwAvailPageFile, status.dwTotalPageFile);
    EXPECT_GT(status.dwTotalVirtual, 0u);
    EXPECT_LE(status.dwAvailVirtual, status.dwTotalVirtual);
}

// --- shell --------------------------------------------------------------------------

TEST_F(PlatformFiles, ShellExecuteFailureCodes) {
    WriteText(PathOf("x.kavrentanoassoc"), "");
    // Where the Windows shell answers differently (Wine says 2 for a missing
    // directory in the path and ignores a missing working directory), only
    // the failure itself is checked there.
    struct {
        const char* Name;
        std::string File;
        std::string Directory;
        int Expected;
        bool SameOnWin32;
    } const cases[] = {
        {"missing file", PathOf("missing.kavrentanoassoc"), "", SE_ERR_FNF, true},
        {"missing directory", PathOf("nodir/x.kavrentanoassoc"), "", SE_ERR_PNF, false},
        {"missing working directory", PathOf("x.kavrentanoassoc"), PathOf("nodir"), SE_ERR_PNF, false},
        {"no associated program", PathOf("x.kavrentanoassoc"), "", SE_ERR_NOASSOC, true},
        {"relative, against the directory", "x.kavrentanoassoc", FDir, SE_ERR_NOASSOC, true},
        {"relative and missing, against the directory", "missing.kavrentanoassoc", FDir, SE_ERR_FNF, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto result = reinterpret_cast<std::intptr_t>(
            ShellExecuteA(nullptr, nullptr, c.File.c_str(), "", c.Directory.c_str(), SW_SHOWNORMAL));
#if defined(_WIN32)
        if (!c.SameOnWin32) {
            EXPECT_LE(result, 32);
            continue;
        }
#endif
        EXPECT_EQ(result, c.Expected);
    }
}

#if !defined(_WIN32)
// --- the POSIX back end's own matters --------------------------------------------

TEST_F(PlatformFiles, BackslashesAreSeparatorsButNotCp932TrailBytes) {
    fs::create_directory(PathOf("sub"));
    const std::string winStyle = FDir + "\\sub\\name.txt";
    TFile file(Open(winStyle, kWrite, 0, CREATE_NEW));
    ASSERT_TRUE(file.Valid());
    EXPECT_TRUE(fs::exists(PathOf("sub/name.txt")));
    EXPECT_NE(GetFileAttributesA(winStyle.c_str()), INVALID_FILE_ATTRIBUTES);

    const std::string so = "\x83\x5C.txt";  // the katakana "so" ends in 0x5C
    TFile trail(Open(FDir + "\\" + so, kWrite, 0, CREATE_NEW));
    ASSERT_TRUE(trail.Valid());
    EXPECT_TRUE(fs::exists(PathOf(so)));
    EXPECT_FALSE(fs::exists(PathOf("\x83")));
}

TEST_F(PlatformFiles, ShellExecuteStartsAProgramInTheWorkingDirectory) {
    const std::string script = PathOf("write-marker.sh");
    WriteText(script, "#!/bin/sh\necho \"$1\" > \"$2\"\n");
    fs::permissions(script, fs::perms::owner_all);
    const auto result = reinterpret_cast<std::intptr_t>(
        ShellExecuteA(nullptr, "open", script.c_str(), "\"two words\" marker.txt", FDir.c_str(), SW_SHOWNORMAL));
    ASSERT_GT(result, 32);
    // The program is not waited for: look for its mark for a while.
    const std::string marker = PathOf("marker.txt");
    for (int i = 0; i < 1000 && ReadText(marker) != "two words\n"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadText(marker), "two words\n");
}

TEST_F(PlatformFiles, ShellExecuteOfABrokenProgramIsABadFormat) {
    const std::string broken = PathOf("broken");
    WriteText(broken, std::string("\x01\x02\x03 not a program", 18));
    fs::permissions(broken, fs::perms::owner_all);
    const auto result =
        reinterpret_cast<std::intptr_t>(ShellExecuteA(nullptr, nullptr, broken.c_str(), "", "", SW_SHOWNORMAL));
    EXPECT_EQ(result, static_cast<std::intptr_t>(ERROR_BAD_FORMAT));
}
TEST_F(PlatformFiles, ShellExecuteOpensDocumentsWithXdgOpen) {
    // A stand-in xdg-open first on PATH that knows one kind of document.
    fs::create_directory(PathOf("bin"));
    const std::string opener = PathOf("bin/xdg-open");
    WriteText(opener, "#!/bin/sh\ncase \"$1\" in *known.doc) exit 0;; *) exit 4;; esac\n");
    fs::permissions(opener, fs::perms::owner_all);
    WriteText(PathOf("known.doc"), "");
    WriteText(PathOf("other.doc"), "");
    const char* oldPath = std::getenv("PATH");
    const std::string savedPath = oldPath != nullptr ? oldPath : "";
    ::setenv("PATH", (PathOf("bin") + ":" + savedPath).c_str(), 1);

    const auto known = reinterpret_cast<std::intptr_t>(
        ShellExecuteA(nullptr, nullptr, PathOf("known.doc").c_str(), "", "", SW_SHOWNORMAL));
    const auto unknown = reinterpret_cast<std::intptr_t>(
        ShellExecuteA(nullptr, nullptr, PathOf("other.doc").c_str(), "", "", SW_SHOWNORMAL));
    ::setenv("PATH", savedPath.c_str(), 1);
    EXPECT_GT(known, 32);
    EXPECT_EQ(unknown, SE_ERR_NOASSOC);
}
#endif

}  // namespace
