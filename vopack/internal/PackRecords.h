// The pack's records on disk: little-endian reading and writing, the
// conversion of version-1 and version-2 entries, and the checks a pack and a
// member must pass before their sizes are trusted.
#pragma once

#include <cstdint>

#include "vopack/VoPackFormat.h"
#include "vopack/internal/PackResult.h"

namespace vopack::internal {

// Bytes of one catalogue entry of a version; 0 for an unknown version.
constexpr int EntrySize(std::uint16_t version) {
    return version == VoPackVersion1 ? 32 : version == VoPackVersion2 ? 40 : version == VoPackVersion3 ? 48 : 0;
}
inline constexpr int PackCrcSize = 2;

// What versions 1 and 2 lack: no CRC, and the time 1989-12-31 15:00:00 UTC.
inline constexpr plat::FILETIME OldPackFileTime = {0xA8EE9800u, 0x01B41DDEu};

void ReadHeader(const unsigned char* bytes, TVoPackHeader& header);
void WriteHeader(const TVoPackHeader& header, unsigned char* bytes);
// One on-disk entry of the given version (1, 2 or 3) as a version-3 entry.
void ReadEntry(std::uint16_t version, const unsigned char* bytes, TVoFileTable3& entry);
// A version-3 entry, 48 bytes.
void WriteEntry(const TVoFileTable3& entry, unsigned char* bytes);

// Where the catalogue ends: 16 + DataSize + FileNum * entry size, in 64 bits.
std::int64_t CatalogueEnd(const TVoPackHeader& header);

// Every check a header must pass against its stream before anything is
// allocated from its sizes, in this order: a known version, DataSize and
// FileNum not negative, the catalogue's end within 32 bits, the catalogue
// inside the stream, and for version 3 under cmPackAll the two CRC bytes
// after it.
TPackResult CheckPackLayout(const TVoPackHeader& header, std::int64_t streamSize, TCrcMode crcMode);

// The most bytes any stream of storedSize bytes can decode to. The longest
// token is a match of 8,192 bytes in 3 bytes (length class 15, distance class
// 0-9); with its share of a flag word a full group of 32 of them is
// 4 + 32 * 3 = 100 bytes for 262,144 decoded bytes, 2,621.44 per stored byte.
// Every other token does worse, and the first token of a stream is a literal.
constexpr std::int64_t MaxExpandedSize(std::int64_t storedSize) {
    return storedSize <= 0 ? 0 : storedSize * 262144 / 100;
}
// The shortest stream of one decoded byte or more: a flag word and a literal.
inline constexpr int MinStreamSize = 5;

// Checks of an entry before a member is opened: Offset, Size and StoredSize
// not negative; the stored bytes (and a plain member's Size bytes) inside
// the stream; a compressed member's Size one that StoredSize bytes can
// decode to.
TPackResult CheckMember(const TVoFileTable3& entry, std::int64_t streamSize);

}  // namespace vopack::internal
