// Why the last operation of a TVoPack that reports one (TVoPack::LastResult)
// ended as it did. The operations themselves answer bool or null; this says
// what went wrong, so that a caller can print a precise message.
#pragma once

enum class TVoPackResult {
    prOk,
    prNoPack,             // no pack open, or no stream given
    prNoMemory,           // a work block, the encoder, the catalogue or a handle could not be had
    prShortHeader,        // fewer than 16 header bytes
    prBadVersion,         // version word other than 0x0100, 0x0200, 0x0300
    prNegativeSize,       // DataSize or FileNum below 0
    prTooLarge,           // a size, the data area or the pack would pass 2^31 - 1 bytes
    prCatalogueOutside,   // the catalogue runs past the end of the stream
    prShortRead,          // a stream delivered fewer bytes than asked (a source that shrank, a short pack)
    prCrcMissing,         // the pack CRC bytes are missing (version 3, cmPackAll)
    prCrcMismatch,        // pack or member CRC differs
    prNotFound,           // no entry of that name
    prMemberNegative,     // an entry's Offset, Size or StoredSize below 0
    prMemberOutside,      // an entry's bytes run past the end of the stream
    prImpossibleSize,     // no stream of StoredSize bytes decodes to Size bytes
    prDamagedStream,      // the decoder flagged the member's stream
    prReadOnly,           // a change asked of a read-only component or pack
    prNameRefused,        // the new member name is taken (ASCII case ignored) or longer than 25 bytes
    prSourceOpen,         // the source file cannot be opened
    prNoTempName,         // all temporary names VoTmp000.Ostrel to VoTmp999.Ostrel are taken
    prTempFile,           // the temporary file cannot be created or opened again
    prShortWrite,         // a stream took fewer bytes than given, or could not be positioned for writing
    prSamePack,           // AddPack with the pack object as its own source
    prBadMember,          // AddStored with sizes that no member can have
};
