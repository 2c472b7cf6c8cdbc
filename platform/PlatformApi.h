// The Win32 operations the units and the installer call. The Windows back end
// forwards to the real API; the POSIX back end implements the same contracts.
// Texts are cp932 bytes; sizes and flags are the Win32 ones (Platform.h).
// Nothing here includes a platform header.
#pragma once

#include "platform/PlatformTypes.h"

namespace plat {

DWORD GetLastError();

// Directories. Both write a zero-terminated path and return its length, or
// the needed size (terminator included) when the buffer is too small, or 0.
UINT GetSystemDirectoryA(char* buffer, UINT size);
DWORD GetCurrentDirectoryA(DWORD size, char* buffer);

// Files. The POSIX back end maps share modes onto flock locks: a handle
// opened for writing takes an exclusive lock; one that does not share writing
// takes a shared lock, so two writers, or a writer and a reader that denies
// writing, cannot hold one file.
HANDLE CreateFileA(const char* path, DWORD access, DWORD share, void* security, DWORD creation,
                   DWORD attributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done, void* overlapped);
// As Win32: the low 32 bits of the new position, or INVALID_SET_FILE_POINTER.
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
BOOL SetEndOfFile(HANDLE file);
DWORD GetFileSize(HANDLE file, DWORD* high);
BOOL CloseHandle(HANDLE object);
BOOL CopyFileA(const char* source, const char* destination, BOOL failIfExists);
BOOL DeleteFileA(const char* path);
// OF_EXIST only: returns a positive value when the file exists and can be
// opened, -1 (HFILE_ERROR) otherwise. Paths of 128 characters or more fail.
int OpenFile(const char* path, OFSTRUCT* info, UINT style);
DWORD GetFileAttributesA(const char* path);
// Last-write time as 100 ns units since 1601-01-01 UTC; null arguments are skipped.
BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite);
// -1, 0 or 1 in unsigned 64-bit order.
LONG CompareFileTime(const FILETIME* a, const FILETIME* b);
// Process-wide; returns the previous mode.
UINT SetErrorMode(UINT mode);

// Global memory. A GMEM_FIXED handle is the block's address; a GMEM_MOVEABLE
// handle is not, and GlobalLock gives the address.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
HGLOBAL GlobalFree(HGLOBAL mem);  // null on success
void* GlobalLock(HGLOBAL mem);
BOOL GlobalUnlock(HGLOBAL mem);
HGLOBAL GlobalHandle(const void* address);
SIZE_T GlobalSize(HGLOBAL mem);
void GlobalMemoryStatus(MEMORYSTATUS* status);

// Returns a value above 32 on success, else an error code: 2 for a missing
// file, 3 for a missing directory, 31 for a file with no associated program.
HINSTANCE ShellExecuteA(HWND owner, const char* operation, const char* file, const char* parameters,
                        const char* directory, int show);

}  // namespace plat
