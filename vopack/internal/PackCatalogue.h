// The in-memory catalogue: an array of version-3 entries in a locked,
// moveable block of global memory; member names as entries store them and
// as lookups compare them.
#pragma once

#include "vopack/VoPackFormat.h"

namespace vopack::internal {

// Room for count entries (count > 0), locked; null when it cannot be had.
TVoFileTable3* AllocCatalogue(int count);
// Unlocks and frees a catalogue from AllocCatalogue and sets it to null.
void FreeCatalogue(TVoFileTable3*& table);
// Appends entry to a catalogue of count entries (null while count is 0): the
// first entry is allocated, later ones grow the block by one entry
// (GlobalHandle, GlobalUnlock, GlobalReAlloc, GlobalLock); table then holds
// the new locked address. False when it cannot grow: table is the old
// catalogue, unchanged and locked.
bool AppendEntry(TVoFileTable3*& table, int count, const TVoFileTable3& entry);

// Whether the entry has a name; a deleted entry's Name and Ext are all zero,
// and an entry whose first Name byte is zero counts as absent.
inline bool HasName(const TVoFileTable3& entry) { return entry.Name[0] != 0; }

// The entry's name read back: Name up to its first zero byte, then "." and
// Ext up to its first zero byte when Ext is not empty; at most 25 bytes, and
// a terminating zero. out has room for 26 bytes. Returns the length.
int EntryName(const TVoFileTable3& entry, char* out);

// Splits name into the entry's Name (the bytes before the first ".", at most
// 21) and Ext (at most 3 bytes after the first "."), zero-filled; other
// fields are left alone.
void SplitName(TVoFileTable3& entry, const char* name);

// Upper-cases a to z in place; a cp932 lead byte and the byte after it are
// passed over unchanged.
void UpperCaseName(char* text, int length);

// Index of the first of count entries whose read-back name equals name
// without regard to the case of a to z, or -1; a name of 26 bytes or more
// (or none) matches nothing, and the empty name finds the first deleted entry.
int FindEntry(const TVoFileTable3* table, int count, const char* name);

}  // namespace vopack::internal
