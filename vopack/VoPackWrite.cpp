// TVoPack's writing side: member transfer (FileCopy, PackCopy, FileEncode,
// MakeTempFile), adding members (AddFile, AddFileStream, AddStored,
// AddPack) and deleting them (DelFile).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "VopackTexts.h"
#include "classlib/Forms.h"
#include "platform/GlobalBlock.h"
#include "platform/Platform.h"
#include "quorvan/Quorvan.h"
#include "vopack/OstrelEncode.h"
#include "vopack/VoPack.h"
#include "vopack/internal/OstrelPump.h"
#include "vopack/internal/PackCatalogue.h"
#include "vopack/internal/PackProgress.h"
#include "vopack/internal/PackRecords.h"

using namespace vopack::internal;

namespace {

// Copies into the pack go through a block of this size.
constexpr int CopyBlock = 32768;
constexpr int BlockAlign = 16;
constexpr int MaxPackSize = 0x7FFFFFFF;

int Padded(int stored) { return (stored + BlockAlign - 1) / BlockAlign * BlockAlign; }

// An exception AddFile raises to its own handler, with the reason it reports.
class EAddFileError : public Exception {
public:
    EAddFileError(TPackResult reason, const AnsiString& message) : Exception(message), Reason(reason) {}
    TPackResult Reason;
};

bool SeekStream(TStream* stream, int position) {
    try {
        return stream->Seek(position, soFromBeginning) == position;
    } catch (...) {
        return false;
    }
}

int StreamPosition(TStream* stream) {
    try {
        return stream->Position();
    } catch (...) {
        return -1;
    }
}

}  // namespace

// ---- Member transfer ---------------------------------------------------------

// The copy loop of FileCopy and PackCopy: read(buffer, n) fills the block
// with the next n source bytes. Progress 0, then after each full block is
// read the share of size copied, and 100 before the last partial block.
template <class TRead>
TPackResult TVoPack::CopyBlocks(TStream* dest, int size, std::uint16_t& crc, TRead&& read) {
    crc = 0xFFFF;
    Progress(0);
    plat::TGlobalBlock block(plat::GMEM_FIXED, CopyBlock);
    if (!block) {
        crc = 0;
        return TPackResult::prNoMemory;
    }
    auto* buffer = block.As<unsigned char>();
    int copied = 0;
    while (copied < size) {
        const int n = std::min(size - copied, CopyBlock);
        if (!read(buffer, n)) return TPackResult::prShortRead;
        copied += n;
        Progress(n == CopyBlock ? ProgressPercent(copied, size) : 100);
        if (!StreamWrite(dest, buffer, n, &FLastCount)) return TPackResult::prShortWrite;
        crc = FCrcCheck->UpDateCrc(crc, buffer, n);
    }
    return TPackResult::prOk;
}

TPackResult TVoPack::CopyInto(TStream* dest, TStream* source, int size, std::uint16_t& crc) {
    if (!dest || !source || size < 0) return TPackResult::prNoPack;
    return CopyBlocks(dest, size, crc,
                      [&](unsigned char* buffer, int n) { return StreamRead(source, buffer, n, &FLastCount); });
}

std::uint16_t TVoPack::FileCopy(TStream* dest, TStream* source, int size) {
    std::uint16_t crc = 0;
    Outcome(CopyInto(dest, source, size, crc));
    return crc;
}

std::uint16_t TVoPack::PackCopy(TStream* dest, TVoPack* sourcePack, VoFILE* handle, int size) {
    if (!dest || !sourcePack || sourcePack == this || size < 0) {
        Outcome(sourcePack == this ? TPackResult::prSamePack : TPackResult::prNoPack);
        return 0;
    }
    bool advanced = false;
    std::uint16_t crc = 0;
    const TPackResult result = CopyBlocks(dest, size, crc, [&](unsigned char* buffer, int n) {
        if (!advanced) {
            // The copy leaves this pack's stream size bytes further on.
            FPackPos += size;
            advanced = true;
        }
        return sourcePack->Vofread(buffer, static_cast<std::uint32_t>(n), 1, handle) == 1;
    });
    if (result != TPackResult::prOk && advanced) FPackPos = -1;
    Outcome(result);
    return crc;
}

TPackResult TVoPack::EncodeInto(TStream* dest, TStream* source, int size, int& length) {
    length = 0;
    Progress(0);
    if (!dest || !source || size < 1) return TPackResult::prNoPack;
    TOstrelEncode encoder;
    const unsigned char* area = encoder.Open(size);
    if (!area) return TPackResult::prNoMemory;
    plat::TGlobalBlock block(plat::GMEM_FIXED, ostrel::ChunkSize);
    if (!block) {
        encoder.Close();
        return TPackResult::prNoMemory;
    }
    auto* input = block.As<unsigned char>();
    const auto read = [&](int, int count) -> const unsigned char* {
        return StreamRead(source, input, count, &FLastCount) ? input : nullptr;
    };
    const auto write = [&](const unsigned char* data, int count) {
        return StreamWrite(dest, data, count, &FLastCount);
    };
    const auto progress = [&](int consumed) { Progress(ProgressPercent(consumed, size)); };
    const ostrel::TPumpResult pumped = ostrel::PumpEncode(encoder, area, size, read, write, progress);
    const int done = encoder.DoneSize;
    encoder.Close();
    switch (pumped) {
        case ostrel::TPumpResult::prDone:
            length = done;
            return TPackResult::prOk;
        case ostrel::TPumpResult::prSourceFailed:
            return TPackResult::prShortRead;
        case ostrel::TPumpResult::prSinkFailed:
            return TPackResult::prShortWrite;
        default:
            return TPackResult::prTooLarge;
    }
}

int TVoPack::FileEncode(TStream* dest, TStream* source, int size) {
    int length = 0;
    Outcome(EncodeInto(dest, source, size, length));
    return length;
}

namespace {

// FileIsExist goes through OpenFile, which fails once the name resolved
// against the current directory reaches 128 characters; a deep current
// directory would make every name look free, and the file of that name would
// be emptied and deleted. The attributes have no such limit.
bool TempNameTaken(const char* name) {
    if (FileIsExist(name)) return true;
    const plat::DWORD attributes = plat::GetFileAttributesA(name);
    return attributes != plat::INVALID_FILE_ATTRIBUTES && (attributes & plat::FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

bool TVoPack::MakeTempFile(char* name) {
    if (!name) return false;
    for (int n = 0; n <= 999; ++n) {
        std::snprintf(name, 16, "VoTmp%03d.Ostrel", n);
        if (!TempNameTaken(name)) return true;
    }
    return false;
}

// ---- The steps every addition shares ------------------------------------------

TPackResult TVoPack::CanChange() const {
    if (FReadOnly) return TPackResult::prReadOnly;
    if (!FPackStream) return TPackResult::prNoPack;
    return TPackResult::prOk;
}

// Whether a member of storedSize bytes still fits: its padded block, the data
// area, one more entry and the pack CRC, all within 2^31 - 1.
TPackResult TVoPack::RoomFor(std::int64_t storedSize) const {
    const std::int64_t padded = (storedSize + BlockAlign - 1) / BlockAlign * BlockAlign;
    const std::int64_t entries = std::int64_t{FHeader.FileNum} + 1;
    const std::int64_t end = VoPackHeaderSize + std::int64_t{FHeader.DataSize} + padded +
                             entries * EntrySize(VoPackVersion3) + PackCrcSize;
    return storedSize < 0 || end > MaxPackSize ? TPackResult::prTooLarge : TPackResult::prOk;
}

// Positions the pack stream at the end of the data area. From here on the
// catalogue on disk may be overwritten, so the pack must be written back on
// closing even if the addition then fails.
TPackResult TVoPack::StartMember() {
    FModified = true;
    return SeekPack(VoPackHeaderSize + FHeader.DataSize) ? TPackResult::prOk : TPackResult::prShortWrite;
}

// Pads the stored bytes just written, then records the entry. Nothing of the
// header or the catalogue changes unless all of it succeeds.
TPackResult TVoPack::FinishMember(TVoFileTable3& entry) {
    const int padded = Padded(entry.StoredSize);
    if (padded > entry.StoredSize) {
        static constexpr unsigned char zeros[BlockAlign] = {};
        const int pad = padded - entry.StoredSize;
        if (!StreamWrite(FPackStream, zeros, pad, &FLastCount)) {
            FPackPos = -1;
            return TPackResult::prShortWrite;
        }
        FPackPos += pad;
    }
    if (!AppendEntry(FFileTable, FHeader.FileNum, entry)) return TPackResult::prNoMemory;
    FHeader.DataSize += padded;
    FHeader.FileNum += 1;
    return TPackResult::prOk;
}

// ---- AddFile ---------------------------------------------------------------------

// The files AddFile has open, closed (and the temporary file deleted) when
// it is done, whichever way it ends.
struct TVoPack::TAddFileFiles {
    std::unique_ptr<TFileStream> Source;
    std::unique_ptr<TFileStream> Temp;
    char TempName[16] = {};
    bool TempCreated = false;

    ~TAddFileFiles() { Close(); }
    void Close() {
        Source.reset();
        Temp.reset();
        if (TempCreated) plat::DeleteFileA(TempName);
        TempCreated = false;
    }
};

TPackResult TVoPack::AddFileSteps(const char* name, const char* path, bool compress, TAddFileFiles& files) {
    if (std::strlen(name) > static_cast<std::size_t>(VoMaxNameLength) || CheckFileName(name) >= 0)
        throw EAddFileError(TPackResult::prNameRefused,
                            vopack::texts::BadNameHead + AnsiString(name) + vopack::texts::BadNameTail);
    try {
        files.Source = std::make_unique<TFileStream>(AnsiString(path), fmOpenRead | fmShareDenyWrite);
    } catch (...) {
        throw EAddFileError(TPackResult::prSourceOpen,
                            vopack::texts::CannotOpenHead + AnsiString(path) + vopack::texts::CannotOpenTail);
    }
    TVoFileTable3 entry{};
    MakeFTName(entry, name);
    entry.Offset = FHeader.DataSize;
    try {
        entry.Size = files.Source->Size();
    } catch (const Exception& e) {
        // A file beyond what a stream can address.
        throw EAddFileError(TPackResult::prTooLarge, e.Message());
    }
    plat::GetFileTime(files.Source->Handle(), nullptr, nullptr, &entry.FileTime);
    // The stored bytes are never longer than the file.
    if (const TPackResult room = RoomFor(entry.Size); room != TPackResult::prOk) return room;

    bool comp = compress && entry.Size > 0;
    int storedSize = entry.Size;
    if (comp) {
        if (!MakeTempFile(files.TempName))
            throw EAddFileError(TPackResult::prNoTempName, vopack::texts::NoTempFileText);
        const AnsiString cannotOpenTemp =
            vopack::texts::CannotOpenHead + AnsiString(files.TempName) + vopack::texts::CannotOpenTail;
        try {
            files.Temp = std::make_unique<TFileStream>(AnsiString(files.TempName), fmCreate);
        } catch (...) {
            throw EAddFileError(TPackResult::prTempFile, cannotOpenTemp);
        }
        files.TempCreated = true;
        int length = 0;
        const TPackResult encoded = EncodeInto(files.Temp.get(), files.Source.get(), entry.Size, length);
        // A stream that would pass 2^31 - 1 bytes is longer than any file: no gain.
        if (encoded != TPackResult::prOk && encoded != TPackResult::prTooLarge) return encoded;
        if (encoded == TPackResult::prOk && length < entry.Size) {
            files.Source.reset();
            files.Temp.reset();
            try {
                files.Temp = std::make_unique<TFileStream>(AnsiString(files.TempName), fmOpenRead | fmShareDenyWrite);
            } catch (...) {
                throw EAddFileError(TPackResult::prTempFile, cannotOpenTemp);
            }
            storedSize = length;
        } else {
            comp = false;
            files.Temp.reset();
            if (!SeekStream(files.Source.get(), 0)) return TPackResult::prShortRead;
        }
    }
    entry.IsComp = comp ? 1 : 0;
    entry.IsCrc = 1;
    entry.StoredSize = storedSize;

    if (const TPackResult r = StartMember(); r != TPackResult::prOk) return r;
    TStream* stored = comp ? static_cast<TStream*>(files.Temp.get()) : files.Source.get();
    const TPackResult copied = CopyInto(FPackStream, stored, storedSize, entry.Crc);
    if (copied != TPackResult::prOk) {
        FPackPos = -1;
        return copied;
    }
    FPackPos += storedSize;
    return FinishMember(entry);
}

bool TVoPack::AddFile(const char* name, const char* path, bool compress) {
    if (const TPackResult r = CanChange(); r != TPackResult::prOk) return Outcome(r);
    TAddFileFiles files;
    try {
        const TPackResult result = AddFileSteps(name ? name : "", path ? path : "", compress, files);
        files.Close();
        return Outcome(result);
    } catch (const Exception& e) {
        files.Close();
        const auto* own = dynamic_cast<const EAddFileError*>(&e);
        Application->ShowException(e);
        return Outcome(own ? own->Reason : TPackResult::prShortRead);
    } catch (...) {
        files.Close();
        return Outcome(TPackResult::prNoMemory);
    }
}

// ---- Additions from streams ------------------------------------------------------------

// Writes the member's stored bytes from source at the end of the data area and
// records it. Compression is tried straight into the pack and given up as
// soon as the stream reaches entry.Size bytes; the source then goes back to
// where it stood and is copied plain over what was written.
TPackResult TVoPack::AppendStream(TVoFileTable3& entry, TStream* source, bool compress) {
    if (const TPackResult r = StartMember(); r != TPackResult::prOk) return r;
    const int start = FPackPos;
    entry.IsCrc = 1;
    if (compress && entry.Size > 0) {
        const int sourceStart = StreamPosition(source);
        if (sourceStart < 0) return TPackResult::prShortRead;
        Progress(0);
        TOstrelEncode encoder;
        const unsigned char* area = encoder.Open(entry.Size);
        plat::TGlobalBlock block(plat::GMEM_FIXED, ostrel::ChunkSize);
        if (!area || !block) return TPackResult::prNoMemory;
        auto* input = block.As<unsigned char>();
        std::uint16_t crc = 0xFFFF;
        int written = 0;
        bool gaveUp = false;
        const auto read = [&](int, int count) -> const unsigned char* {
            return StreamRead(source, input, count, &FLastCount) ? input : nullptr;
        };
        const auto write = [&](const unsigned char* data, int count) {
            if (count >= entry.Size - written) {
                gaveUp = true;  // the stream can no longer end shorter than the contents
                return false;
            }
            if (!StreamWrite(FPackStream, data, count, &FLastCount)) return false;
            crc = FCrcCheck->UpDateCrc(crc, data, count);
            written += count;
            return true;
        };
        const auto progress = [&](int consumed) { Progress(ProgressPercent(consumed, entry.Size)); };
        const ostrel::TPumpResult pumped = ostrel::PumpEncode(encoder, area, entry.Size, read, write, progress);
        encoder.Close();
        if (pumped == ostrel::TPumpResult::prDone) {
            entry.IsComp = 1;
            entry.StoredSize = written;
            entry.Crc = crc;
            FPackPos = start + written;
            return FinishMember(entry);
        }
        FPackPos = -1;
        if (pumped == ostrel::TPumpResult::prSourceFailed) return TPackResult::prShortRead;
        if (pumped == ostrel::TPumpResult::prSinkFailed && !gaveUp) return TPackResult::prShortWrite;
        if (!SeekStream(source, sourceStart)) return TPackResult::prShortRead;
        if (!SeekPack(start)) return TPackResult::prShortWrite;
    }
    entry.IsComp = 0;
    entry.StoredSize = entry.Size;
    const TPackResult copied = CopyInto(FPackStream, source, entry.Size, entry.Crc);
    if (copied != TPackResult::prOk) {
        FPackPos = -1;
        return copied;
    }
    FPackPos = start + entry.Size;
    return FinishMember(entry);
}

bool TVoPack::AddFileStream(const char* name, TStream* source, int size, const plat::FILETIME& time, bool compress) {
    if (const TPackResult r = CanChange(); r != TPackResult::prOk) return Outcome(r);
    if (!name) name = "";
    if (std::strlen(name) > static_cast<std::size_t>(VoMaxNameLength) || CheckFileName(name) >= 0)
        return Outcome(TPackResult::prNameRefused);
    if (!source || size < 0) return Outcome(TPackResult::prBadMember);
    if (const TPackResult room = RoomFor(size); room != TPackResult::prOk) return Outcome(room);
    TVoFileTable3 entry{};
    MakeFTName(entry, name);
    entry.Offset = FHeader.DataSize;
    entry.Size = size;
    entry.FileTime = time;
    return Outcome(AppendStream(entry, source, compress));
}

bool TVoPack::AddStored(const char* name, const TVoFileTable3& info, TStream* stored) {
    if (const TPackResult r = CanChange(); r != TPackResult::prOk) return Outcome(r);
    if (!name) name = "";
    if (std::strlen(name) > static_cast<std::size_t>(VoMaxNameLength) || CheckFileName(name) >= 0)
        return Outcome(TPackResult::prNameRefused);
    const bool comp = info.IsComp != 0;
    const bool sound = stored && info.Size >= 0 && info.StoredSize >= 0 &&
                       (comp ? info.Size > 0 && info.StoredSize >= MinStreamSize &&
                                   info.Size <= MaxExpandedSize(info.StoredSize)
                             : info.StoredSize == info.Size);
    if (!sound) return Outcome(TPackResult::prBadMember);
    if (const TPackResult room = RoomFor(info.StoredSize); room != TPackResult::prOk) return Outcome(room);
    TVoFileTable3 entry{};
    MakeFTName(entry, name);
    entry.Offset = FHeader.DataSize;
    entry.Size = info.Size;
    entry.StoredSize = info.StoredSize;
    entry.IsComp = comp ? 1 : 0;
    entry.IsCrc = 1;
    entry.FileTime = info.FileTime;
    if (const TPackResult r = StartMember(); r != TPackResult::prOk) return Outcome(r);
    const int start = FPackPos;
    const TPackResult copied = CopyInto(FPackStream, stored, entry.StoredSize, entry.Crc);
    if (copied != TPackResult::prOk) {
        FPackPos = -1;
        return Outcome(copied);
    }
    FPackPos = start + entry.StoredSize;
    return Outcome(FinishMember(entry));
}

// ---- AddPack, DelFile -------------------------------------------------------------------

bool TVoPack::AddPack(const char* name, TVoPack* source, const char* sourceName) {
    if (const TPackResult r = CanChange(); r != TPackResult::prOk) return Outcome(r);
    if (!name) name = "";
    if (std::strlen(name) > static_cast<std::size_t>(VoMaxNameLength) || CheckFileName(name) >= 0)
        return Outcome(TPackResult::prNameRefused);
    // One stream would serve both the reads and the writes.
    if (source == this) return Outcome(TPackResult::prSamePack);
    if (!source || !source->FPackStream) return Outcome(TPackResult::prNoPack);
    VoFILE* handle = source->VofopenComp(sourceName, false);
    if (!handle) return Outcome(source->LastResult());

    TVoFileTable3 entry{};
    MakeFTName(entry, name);
    entry.Offset = FHeader.DataSize;
    entry.Size = source->Vofsize(handle);
    entry.StoredSize = source->Vodsize(handle);
    entry.IsComp = source->VoIsComp(handle) ? 1 : 0;
    entry.IsCrc = 1;
    source->VoGetFileTime(handle, &entry.FileTime);

    TPackResult result = RoomFor(entry.StoredSize);
    if (result == TPackResult::prOk) result = StartMember();
    if (result == TPackResult::prOk) {
        source->Vofseek(handle, 0, 0);
        entry.Crc = PackCopy(FPackStream, source, handle, entry.StoredSize);
        result = FLastResult;
    }
    if (result == TPackResult::prOk) result = FinishMember(entry);
    source->Vofclose(handle);
    return Outcome(result);
}

bool TVoPack::DelFile(const char* name) {
    if (const TPackResult r = CanChange(); r != TPackResult::prOk) return Outcome(r);
    const int index = CheckFileName(name);
    if (index < 0) return Outcome(TPackResult::prNotFound);
    std::memset(FFileTable[index].Name, 0, sizeof FFileTable[index].Name);
    std::memset(FFileTable[index].Ext, 0, sizeof FFileTable[index].Ext);
    FModified = true;
    return Outcome(TPackResult::prOk);
}
