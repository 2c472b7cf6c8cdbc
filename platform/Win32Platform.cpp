// The Windows back end: every operation forwards to the real API. This is the
// one source that includes <windows.h>; it sees only PlatformApi.h, whose
// names and types do not clash with the header's macros. The plat:: types are
// laid out as the Win32 ones but are distinct C++ types, so values are copied
// across rather than pointers cast.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "platform/GlobalMemoryFaults.h"
#include "platform/PlatformApi.h"

namespace plat {

namespace {

::FILETIME ToWin32(const FILETIME& time) { return ::FILETIME{time.dwLowDateTime, time.dwHighDateTime}; }

FILETIME FromWin32(const ::FILETIME& time) {
    return FILETIME{static_cast<DWORD>(time.dwLowDateTime), static_cast<DWORD>(time.dwHighDateTime)};
}

DWORD Saturated(DWORDLONG value) { return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(value); }

static_assert(sizeof(::OFSTRUCT) == sizeof(OFSTRUCT));
static_assert(sizeof(::FILETIME) == sizeof(FILETIME));

}  // namespace

DWORD GetLastError() { return ::GetLastError(); }

void SetLastError(DWORD code) { ::SetLastError(code); }

UINT GetSystemDirectoryA(char* buffer, UINT size) { return ::GetSystemDirectoryA(buffer, size); }

DWORD GetCurrentDirectoryA(DWORD size, char* buffer) { return ::GetCurrentDirectoryA(size, buffer); }

HANDLE CreateFileA(const char* path, DWORD access, DWORD share, void* security, DWORD creation,
                   DWORD attributes, HANDLE templateFile) {
    return ::CreateFileA(path, access, share, static_cast<LPSECURITY_ATTRIBUTES>(security), creation, attributes,
                         templateFile);
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done, void* overlapped) {
    ::DWORD got = 0;
    const BOOL ok = ::ReadFile(file, buffer, count, &got, static_cast<LPOVERLAPPED>(overlapped));
    if (done != nullptr) *done = got;
    return ok;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done, void* overlapped) {
    ::DWORD put = 0;
    const BOOL ok = ::WriteFile(file, buffer, count, &put, static_cast<LPOVERLAPPED>(overlapped));
    if (done != nullptr) *done = put;
    return ok;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
    if (distanceHigh == nullptr) return ::SetFilePointer(file, distance, nullptr, method);
    ::LONG high = *distanceHigh;
    const DWORD low = ::SetFilePointer(file, distance, &high, method);
    *distanceHigh = high;
    return low;
}

BOOL SetEndOfFile(HANDLE file) { return ::SetEndOfFile(file); }

DWORD GetFileSize(HANDLE file, DWORD* high) {
    ::DWORD upper = 0;
    const DWORD low = ::GetFileSize(file, &upper);
    if (high != nullptr) *high = upper;
    return low;
}

BOOL CloseHandle(HANDLE object) { return ::CloseHandle(object); }

BOOL CopyFileA(const char* source, const char* destination, BOOL failIfExists) {
    return ::CopyFileA(source, destination, failIfExists);
}

BOOL DeleteFileA(const char* path) { return ::DeleteFileA(path); }

int OpenFile(const char* path, OFSTRUCT* info, UINT style) {
    ::OFSTRUCT record{};
    const HFILE result = ::OpenFile(path, &record, style);
    if (info != nullptr) std::memcpy(info, &record, sizeof record);
    return result;
}

DWORD GetFileAttributesA(const char* path) { return ::GetFileAttributesA(path); }

BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
    ::FILETIME created{}, accessed{}, written{};
    const BOOL ok = ::GetFileTime(file, creation ? &created : nullptr, lastAccess ? &accessed : nullptr,
                                  lastWrite ? &written : nullptr);
    if (ok) {
        if (creation != nullptr) *creation = FromWin32(created);
        if (lastAccess != nullptr) *lastAccess = FromWin32(accessed);
        if (lastWrite != nullptr) *lastWrite = FromWin32(written);
    }
    return ok;
}

BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite) {
    ::FILETIME created{}, accessed{}, written{};
    if (creation != nullptr) created = ToWin32(*creation);
    if (lastAccess != nullptr) accessed = ToWin32(*lastAccess);
    if (lastWrite != nullptr) written = ToWin32(*lastWrite);
    return ::SetFileTime(file, creation ? &created : nullptr, lastAccess ? &accessed : nullptr,
                         lastWrite ? &written : nullptr);
}

LONG CompareFileTime(const FILETIME* a, const FILETIME* b) {
    // A missing time counts as zero, as in the POSIX back end.
    const ::FILETIME left = a != nullptr ? ToWin32(*a) : ::FILETIME{0, 0};
    const ::FILETIME right = b != nullptr ? ToWin32(*b) : ::FILETIME{0, 0};
    return ::CompareFileTime(&left, &right);
}

UINT SetErrorMode(UINT mode) { return ::SetErrorMode(mode); }

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (internal::GlobalAllocFaultDue()) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return ::GlobalAlloc(flags, bytes);
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) {
    if (internal::GlobalAllocFaultDue()) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return ::GlobalReAlloc(mem, bytes, flags);
}

HGLOBAL GlobalFree(HGLOBAL mem) { return ::GlobalFree(mem); }

void* GlobalLock(HGLOBAL mem) { return ::GlobalLock(mem); }

BOOL GlobalUnlock(HGLOBAL mem) { return ::GlobalUnlock(mem); }

HGLOBAL GlobalHandle(const void* address) { return ::GlobalHandle(address); }

SIZE_T GlobalSize(HGLOBAL mem) { return ::GlobalSize(mem); }

void GlobalMemoryStatus(MEMORYSTATUS* status) {
    if (status == nullptr) return;
    // The 64-bit figures, saturated into the 32-bit record.
    MEMORYSTATUSEX figures{};
    figures.dwLength = sizeof figures;
    if (!::GlobalMemoryStatusEx(&figures)) figures = MEMORYSTATUSEX{};
    status->dwLength = sizeof(MEMORYSTATUS);
    status->dwMemoryLoad = figures.dwMemoryLoad;
    status->dwTotalPhys = Saturated(figures.ullTotalPhys);
    status->dwAvailPhys = Saturated(figures.ullAvailPhys);
    status->dwTotalPageFile = Saturated(figures.ullTotalPageFile);
    status->dwAvailPageFile = Saturated(figures.ullAvailPageFile);
    status->dwTotalVirtual = Saturated(figures.ullTotalVirtual);
    status->dwAvailVirtual = Saturated(figures.ullAvailVirtual);
}

HINSTANCE ShellExecuteA(HWND owner, const char* operation, const char* file, const char* parameters,
                        const char* directory, int show) {
    return ::ShellExecuteA(static_cast<::HWND>(owner), operation, file, parameters, directory, show);
}

}  // namespace plat
