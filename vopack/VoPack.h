// TVoPack: the pack component. It creates and opens pack files
// (vopack/VoPackFormat.h), lists their catalogue and reads their members the
// way stdio reads files: open by name, read items, seek, close.
//
// States: Closed (after construction, EndPack or any failed open); New pack
// (NewPack); File pack, read-only or writable (LoadPack, by ReadOnly); Stream
// pack (LoadPackStream, read-only, the caller's stream). Every open first
// closes an open pack with EndPack. One object, its handles and its
// OnProgress handler are used from one thread; the handler runs in the middle
// of an operation and must not call back into the component.
//
// Hostile packs: before a size from the pack is trusted it is checked against
// the stream's length, so a damaged or forged pack gives a failure result
// (and under the checking CRC mode the damage box), never a read outside a
// buffer or an allocation beyond what the stream can justify.
//
// The damage box: "Packﾌｧｲﾙが壊れています。", caption "CRCｴﾗｰ", MB_OK |
// MB_ICONSTOP, shown modally through Application->MessageBox.
//
// Writing: members are appended at 16 + DataSize, over the catalogue on
// disk, which EndPack writes back with the header and the pack CRC. Until
// then the file holds no valid catalogue. An addition that fails records no
// entry and leaves the in-memory header and catalogue as they were; if it
// got as far as writing, the pack counts as modified, so EndPack writes the
// catalogue back over what it wrote. LastResult() tells why the last
// opening, closing, addition or deletion failed.
#pragma once

#include <cstdint>

#include "classlib/AnsiString.h"
#include "classlib/Classes.h"
#include "classlib/Events.h"
#include "classlib/Streams.h"
#include "platform/PlatformTypes.h"
#include "vopack/CrcCheck.h"
#include "vopack/VoPackFormat.h"
#include "vopack/VoPackResult.h"
#include "vopack/VopackExport.h"

class TVoPack;

// One open member. Belongs to the caller from VofopenComp/Vofopen until
// Vofclose. L, the readable length, is StoredSize when IsComp is true and
// Buffer is null (the stored bytes are read unchanged), else Size.
struct VoFILE {
    std::int32_t Index;       // the member's entry in the catalogue
    std::int32_t Start;       // pack stream position of its first stored byte (Offset + 16)
    std::int32_t Size;        // contents length
    std::int32_t StoredSize;  // stored length, padding excluded
    bool IsComp;              // stored compressed
    unsigned char* Buffer;    // the expanded contents (Size bytes), or null
    std::int32_t Pos;         // read position, 0..L
    // The pack the handle was opened on: the object and the serial of that
    // opening. Every open and every EndPack takes a new serial, so a handle
    // from another object or an earlier pack is refused.
    const TVoPack* Pack;
    std::uint64_t PackSerial;
};

class VOPACK_API TVoPack : public TComponent {
public:
    // ReadOnly true, CrcMode cmPackAll, Closed.
    explicit TVoPack(TComponent* owner);
    // Closes an open pack with EndPack (writing back a modified one).
    ~TVoPack() override;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
    // Adds nothing: loading a form that holds the component opens no pack.
    void Loaded() override;

    // ---- Opening and closing ------------------------------------------------

    // Creates (or empties) the file and starts an empty version-3 pack in it:
    // the 16-byte header is written at once, and EndPack always writes the
    // header and the pack CRC (an empty pack is 18 bytes).
    // Needs ReadOnly false: otherwise false, and an open pack stays open.
    // Otherwise an open pack is closed first. False when the file cannot be
    // created or its header not written (no file stays open; Closed).
    bool NewPack(const char* name);
    // Closes an open pack, then opens the file (read-only, or read-write when
    // ReadOnly is false, denying others write access) and runs LoadMain.
    // False when the file cannot be opened or LoadMain refuses it: Closed.
    bool LoadPack(const char* name);
    // Closes an open pack, then loads the pack held in the caller's stream
    // from its position 0. Needs ReadOnly true (else false, Closed). The
    // stream stays the caller's: it is never freed and must outlive the pack.
    // False for a null stream or when LoadMain refuses it: Closed.
    bool LoadPackStream(TStream* stream);
    // NewPack and LoadPackStream for changes, on the caller's stream (which
    // must read, write and seek, and stays the caller's: never freed, must
    // outlive the pack). Both need ReadOnly false (else false; an open pack
    // stays open for NewPackStream, is closed for EditPackStream). NewPackStream
    // writes the empty header at the stream's position 0 (false when it
    // cannot: Closed); EditPackStream runs LoadMain (false when it refuses: Closed).
    bool NewPackStream(TStream* stream);
    bool EditPackStream(TStream* stream);
    // Reads header and catalogue from the pack stream and, for a version-3
    // pack under cmPackAll, checks the pack CRC. Versions 1 and 2 are
    // converted to version 3 in memory. Refused (false, nothing allocated):
    //  - fewer than 16 header bytes, or a version word other than 0x0100,
    //    0x0200, 0x0300 (no box);
    //  - DataSize or FileNum negative, 16 + DataSize + the catalogue beyond
    //    32 bits, a catalogue that runs past the stream's end or cannot be
    //    read whole;
    //  - for version 3 under cmPackAll: missing CRC bytes or a CRC mismatch.
    // The damage box is shown for the refusals of the second and third kind
    // when the pack is version 3 and CrcMode is cmPackAll.
    // Called by LoadPack and LoadPackStream, which close the stream on false.
    bool LoadMain();
    // Closes the pack: drops the current member stream (FileStream); when the
    // pack was modified, writes the header at 0, the catalogue at
    // 16 + DataSize and the pack CRC after it; frees the catalogue and the
    // stream (not a caller's stream). A pack that was not modified is not
    // written to. Does nothing when Closed. Open handles stay the caller's
    // to Vofclose, but are refused by every other operation from now on.
    // True when everything that had to be written was written (or nothing had
    // to be); false when the header, the catalogue or the pack CRC could not
    // be written whole, or the pack could not be read back for its CRC: the
    // pack is closed all the same and its file is not a valid pack
    // (LastResult says prShortWrite, prShortRead or prNoMemory). Callers that
    // ignore the result are unaffected.
    bool EndPack();
    // Why the last NewPack, NewPackStream, LoadPack, LoadPackStream,
    // EditPackStream, LoadMain, EndPack, VofopenComp, Vofopen, FileCopy,
    // PackCopy, FileEncode, AddFile, AddFileStream, AddStored, AddPack or
    // DelFile ended as it did (prOk after a success).
    TVoPackResult LastResult() const { return FLastResult; }

    // ---- Catalogue ------------------------------------------------------------
    // An index counts entries in catalogue order from 0, deleted ones included.

    // FileNum; 0 when Closed.
    int GetFileNum();
    // Writes the entry's name (at most 25 bytes and a zero byte; room for 26)
    // into out. A deleted entry gives the empty name. False, out untouched,
    // when Closed or the index is out of range.
    bool GetFileName(int index, char* out);
    // The entry's Size; 0 when Closed, out of range, or the entry has no name.
    int GetFileSize(int index);
    // Whether the entry is stored compressed; false in the same cases.
    bool GetFileIsComp(int index);
    // Copies the entry's FileTime to out; false in the same cases (out untouched).
    bool GetFileTime(int index, plat::FILETIME* out);
    // Index of the first entry whose name equals name, the letters a to z
    // compared without regard to case (cp932 characters compared whole), or
    // -1: Closed, no match, or a name of 26 bytes or more. The empty name
    // finds the first deleted entry.
    int CheckFileName(const char* name);
    // Fills the entry's Name and Ext from name: the bytes before the first
    // "." (at most 21) and up to 3 after it, zero-padded. Other fields untouched.
    void MakeFTName(TVoFileTable3& entry, const char* name);

    // ---- Stream primitives ----------------------------------------------------
    // Read or Write of count bytes; the count moved goes to done (0 when the
    // stream raised, which is swallowed). True when done equals count.
    bool StreamRead(TStream* stream, void* buffer, int count, int* done);
    bool StreamWrite(TStream* stream, const void* buffer, int count, int* done);

    // ---- Member reading -------------------------------------------------------
    // Every operation on a handle needs the pack it was opened on still open
    // in this object; otherwise it fails (false, 0) and changes nothing.

    // Opens the member of that name (CheckFileName). Under cmEachFile, when the
    // entry carries a CRC (IsCrc nonzero), its stored bytes are checked first.
    // A compressed member is expanded into memory when expand is true;
    // otherwise its stored bytes are read unchanged. Null, the pack unchanged
    // and still open, when: Closed; no such entry; the entry's Offset, Size or
    // StoredSize is negative, its bytes lie beyond the stream's end, or a
    // compressed Size is one no stream of StoredSize bytes decodes to; the
    // stored bytes cannot be read whole; the member CRC differs (with the
    // damage box); the decoder flags the stream as damaged or it gives fewer
    // than Size bytes; memory cannot be had.
    VoFILE* VofopenComp(const char* name, bool expand);
    // VofopenComp with expand true.
    VoFILE* Vofopen(const char* name);
    // Frees the handle (and its expanded contents), whatever state the pack is
    // in. False only for a null handle.
    bool Vofclose(VoFILE* handle);
    // Size, StoredSize, IsComp of the handle; 0 or false for a refused handle.
    int Vofsize(VoFILE* handle);
    int Vodsize(VoFILE* handle);
    bool VoIsComp(VoFILE* handle);
    // Pos = offset from the start (origin 0), from Pos (1) or from L (2); any
    // other origin keeps Pos. Pos is then clamped to 0..L. True unless the
    // handle is refused.
    bool Vofseek(VoFILE* handle, int offset, int origin);
    // Stores Pos through pos / sets Pos from *pos, clamped to 0..L.
    bool Vofgetpos(VoFILE* handle, int* pos);
    bool Vofsetpos(VoFILE* handle, const int* pos);
    // Reads whole items of size bytes from Pos into dest: at most count, and
    // no more than fit before L (a shorter tail stays unread). Returns the
    // whole items delivered: 0 for a refused handle or size 0. When the pack
    // stream delivers fewer bytes than asked, the result counts only the
    // whole items that arrived and Pos advances by the bytes that arrived.
    std::uint32_t Vofread(void* dest, std::uint32_t size, std::uint32_t count, VoFILE* handle);
    // Whether the member's entry carries a CRC (IsCrc is 1); its Crc; its
    // FileTime (whatever the entry's name). False or 0 for a refused handle.
    bool VoIsCrc(VoFILE* handle);
    std::uint16_t VoGetCrc(VoFILE* handle);
    bool VoGetFileTime(VoFILE* handle, plat::FILETIME* out);
    // The member's whole contents (expanded) in a new memory stream at
    // position 0, owned by the caller; null when the member cannot be opened
    // (as Vofopen) or read whole, or memory cannot be had.
    TMemoryStream* VoMakeStream(const char* name);

    // ---- Member transfer ----------------------------------------------------
    // Both streams are used from where the caller left them (these never
    // seek), through StreamRead and StreamWrite. Progress runs from 0 to 100
    // over size (Progress rule of the component). A transfer that comes up
    // short stops there: nothing more is written, and LastResult says
    // prShortRead or prShortWrite; prNoMemory when the work block (or the
    // encoder) cannot be had.

    // Copies size bytes from source to dest in blocks of 32,768 and returns
    // the CRC (from 0xFFFF) of the bytes copied: 0xFFFF for size 0. On a
    // failure the result is meaningless (0 when no block could be had): check
    // LastResult.
    std::uint16_t FileCopy(TStream* dest, TStream* source, int size);
    // FileCopy with the bytes read through the source pack's Vofread from the
    // handle's position (the handle opened there, typically without
    // expansion). dest is this pack's stream; FPackPos advances by size once
    // the block is had. sourcePack must be another object.
    std::uint16_t PackCopy(TStream* dest, TVoPack* sourcePack, VoFILE* handle, int size);
    // Compresses size (>= 1) bytes of source into one compressed stream
    // written to dest, feeding the encoder 16,384 bytes at a time. Returns
    // the stream's length, or 0 on failure: the encoder or the block cannot
    // be had (prNoMemory), a short transfer, or the stream would pass
    // 2^31 - 1 bytes (prTooLarge).
    int FileEncode(TStream* dest, TStream* source, int size);
    // Writes the first free name of VoTmp000.Ostrel .. VoTmp999.Ostrel (no
    // file or only a directory of that name in the current directory) into
    // name (room for 16 bytes): true. False when all are taken (name then
    // holds VoTmp999.Ostrel). Creates nothing.
    bool MakeTempFile(char* name);

    // ---- Adding and deleting members --------------------------------------
    // All need a writable pack open (ReadOnly false when it was opened):
    // otherwise false at once, nothing shown (prReadOnly, prNoPack). A new
    // name must be at most 25 bytes and match no entry (ASCII case ignored;
    // the empty name matches a deleted entry). An addition appends the
    // member's stored bytes at 16 + DataSize, pads them with zeros to a
    // multiple of 16 and appends its entry (IsCrc 1, Crc computed while
    // copying). It is refused before anything is written when the member, the
    // data area or the pack (catalogue and CRC included) would pass 2^31 - 1
    // bytes (prTooLarge). When it fails no entry is recorded and the header
    // and catalogue stay as they were.

    // Adds the file at path as the member name, compressed when compress is
    // true, the file is not empty and its compressed stream is shorter than
    // the file; else plain. FileTime is the open file's last-write time. The
    // compressed stream goes through a temporary file VoTmp%03d.Ostrel in
    // the current directory, deleted again before AddFile returns. These
    // failures are shown with Application->ShowException (no change, false):
    //   "ファイル名" + name + "が不正です。"   name taken or longer than 25 bytes (prNameRefused)
    //   "ファイル" + path + "が開けません。"    the file cannot be opened (prSourceOpen)
    //   "テンポラリファイルが作れません。"       no free temporary name (prNoTempName)
    //   "ファイル" + temp + "が開けません。"    the temporary file cannot be made or reopened (prTempFile)
    // and so is a class-library exception from the file's streams. A file
    // that shrinks while it is read, a full disk, a file too large and no
    // memory fail with no box (prShortRead, prShortWrite, prTooLarge,
    // prNoMemory).
    bool AddFile(const char* name, const char* path, bool compress);
    // Adds size bytes of source, read from its position, as the member name,
    // with the given last-write time: the same member, byte for byte, as
    // AddFile of a file with those bytes and that time, but with no temporary
    // file and no message box. The compressed stream is written straight into
    // the pack; as soon as it cannot end shorter than size, compression stops
    // and the member is stored plain, so source must be able to seek back to
    // where it stood. Failures as AddFile's, reported through LastResult only.
    bool AddFileStream(const char* name, TStream* source, int size, const plat::FILETIME& time, bool compress);
    // Adds a member whose stored bytes the caller already has (say, a stream
    // compressed on another thread): info.StoredSize bytes of stored, read
    // from its position, are copied in as they are, with info's Size, IsComp
    // and FileTime; Name, Ext, Offset, IsCrc and Crc are the pack's (from
    // name, the data area and the bytes copied). A plain member needs
    // StoredSize equal to Size; a compressed one at least one byte, a stream
    // of 5 bytes or more and a Size that StoredSize bytes can decode to
    // (otherwise false, prBadMember). The stream itself is not examined. To
    // get AddFile's member, mark it compressed exactly when the compressed
    // stream is shorter than the contents, and store the contents otherwise.
    bool AddStored(const char* name, const TVoFileTable3& info, TStream* stored);
    // Copies the member sourceName of the open pack source in under name, its
    // stored bytes unchanged (no expansion, no recompression): same Size,
    // StoredSize, IsComp and FileTime, Crc computed afresh. False, nothing
    // shown, when: source is null, not open or this object itself
    // (prSamePack); the name is refused; the source member cannot be opened
    // (the source's CrcMode decides whether its CRC is checked, with the
    // source's damage box) or read whole.
    bool AddPack(const char* name, TVoPack* source, const char* sourceName);
    // Deletes the member: its Name and Ext become zero in the catalogue;
    // FileNum, DataSize and its bytes stay. False (prNotFound) when no entry
    // has that name.
    bool DelFile(const char* name);

    // ---- Component face -----------------------------------------------------

    // An empty name closes the open pack (EndPack) and gives true; otherwise
    // LoadPack. Never creates a pack.
    bool OpenPack(const AnsiString& name);
    // EndPack when a pack is open.
    void ClosePack();
    // Drops the current member, then makes the member name current: its whole
    // contents, expanded, in FileStream() at position 0 (VoMakeStream). True
    // for the empty name (no current member). False, with no current member
    // and FileName() empty, when the member cannot be made.
    bool OpenFile(const AnsiString& name);
    // Drops the current member and empties FileName(); nothing without one.
    void CloseFile();
    // Assigning opens: OpenPack / OpenFile, their results dropped; read the
    // property back to see whether it worked.
    void SetPackName(const AnsiString& value);
    void SetFileName(const AnsiString& value);
    const AnsiString& FileName() const { return FFileName; }
    // The current member's contents; owned by the component, valid until
    // CloseFile, the next OpenFile or SetFileName, or EndPack. Null when none.
    TMemoryStream* FileStream() const { return FFileStream; }

    // ---- Properties -------------------------------------------------------------

    bool ReadOnly() const { return FReadOnly; }
    // Takes effect only while Closed; ignored while a pack is open.
    void SetReadOnly(bool value);
    // Which CRC is checked on reading; counts from the next load or member open.
    TCrcMode CrcMode() const { return FCrcMode; }
    void SetCrcMode(TCrcMode value) { FCrcMode = value; }
    // The last percentage reported to OnProgress.
    int ProgPercent() const { return FProgPercent; }
    // Called with the component as Sender, 0 to 100, during the pack CRC
    // pass, the expansion of a member, copies into the pack and compression.
    const TNotifyEvent& OnProgress() const { return FOnProgress; }
    void SetOnProgress(const TNotifyEvent& handler) { FOnProgress = handler; }
    // The open pack's file name; empty when Closed or a stream pack.
    const AnsiString& PackName() const { return FPackName; }
    bool PackOpen() const { return FPackOpen; }

protected:
    // Expands a compressed stream of storedSize bytes, read forward from the
    // source's position, into dest (size bytes). False when the decoder or a
    // work block cannot be had, the source comes up short, or the stream is
    // damaged (flagged by the decoder, or fewer than size bytes).
    bool FileDecode(unsigned char* dest, TStream* source, int size, int storedSize);

private:
    bool FReadOnly;
    TCrcMode FCrcMode;
    TStream* FPackStream;
    TVoPackHeader FHeader;
    TVoFileTable3* FFileTable;
    bool FModified;
    int FPackPos;  // where this object left the pack stream; -1 when unknown
    int FProgPercent;
    TNotifyEvent FOnProgress;
    AnsiString FPackName;
    bool FPackOpen;
    AnsiString FFileName;
    TMemoryStream* FFileStream;
    TCrcCheck* FCrcCheck;
    bool FExternalStream;
    int FLastCount;
    TVoPackResult FLastResult;
    std::uint64_t FOpenSerial;  // the mark handles carry; new for every open and close


    void Progress(int percent);
    void ShowDamage();
    bool SeekPack(int position);
    bool Refused(const VoFILE* handle) const;
    int ReadableLength(const VoFILE* handle) const;
    int StreamSize();
    TVoPackResult PackCrcPass(int count, std::uint16_t& crc);
    TVoPackResult WriteBack();
    bool Outcome(TVoPackResult result);
    bool StartPack(TStream* stream, bool external);
    TVoPackResult CanChange() const;
    TVoPackResult RoomFor(std::int64_t storedSize) const;
    TVoPackResult StartMember();
    TVoPackResult FinishMember(TVoFileTable3& entry);
    TVoPackResult CopyInto(TStream* dest, TStream* source, int size, std::uint16_t& crc);
    TVoPackResult EncodeInto(TStream* dest, TStream* source, int size, int& length);
    struct TAddFileFiles;
    TVoPackResult AddFileSteps(const char* name, const char* path, bool compress, TAddFileFiles& files);
    TVoPackResult AppendStream(TVoFileTable3& entry, TStream* source, bool compress);
    template <class TRead>
    TVoPackResult CopyBlocks(TStream* dest, int size, std::uint16_t& crc, TRead&& read);
    TVoPackResult CheckMemberCrc(const VoFILE& handle, const TVoFileTable3& entry);
    TVoPackResult ExpandMember(VoFILE& handle);
};

namespace Vopack {
// Puts TVoPack on the palette page "Quorvan" (RegisterComponents); the
// design environment calls it when it installs the component.
VOPACK_API void Register();
}  // namespace Vopack
