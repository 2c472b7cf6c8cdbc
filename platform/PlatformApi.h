// The Win32 operations the units and the installer call. The Windows back end
// forwards to the real API; the POSIX back end implements the same contracts.
// Texts are cp932 bytes; sizes and flags are the Win32 ones (Platform.h).
// Nothing here includes a platform header. No operation throws.
#pragma once

#include "platform/PlatformTypes.h"

namespace plat {

// The calling thread's last error code (Win32 codes, Platform.h). Failing
// operations set it; successful ones leave it alone unless said otherwise.
DWORD GetLastError();
void SetLastError(DWORD code);

// Directories. Both write a zero-terminated path and return its length; when
// the buffer is too small they write nothing and return the needed size
// (terminator included); on failure they return 0. The POSIX system
// directory is the fixed "/usr/lib".
UINT GetSystemDirectoryA(char* buffer, UINT size);
DWORD GetCurrentDirectoryA(DWORD size, char* buffer);

// Files.
//
// Paths: the POSIX back end takes a single-byte "\" for "/" (the second byte
// of a cp932 double-byte character is never a separator).
//
// Sharing: the POSIX back end maps share modes onto flock locks. A handle
// with write access, or one that does not share reading, takes an exclusive
// lock; a reader that does not share writing takes a shared lock; a reader
// that shares both takes none. So two writers, or a writer and a reader that
// denies writing, never hold one file, while FILE_SHARE_READ readers coexist.
// A conflict fails with ERROR_SHARING_VIOLATION and changes nothing (an
// existing file is truncated only once its lock is held).
//
// CreateFileA opens regular files only (a directory fails with
// ERROR_ACCESS_DENIED). On success the last error is ERROR_ALREADY_EXISTS
// when CREATE_ALWAYS or OPEN_ALWAYS found the file, else ERROR_SUCCESS. On
// failure: INVALID_HANDLE_VALUE. security, attributes and templateFile are
// accepted and not used by the POSIX back end.
HANDLE CreateFileA(const char* path, DWORD access, DWORD share, void* security, DWORD creation,
                   DWORD attributes, HANDLE templateFile);
// Synchronous only (overlapped must be null). ReadFile succeeds with fewer
// bytes than asked at the end of the file (0 at the end). done may be null.
// A handle that is not open fails with ERROR_INVALID_HANDLE; one without the
// needed access with ERROR_ACCESS_DENIED.
BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done, void* overlapped);
// As Win32: moves by distance (with distanceHigh as the high half when it is
// given) and returns the low 32 bits of the new position, writing the high
// half back through distanceHigh; INVALID_SET_FILE_POINTER on failure, with
// the position unchanged (a position before the start: ERROR_NEGATIVE_SEEK).
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
// Cuts or extends the file at the current position (needs write access).
BOOL SetEndOfFile(HANDLE file);
// The low half of the size; the high half through high when given.
// INVALID_FILE_SIZE on failure.
DWORD GetFileSize(HANDLE file, DWORD* high);
BOOL CloseHandle(HANDLE object);
// Copies the bytes and keeps the source's last-write time. Fails when
// failIfExists is set and the destination exists (ERROR_FILE_EXISTS), when
// the destination is a directory, or when either file is held by a handle
// whose sharing conflicts (the source is read sharing reading, the
// destination written sharing nothing). A destination that the failed copy
// created is removed.
BOOL CopyFileA(const char* source, const char* destination, BOOL failIfExists);
// Fails for a directory, a read-only file and, as Win32, a file that an open
// handle holds.
BOOL DeleteFileA(const char* path);
// OF_EXIST only: returns a positive value when the file exists and can be
// opened, HFILE_ERROR (-1) otherwise; info, when given, receives the full path
// and the error code. Paths of OFS_MAXPATHNAME (128) characters or more fail.
int OpenFile(const char* path, OFSTRUCT* info, UINT style);
// INVALID_FILE_ATTRIBUTES when the path does not exist;
// FILE_ATTRIBUTE_DIRECTORY for a directory; for a file
// FILE_ATTRIBUTE_ARCHIVE, with FILE_ATTRIBUTE_READONLY when it cannot be written.
DWORD GetFileAttributesA(const char* path);
// Times are 100 ns units since 1601-01-01 UTC; null arguments are skipped.
// The POSIX back end reads creation time from the status-change time and
// cannot set it; SetFileTime needs a handle with write access.
BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite);
// -1, 0 or 1 in unsigned 64-bit order.
LONG CompareFileTime(const FILETIME* a, const FILETIME* b);
// Process-wide; returns the previous mode.
UINT SetErrorMode(UINT mode);

// Global memory. Thread-safe. A GMEM_FIXED handle is the block's address; a
// GMEM_MOVEABLE handle is not, and GlobalLock gives the address (counting
// locks; GlobalUnlock returns nonzero while the block stays locked).
// GlobalHandle maps a block's address back to its handle, for both kinds.
// Allocation failure, huge sizes included, returns null with
// ERROR_NOT_ENOUGH_MEMORY. An unknown handle fails with ERROR_INVALID_HANDLE.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// Keeps the contents (GMEM_ZEROINIT zeroes what grows). A fixed or locked
// block moves only when flags has GMEM_MOVEABLE; if it cannot grow in place
// the call fails. On failure: null, and the old block stays valid.
HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
// Null on success; the handle itself on failure.
HGLOBAL GlobalFree(HGLOBAL mem);
void* GlobalLock(HGLOBAL mem);
BOOL GlobalUnlock(HGLOBAL mem);
HGLOBAL GlobalHandle(const void* address);
// The block's size in bytes, 0 on failure.
SIZE_T GlobalSize(HGLOBAL mem);
// Fills the 32-bit record; every count saturates at 0xFFFFFFFF. dwLength is
// set to the record's size.
void GlobalMemoryStatus(MEMORYSTATUS* status);

// Opens file with its associated program, or starts it when it is a program
// (not waited for). Relative paths resolve against directory when one is
// given. Returns a value above 32 on success, else an error code:
// SE_ERR_FNF (2) for a missing file, SE_ERR_PNF (3) for a missing directory
// (the path's or the given working directory), SE_ERR_NOASSOC (31) for a
// file with no associated program. The POSIX back end opens documents with
// xdg-open when it is on PATH, waiting for it (a failure of it is 31).
HINSTANCE ShellExecuteA(HWND owner, const char* operation, const char* file, const char* parameters,
                        const char* directory, int show);

}  // namespace plat
