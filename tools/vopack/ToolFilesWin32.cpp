// ToolFiles on Windows: the wide file functions (paths converted from UTF-8,
// which the tool's arguments are turned into), MoveFileExW, and a console control handler that removes
// an unfinished temporary file on Ctrl+C. The only file of the tool that
// includes <windows.h>.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "TempName.h"
#include "ToolFiles.h"
#include "VopackToolTexts.h"

namespace vopacktool {

namespace {

// ---- Removing temporary files on Ctrl+C, Ctrl+Break and closing ------------

// The pack being written and the compressing threads' scratch files.
constexpr int TempSlots = 64;

// The handler runs on a thread of its own: the lock keeps it out while the
// main thread creates, renames or removes a temporary file.
SRWLOCK TempLock = SRWLOCK_INIT;
std::wstring TempPaths[TempSlots];
bool HandlerInstalled = false;

BOOL WINAPI RemoveTemps(DWORD) {
    AcquireSRWLockExclusive(&TempLock);
    for (const auto& path : TempPaths)
        if (!path.empty()) DeleteFileW(path.c_str());
    ReleaseSRWLockExclusive(&TempLock);
    return FALSE;  // on to the default handler, which ends the process
}

class TTempLock {
public:
    TTempLock() { AcquireSRWLockExclusive(&TempLock); }
    ~TTempLock() { ReleaseSRWLockExclusive(&TempLock); }
    TTempLock(const TTempLock&) = delete;
    TTempLock& operator=(const TTempLock&) = delete;
};

// Under the lock: false when no slot is free.
bool WatchTemp(const std::wstring& path) {
    if (!HandlerInstalled) HandlerInstalled = SetConsoleCtrlHandler(RemoveTemps, TRUE) != 0;
    for (auto& slot : TempPaths) {
        if (!slot.empty()) continue;
        slot = path;
        return true;
    }
    return false;
}

void ForgetTemp(const std::wstring& path) {
    for (auto& slot : TempPaths)
        if (slot == path) slot.clear();
}

// ---- Paths ----------------------------------------------------------------

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

OVERLAPPED At(std::int64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// Reads count bytes at offset, all of them. False when they are not there,
// with the system's error (none for the end of the file) left to report.
bool ReadWholeAt(std::intptr_t handle, std::int64_t offset, unsigned char* buffer, int count) {
    while (count > 0) {
        OVERLAPPED at = At(offset);
        DWORD got = 0;
        if (handle == -1 || offset < 0 || !ReadFile(Handle(handle), buffer, static_cast<DWORD>(count), &got, &at) ||
            got == 0) {
            if (got == 0 && GetLastError() == ERROR_HANDLE_EOF) SetLastError(ERROR_SUCCESS);
            return false;
        }
        buffer += got;
        offset += got;
        count -= static_cast<int>(got);
    }
    return true;
}

// Writes count bytes at offset (at the file's position when offset is
// null), all of them. False, with the system's error (a disk full when the
// system gives none) left to report.
bool WriteWhole(std::intptr_t handle, const std::int64_t* offset, const unsigned char* data, int count) {
    std::int64_t position = offset ? *offset : 0;
    while (count > 0) {
        OVERLAPPED at = At(position);
        DWORD put = 0;
        if (handle == -1 || position < 0 ||
            !WriteFile(Handle(handle), data, static_cast<DWORD>(count), &put, offset ? &at : nullptr) || put == 0) {
            if (put == 0 && GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_DISK_FULL);
            return false;
        }
        data += put;
        position += put;
        count -= static_cast<int>(put);
    }
    return true;
}
std::intptr_t Stored(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

std::wstring WideFromUtf8(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.c_str(), -1, nullptr, 0);
    if (length <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

std::string Utf8FromWide(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return {};
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(length - 1));
    return utf8;
}

// The user's path (UTF-8) as an absolute wide path, in the
// "\\?\" form when it is too long for the plain one. Empty on failure.
std::wstring SystemPath(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty()) return {};
    // Device names (NUL, CON) keep their meaning only in the plain form.
    const DWORD fullLength = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (fullLength == 0) return {};
    std::wstring full(fullLength, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), fullLength, full.data(), nullptr);
    if (written == 0 || written >= fullLength) return {};
    full.resize(written);
    // Room for a temporary name beside it, which may be longer than the
    // target's own.
    const bool fits = full.size() + 12 < MAX_PATH;
    if (fits || full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return wide;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// The folder part of a path, with its separator.
std::wstring FolderOf(const std::wstring& path) {
    const auto separator = path.find_last_of(L"\\/");
    if (separator != std::wstring::npos) return path.substr(0, separator + 1);
    if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
    return {};
}

enum class TTarget { Absent, Regular, Other, Unknown };

// What a path names, without following a reparse point.
TTarget InspectTarget(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE handle =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? TTarget::Absent : TTarget::Unknown;
    }
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!disk) return TTarget::Other;
    if (!known) return TTarget::Unknown;
    return info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT) ? TTarget::Other
                                                                                            : TTarget::Regular;
}

std::uint64_t FileIdOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

std::uint64_t Seed(unsigned attempt) {
    LARGE_INTEGER counter {};
    QueryPerformanceCounter(&counter);
    return (static_cast<std::uint64_t>(GetCurrentProcessId()) << 40) ^ GetTickCount64() ^
           static_cast<std::uint64_t>(counter.QuadPart) ^ (static_cast<std::uint64_t>(attempt) << 56);
}

}  // namespace

// ---- TInputFile -------------------------------------------------------------

TInputFile::~TInputFile() { Close(); }

void TInputFile::Close() {
    if (FHandle != -1) CloseHandle(Handle(FHandle));
    FHandle = -1;
}

bool TInputFile::Open(const std::string& path) {
    FPath = path;
    const std::wstring wide = SystemPath(path);
    const HANDLE handle =
        wide.empty() ? INVALID_HANDLE_VALUE
                     : CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        ReportSystemError(texts::CannotOpen, path);
        return false;
    }
    FHandle = Stored(handle);
    BY_HANDLE_FILE_INFORMATION info {};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ReportError(texts::NotRegularFile, path);
        return false;
    }
    if (info.nFileSizeHigh != 0 || info.nFileSizeLow > static_cast<DWORD>(INT_MAX)) {
        ReportError(texts::TooLarge, path);
        return false;
    }
    FSize = static_cast<int>(info.nFileSizeLow);
    FTime = static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32 | info.ftLastWriteTime.dwLowDateTime;
    FDevice = info.dwVolumeSerialNumber;
    FFileId = FileIdOf(info);
    return true;
}

bool TInputFile::Read(unsigned char* buffer, int count) {
    while (count > 0) {
        DWORD got = 0;
        if (FHandle == -1 || !ReadFile(Handle(FHandle), buffer, static_cast<DWORD>(count), &got, nullptr) || got == 0) {
            if (got == 0) SetLastError(ERROR_SUCCESS);
            ReportSystemError(texts::CannotRead, FPath);
            return false;
        }
        buffer += got;
        count -= static_cast<int>(got);
    }
    return true;
}

bool TInputFile::ReadAt(std::int64_t offset, unsigned char* buffer, int count) {
    if (ReadWholeAt(FHandle, offset, buffer, count)) return true;
    ReportSystemError(texts::CannotRead, FPath);
    return false;
}

// ---- TOutputFile ------------------------------------------------------------

TOutputFile::~TOutputFile() { Discard(); }

bool TOutputFile::Create(const std::string& path, TInputFile& input) { return Prepare(path, &input); }

// Links (reparse points) are never written through here: they count as
// "not a regular file" whatever followLinks says.
bool TOutputFile::Create(const std::string& path, bool followLinks) {
    FFollowLinks = followLinks;
    return Prepare(path, nullptr);
}

bool TOutputFile::Prepare(const std::string& path, TInputFile* input) {
    FPath = path;
    FTargetPath = SystemPath(path);
    BY_HANDLE_FILE_INFORMATION info {};
    const TTarget target = FTargetPath.empty() ? TTarget::Unknown : InspectTarget(FTargetPath, info);
    if (target == TTarget::Other) {
        ReportError(texts::NotRegularFile, path);
        return false;
    }
    if (target == TTarget::Unknown) {
        ReportError(texts::CannotCreate, path);
        return false;
    }
    if (input && target == TTarget::Regular && info.dwVolumeSerialNumber == input->Device() &&
        FileIdOf(info) == input->FileId())
        FReplacedInput = input;

    const std::wstring folder = FolderOf(FTargetPath);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string name = TempFileName(Seed(attempt));
        const std::wstring temp = folder + std::wstring(name.begin(), name.end());
        TTempLock lock;
        // Shared for deletion so that the control handler can remove it
        // while this handle is still open.
        const HANDLE handle = CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            break;
        }
        if (!WatchTemp(temp)) {
            CloseHandle(handle);
            DeleteFileW(temp.c_str());
            break;
        }
        FHandle = Stored(handle);
        FTempPath = temp;
        return true;
    }
    ReportSystemError(texts::CannotCreate, path);
    return false;
}

bool TOutputFile::Write(const unsigned char* data, int count) {
    if (WriteWhole(FHandle, nullptr, data, count)) return true;
    ReportSystemError(texts::CannotWrite, FPath);
    return false;
}

bool TOutputFile::WriteAt(std::int64_t offset, const unsigned char* data, int count) {
    if (WriteWhole(FHandle, &offset, data, count)) return true;
    ReportSystemError(texts::CannotWrite, FPath);
    return false;
}

bool TOutputFile::ReadAt(std::int64_t offset, unsigned char* buffer, int count) {
    if (ReadWholeAt(FHandle, offset, buffer, count)) return true;
    ReportSystemError(texts::CannotRead, FPath);
    return false;
}

bool TOutputFile::Commit(bool replace, bool durable) {
    if (FHandle == -1) return false;
    const HANDLE handle = Handle(FHandle);
    FHandle = -1;
    bool flushed = true;
    if (FHasTime) {
        FILETIME time {static_cast<DWORD>(FTime), static_cast<DWORD>(FTime >> 32)};
        // A time the file system cannot hold (a hostile entry) is said, not fatal.
        if (!SetFileTime(handle, nullptr, nullptr, &time)) ReportSystemError(texts::CannotSetTime, FPath);
    }
    flushed = flushed && (!durable || FlushFileBuffers(handle) != 0);
    if (!CloseHandle(handle) || !flushed) {
        ReportSystemError(texts::CannotWrite, FPath);
        Discard();
        return false;
    }
    if (FReplacedInput) FReplacedInput->Close();
    // What the target is may have changed since Create.
    BY_HANDLE_FILE_INFORMATION info {};
    const TTarget target = InspectTarget(FTargetPath, info);
    if (target != TTarget::Absent && target != TTarget::Regular) {
        ReportError(texts::NotRegularFile, FPath);
        Discard();
        return false;
    }
    // Another run replacing the same target at this moment holds it briefly.
    for (int attempt = 0; attempt < 20; ++attempt) {
        {
            TTempLock lock;
            const DWORD flags = (replace ? MOVEFILE_REPLACE_EXISTING : 0) | (durable ? MOVEFILE_WRITE_THROUGH : 0);
            if (MoveFileExW(FTempPath.c_str(), FTargetPath.c_str(), flags)) {
                ForgetTemp(FTempPath);
                FTempPath.clear();
                return true;
            }
        }
        const DWORD error = GetLastError();
        if (!replace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)) {
            ReportError(texts::Exists, FPath);
            Discard();
            return false;
        }
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) break;
        Sleep(50);
    }
    ReportSystemError(texts::CannotReplace, FPath);
    Discard();
    return false;
}

void TOutputFile::Discard() {
    if (FHandle != -1) CloseHandle(Handle(FHandle));
    FHandle = -1;
    if (FTempPath.empty()) return;
    TTempLock lock;
    DeleteFileW(FTempPath.c_str());
    ForgetTemp(FTempPath);
    FTempPath.clear();
}

// ---- The rest ----------------------------------------------------------------

void ReportSystemError(const char* what, const std::string& detail) {
    const DWORD error = GetLastError();
    std::string reason = texts::EndedEarly;
    wchar_t* text = nullptr;
    if (error != ERROR_SUCCESS &&
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr) != 0) {
        reason = Utf8FromWide(text);
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
            reason.pop_back();
    }
    if (text) LocalFree(text);
    ReportError(what, detail + ": " + reason);
}

void PrepareStandardStreams() {
    SetConsoleOutputCP(CP_UTF8);
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(error, &mode)) SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    _setmode(_fileno(stdout), _O_BINARY);
}

std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(Utf8FromWide(argv[i]));
    return arguments;
}

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info {};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 80;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

TPathKind InspectPath(const std::string& path) {
    const std::wstring wide = SystemPath(path);
    BY_HANDLE_FILE_INFORMATION info {};
    switch (wide.empty() ? TTarget::Unknown : InspectTarget(wide, info)) {
        case TTarget::Absent: return TPathKind::pkAbsent;
        case TTarget::Regular: return TPathKind::pkRegular;
        case TTarget::Unknown: return TPathKind::pkUnknown;
        case TTarget::Other: break;
    }
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
               ? TPathKind::pkFolder
               : TPathKind::pkOther;
}

bool MakeFolder(const std::string& path) {
    const std::wstring wide = SystemPath(path);
    if (!wide.empty() && CreateDirectoryW(wide.c_str(), nullptr)) return true;
    ReportSystemError(texts::CannotCreate, path);
    return false;
}

}  // namespace vopacktool
