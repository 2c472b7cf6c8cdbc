// The few Win32 types the platform layer needs, in a namespace of our own;
// free of macros so that the Windows back end can include it beside <windows.h>.
// Nothing here includes a platform header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {


using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using BOOL = int;
using LONG = std::int32_t;
using HANDLE = void*;
using HGLOBAL = void*;
using HWND = void*;
using HINSTANCE = void*;
using SIZE_T = std::size_t;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
static_assert(sizeof(FILETIME) == 8);

inline constexpr int kOfsMaxPathName = 128;
struct OFSTRUCT {
    BYTE cBytes;
    BYTE fFixedDisk;
    WORD nErrCode;
    WORD Reserved1;
    WORD Reserved2;
    char szPathName[kOfsMaxPathName];
};
static_assert(sizeof(OFSTRUCT) == 136);

// The 32-bit record: every count is a DWORD. Values that do not fit 32 bits
// saturate at 0xFFFFFFFF.
struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    DWORD dwTotalPhys;
    DWORD dwAvailPhys;
    DWORD dwTotalPageFile;
    DWORD dwAvailPageFile;
    DWORD dwTotalVirtual;
    DWORD dwAvailVirtual;
};
static_assert(sizeof(MEMORYSTATUS) == 32);

}  // namespace plat
