#include "vopack/internal/PackRecords.h"

#include <climits>
#include <cstring>

#include "vopack/internal/LittleEndian.h"

namespace vopack::internal {

void ReadHeader(const unsigned char* bytes, TVoPackHeader& header) {
    std::memcpy(header.Magic, bytes, sizeof header.Magic);
    header.Version = LoadLE16(bytes + 6);
    header.DataSize = LoadLE32s(bytes + 8);
    header.FileNum = LoadLE32s(bytes + 12);
}

void WriteHeader(const TVoPackHeader& header, unsigned char* bytes) {
    std::memcpy(bytes, header.Magic, sizeof header.Magic);
    StoreLE16(bytes + 6, header.Version);
    StoreLE32(bytes + 8, static_cast<std::uint32_t>(header.DataSize));
    StoreLE32(bytes + 12, static_cast<std::uint32_t>(header.FileNum));
}

void ReadEntry(std::uint16_t version, const unsigned char* bytes, TVoFileTable3& entry) {
    std::memcpy(entry.Name, bytes, sizeof entry.Name);
    std::memcpy(entry.Ext, bytes + 21, sizeof entry.Ext);
    entry.Offset = LoadLE32s(bytes + 24);
    entry.Size = LoadLE32s(bytes + 28);
    if (version == VoPackVersion3) {
        entry.StoredSize = LoadLE32s(bytes + 32);
        entry.IsComp = bytes[36];
        entry.IsCrc = bytes[37];
        entry.Crc = LoadLE16(bytes + 38);
        entry.FileTime.dwLowDateTime = LoadLE32(bytes + 40);
        entry.FileTime.dwHighDateTime = LoadLE32(bytes + 44);
        return;
    }
    // Version 2 has the stored size and the compression flag; bytes 37-39
    // are not read. Version 1 stores every member plain.
    entry.StoredSize = version == VoPackVersion2 ? LoadLE32s(bytes + 32) : entry.Size;
    entry.IsComp = version == VoPackVersion2 ? bytes[36] : 0;
    entry.IsCrc = 0;
    entry.Crc = 0;
    entry.FileTime = OldPackFileTime;
}

void WriteEntry(const TVoFileTable3& entry, unsigned char* bytes) {
    std::memcpy(bytes, entry.Name, sizeof entry.Name);
    std::memcpy(bytes + 21, entry.Ext, sizeof entry.Ext);
    StoreLE32(bytes + 24, static_cast<std::uint32_t>(entry.Offset));
    StoreLE32(bytes + 28, static_cast<std::uint32_t>(entry.Size));
    StoreLE32(bytes + 32, static_cast<std::uint32_t>(entry.StoredSize));
    bytes[36] = entry.IsComp;
    bytes[37] = entry.IsCrc;
    StoreLE16(bytes + 38, entry.Crc);
    StoreLE32(bytes + 40, entry.FileTime.dwLowDateTime);
    StoreLE32(bytes + 44, entry.FileTime.dwHighDateTime);
}

std::int64_t CatalogueEnd(const TVoPackHeader& header) {
    return VoPackHeaderSize + std::int64_t{header.DataSize} +
           std::int64_t{header.FileNum} * EntrySize(header.Version);
}

TPackResult CheckPackLayout(const TVoPackHeader& header, std::int64_t streamSize, TCrcMode crcMode) {
    if (EntrySize(header.Version) == 0) return TPackResult::prBadVersion;
    if (header.DataSize < 0 || header.FileNum < 0) return TPackResult::prNegativeSize;
    const std::int64_t end = CatalogueEnd(header);
    if (end > INT_MAX) return TPackResult::prTooLarge;
    if (end > streamSize) return TPackResult::prCatalogueOutside;
    if (header.Version == VoPackVersion3 && crcMode == cmPackAll && end + PackCrcSize > streamSize)
        return TPackResult::prCrcMissing;
    return TPackResult::prOk;
}

TPackResult CheckMember(const TVoFileTable3& entry, std::int64_t streamSize) {
    if (entry.Offset < 0 || entry.Size < 0 || entry.StoredSize < 0) return TPackResult::prMemberNegative;
    const std::int64_t start = VoPackHeaderSize + std::int64_t{entry.Offset};
    if (start + entry.StoredSize > streamSize) return TPackResult::prMemberOutside;
    if (entry.IsComp == 0) {
        // A plain member reads Size bytes from its start.
        if (start + entry.Size > streamSize) return TPackResult::prMemberOutside;
        return TPackResult::prOk;
    }
    if (entry.Size > MaxExpandedSize(entry.StoredSize)) return TPackResult::prImpossibleSize;
    // No token decodes to nothing, and one byte or more needs a flag word and
    // a token.
    if (entry.Size == 0 ? entry.StoredSize != 0 : entry.StoredSize < MinStreamSize)
        return TPackResult::prImpossibleSize;
    return TPackResult::prOk;
}

}  // namespace vopack::internal
