// The records of a pack file, as held in memory. On disk every integer is
// little-endian whatever the host; vopack/internal/PackRecords converts.
//
//   0                         header (TVoPackHeader, 16 bytes)
//   16                        data area, DataSize bytes: member blocks, each
//                             padded with zeros to a multiple of 16
//   16 + DataSize             catalogue: FileNum entries (TVoFileTable3 in
//                             version 3; 32 and 40 bytes in versions 1 and 2)
//   16 + DataSize + 48 * n    pack CRC, 16 bits (version 3)
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/PlatformTypes.h"

// Which CRC a reader checks: the pack CRC when loading a version-3 pack
// (cmPackAll) or the member CRC when opening a member (cmEachFile).
enum TCrcMode : unsigned char { cmNon = 0, cmPackAll = 1, cmEachFile = 2 };

struct TVoPackHeader {
    char Magic[6];          // 0: "VoPack", no terminator; not examined by readers
    std::uint16_t Version;  // 6: 0x0100, 0x0200 or 0x0300
    std::int32_t DataSize;  // 8: bytes of the data area; the catalogue starts at 16 + DataSize
    std::int32_t FileNum;   // 12: catalogue entries, deleted ones included
};
static_assert(sizeof(TVoPackHeader) == 16);
static_assert(offsetof(TVoPackHeader, Version) == 6 && offsetof(TVoPackHeader, DataSize) == 8 &&
              offsetof(TVoPackHeader, FileNum) == 12);

struct TVoFileTable3 {
    char Name[21];                 // 0: base name, zero-padded; all zero for a deleted member
    char Ext[3];                   // 21: extension, zero-padded
    std::int32_t Offset;           // 24: block start, from the start of the data area
    std::int32_t Size;             // 28: contents length
    std::int32_t StoredSize;       // 32: stored length (compressed, or = Size), padding excluded
    std::uint8_t IsComp;           // 36: nonzero: stored as one compressed stream
    std::uint8_t IsCrc;            // 37: 1 when Crc holds the member CRC
    std::uint16_t Crc;             // 38: CRC of the StoredSize stored bytes
    plat::FILETIME FileTime;       // 40: last-write time of the source file
};
static_assert(sizeof(TVoFileTable3) == 48);
static_assert(offsetof(TVoFileTable3, Ext) == 21 && offsetof(TVoFileTable3, Offset) == 24 &&
              offsetof(TVoFileTable3, Size) == 28 && offsetof(TVoFileTable3, StoredSize) == 32 &&
              offsetof(TVoFileTable3, IsComp) == 36 && offsetof(TVoFileTable3, IsCrc) == 37 &&
              offsetof(TVoFileTable3, Crc) == 38 && offsetof(TVoFileTable3, FileTime) == 40);

inline constexpr std::uint16_t VoPackVersion1 = 0x0100;
inline constexpr std::uint16_t VoPackVersion2 = 0x0200;
inline constexpr std::uint16_t VoPackVersion3 = 0x0300;
inline constexpr int VoPackHeaderSize = 16;
// Read-back member names: 21 name bytes, ".", 3 extension bytes.
inline constexpr int VoMaxNameLength = 25;
