// Why a pack or member operation failed, as the pack's internals tell each
// other; the public face answers bool or null.
#pragma once

namespace vopack::internal {

enum class TPackResult {
    prOk,
    prNoPack,             // no pack open, or no stream given
    prNoMemory,           // a work block, the catalogue or a handle could not be had
    prShortHeader,        // fewer than 16 header bytes
    prBadVersion,         // version word other than 0x0100, 0x0200, 0x0300
    prNegativeSize,       // DataSize or FileNum below 0
    prTooLarge,           // 16 + DataSize + catalogue does not fit 32 bits
    prCatalogueOutside,   // the catalogue runs past the end of the stream
    prShortRead,          // the stream delivered fewer bytes than it holds
    prCrcMissing,         // the pack CRC bytes are missing (version 3, cmPackAll)
    prCrcMismatch,        // pack or member CRC differs
    prNotFound,           // no entry of that name
    prMemberNegative,     // an entry's Offset, Size or StoredSize below 0
    prMemberOutside,      // an entry's bytes run past the end of the stream
    prImpossibleSize,     // no stream of StoredSize bytes decodes to Size bytes
    prDamagedStream,      // the decoder flagged the member's stream
};

// Refusals of a pack as damaged (as against not being a pack at all, or a
// failure of the machine): under cmPackAll a version-3 pack so refused shows
// the damage box.
inline bool IsDamage(TPackResult r) {
    switch (r) {
        case TPackResult::prNegativeSize:
        case TPackResult::prTooLarge:
        case TPackResult::prCatalogueOutside:
        case TPackResult::prShortRead:
        case TPackResult::prCrcMissing:
        case TPackResult::prCrcMismatch:
            return true;
        default:
            return false;
    }
}

}  // namespace vopack::internal
