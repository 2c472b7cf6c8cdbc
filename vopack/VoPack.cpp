// TVoPack's life cycle: construction, NewPack, LoadPack, LoadPackStream,
// LoadMain, EndPack; the catalogue queries and the stream primitives.
#include "vopack/VoPack.h"

#include <atomic>
#include <cstring>

#include "VopackTexts.h"
#include "classlib/Forms.h"
#include "platform/GlobalBlock.h"
#include "platform/Platform.h"
#include "vopack/internal/PackCatalogue.h"
#include "vopack/internal/PackProgress.h"
#include "vopack/internal/PackRecords.h"
#include "vopack/internal/PackResult.h"

using namespace vopack::internal;

namespace {

// The CRC pass reads the pack through one buffer of this size.
constexpr int CrcPassBlock = 1048576;

// Serials are taken from one counter for the whole process, so no two
// openings, of one object or of objects at the same address, share a mark.
std::uint64_t NextSerial() {
    static std::atomic<std::uint64_t> serial{0};
    return ++serial;
}

}  // namespace

TVoPack::TVoPack(TComponent* owner)
    : TComponent(owner),
      FReadOnly(true),
      FCrcMode(cmPackAll),
      FPackStream(nullptr),
      FHeader{},
      FFileTable(nullptr),
      FModified(false),
      FPackPos(0),
      FProgPercent(0),
      FPackOpen(false),
      FFileStream(nullptr),
      FCrcCheck(new TCrcCheck),
      FExternalStream(false),
      FLastCount(0),
      FLastResult(TPackResult::prOk),
      FOpenSerial(NextSerial()) {}

TVoPack::~TVoPack() {
    if (FPackStream) EndPack();
    delete FFileStream;
    delete FCrcCheck;
}

void TVoPack::Progress(int percent) {
    if (!FOnProgress) return;
    FProgPercent = percent;
    FOnProgress(this);
}

void TVoPack::ShowDamage() {
    Application->MessageBox(vopack::texts::PackDamagedText, vopack::texts::PackDamagedCaption,
                            static_cast<int>(plat::MB_OK | plat::MB_ICONSTOP));
}

bool TVoPack::StreamRead(TStream* stream, void* buffer, int count, int* done) {
    int n = 0;
    try {
        n = stream->Read(buffer, count);
    } catch (...) {
        n = 0;
    }
    *done = n;
    return n == count;
}

bool TVoPack::StreamWrite(TStream* stream, const void* buffer, int count, int* done) {
    int n = 0;
    try {
        n = stream->Write(buffer, count);
    } catch (...) {
        n = 0;
    }
    *done = n;
    return n == count;
}

bool TVoPack::SeekPack(int position) {
    int reached = -1;
    try {
        reached = FPackStream->Seek(position, soFromBeginning);
    } catch (...) {
        reached = -1;
    }
    FPackPos = reached == position ? position : -1;
    return reached == position;
}

int TVoPack::StreamSize() {
    try {
        return FPackStream->Size();
    } catch (...) {
        return -1;
    }
}

bool TVoPack::Outcome(TPackResult result) {
    FLastResult = result;
    return result == TPackResult::prOk;
}

// Writes the empty header into the stream and makes it the open pack.
bool TVoPack::StartPack(TStream* stream, bool external) {
    FPackStream = stream;
    std::memcpy(FHeader.Magic, "VoPack", sizeof FHeader.Magic);
    FHeader.Version = VoPackVersion3;
    FHeader.DataSize = 0;
    FHeader.FileNum = 0;
    unsigned char bytes[VoPackHeaderSize];
    WriteHeader(FHeader, bytes);
    if (!SeekPack(0) || !StreamWrite(FPackStream, bytes, VoPackHeaderSize, &FLastCount)) {
        // A pack whose header cannot be written is no pack.
        if (!external) delete FPackStream;
        FPackStream = nullptr;
        return Outcome(TPackResult::prShortWrite);
    }
    FPackPos = VoPackHeaderSize;
    FModified = true;
    FPackOpen = true;
    FExternalStream = external;
    FOpenSerial = NextSerial();
    return Outcome(TPackResult::prOk);
}

bool TVoPack::NewPack(const char* name) {
    if (FReadOnly) return Outcome(TPackResult::prReadOnly);
    if (FPackStream) EndPack();
    TStream* stream = nullptr;
    try {
        stream = new TFileStream(AnsiString(name), fmCreate);
    } catch (...) {
        return Outcome(TPackResult::prNoPack);
    }
    if (!StartPack(stream, false)) return false;
    FPackName = name;
    return true;
}

bool TVoPack::NewPackStream(TStream* stream) {
    if (FReadOnly) return Outcome(TPackResult::prReadOnly);
    if (FPackStream) EndPack();
    if (!stream) return Outcome(TPackResult::prNoPack);
    return StartPack(stream, true);
}

bool TVoPack::EditPackStream(TStream* stream) {
    if (FPackStream) EndPack();
    if (FReadOnly) return Outcome(TPackResult::prReadOnly);
    if (!stream) return Outcome(TPackResult::prNoPack);
    FPackStream = stream;
    if (LoadMain()) {
        FExternalStream = true;
        return true;
    }
    FPackStream = nullptr;
    return false;
}

bool TVoPack::LoadPack(const char* name) {
    if (FPackStream) EndPack();
    const unsigned short mode = FReadOnly ? (fmOpenRead | fmShareDenyWrite) : (fmOpenReadWrite | fmShareDenyWrite);
    try {
        FPackStream = new TFileStream(AnsiString(name), mode);
    } catch (...) {
        FPackStream = nullptr;
    }
    if (!FPackStream) return Outcome(TPackResult::prNoPack);
    if (LoadMain()) {
        FExternalStream = false;
        FPackName = name;
        return true;
    }
    delete FPackStream;
    FPackStream = nullptr;
    return false;
}

bool TVoPack::LoadPackStream(TStream* stream) {
    if (FPackStream) EndPack();
    if (!FReadOnly) return Outcome(TPackResult::prReadOnly);
    FPackStream = stream;
    if (!FPackStream) return Outcome(TPackResult::prNoPack);
    if (LoadMain()) {
        FExternalStream = true;
        return true;
    }
    FPackStream = nullptr;
    return false;
}

bool TVoPack::LoadMain() {
    if (!FPackStream) return Outcome(TPackResult::prNoPack);
    const int streamSize = StreamSize();
    unsigned char bytes[VoPackHeaderSize];
    if (streamSize < VoPackHeaderSize || !SeekPack(0) ||
        !StreamRead(FPackStream, bytes, VoPackHeaderSize, &FLastCount))
        return Outcome(TPackResult::prShortHeader);
    FPackPos = VoPackHeaderSize;
    ReadHeader(bytes, FHeader);
    const std::uint16_t version = FHeader.Version;
    const bool checkCrc = version == VoPackVersion3 && FCrcMode == cmPackAll;

    auto refuse = [&](TPackResult reason) {
        FreeCatalogue(FFileTable);
        if (checkCrc && IsDamage(reason)) ShowDamage();
        return Outcome(reason);
    };

    // Nothing is allocated from the header's sizes before they are known to
    // fit the stream.
    const TPackResult layout = CheckPackLayout(FHeader, streamSize, FCrcMode);
    if (layout != TPackResult::prOk) return refuse(layout);
    const int catalogueStart = VoPackHeaderSize + FHeader.DataSize;
    const int catalogueEnd = static_cast<int>(CatalogueEnd(FHeader));

    if (FHeader.FileNum > 0) {
        const int entrySize = EntrySize(version);
        const int bytesOnDisk = FHeader.FileNum * entrySize;
        FFileTable = AllocCatalogue(FHeader.FileNum);
        plat::TGlobalBlock raw(plat::GMEM_FIXED, static_cast<plat::SIZE_T>(bytesOnDisk));
        if (!FFileTable || !raw) return refuse(TPackResult::prNoMemory);
        if (!SeekPack(catalogueStart) || !StreamRead(FPackStream, raw.Data(), bytesOnDisk, &FLastCount))
            return refuse(TPackResult::prShortRead);
        FPackPos = catalogueEnd;
        for (int i = 0; i < FHeader.FileNum; ++i)
            ReadEntry(version, raw.As<unsigned char>() + static_cast<std::size_t>(i) * entrySize, FFileTable[i]);
    }
    FHeader.Version = VoPackVersion3;

    if (checkCrc) {
        std::uint16_t crc = 0;
        unsigned char stored[PackCrcSize];
        if (const TPackResult pass = PackCrcPass(catalogueEnd, crc); pass != TPackResult::prOk) return refuse(pass);
        if (!StreamRead(FPackStream, stored, PackCrcSize, &FLastCount)) return refuse(TPackResult::prCrcMissing);
        if (crc != (stored[0] | (stored[1] << 8))) return refuse(TPackResult::prCrcMismatch);
        FPackPos = catalogueEnd + PackCrcSize;
    }
    FModified = false;
    FPackOpen = true;
    FOpenSerial = NextSerial();
    return Outcome(TPackResult::prOk);
}

// Runs the CRC from 0xFFFF over the first count bytes of the pack stream,
// reporting progress once per block: prShortRead when the bytes cannot all be
// read, prNoMemory when the buffer cannot be had.
TPackResult TVoPack::PackCrcPass(int count, std::uint16_t& crc) {
    Progress(0);
    plat::TGlobalBlock block(plat::GMEM_FIXED, CrcPassBlock);
    if (!block) return TPackResult::prNoMemory;
    if (!SeekPack(0)) return TPackResult::prShortRead;
    auto* buffer = block.As<unsigned char>();
    crc = 0xFFFF;
    int remainder = count;
    while (remainder >= CrcPassBlock) {
        Progress(ProgressPercent(count - remainder + CrcPassBlock, count));
        if (!StreamRead(FPackStream, buffer, CrcPassBlock, &FLastCount)) {
            FPackPos = -1;
            return TPackResult::prShortRead;
        }
        crc = FCrcCheck->UpDateCrc(crc, buffer, CrcPassBlock);
        remainder -= CrcPassBlock;
    }
    if (remainder > 0) {
        Progress(100);
        if (!StreamRead(FPackStream, buffer, remainder, &FLastCount)) {
            FPackPos = -1;
            return TPackResult::prShortRead;
        }
        crc = FCrcCheck->UpDateCrc(crc, buffer, remainder);
    }
    FPackPos = count;
    return TPackResult::prOk;
}

// Header at 0, catalogue at 16 + DataSize, then the CRC of all of it; stops
// at the first part that cannot be written whole.
TPackResult TVoPack::WriteBack() {
    unsigned char header[VoPackHeaderSize];
    WriteHeader(FHeader, header);
    if (!SeekPack(0) || !StreamWrite(FPackStream, header, VoPackHeaderSize, &FLastCount))
        return TPackResult::prShortWrite;
    const int catalogueStart = VoPackHeaderSize + FHeader.DataSize;
    const int catalogueEnd = catalogueStart + FHeader.FileNum * EntrySize(VoPackVersion3);
    if (FHeader.FileNum > 0) {
        const int bytes = catalogueEnd - catalogueStart;
        plat::TGlobalBlock raw(plat::GMEM_FIXED, static_cast<plat::SIZE_T>(bytes));
        if (!raw) return TPackResult::prNoMemory;
        for (int i = 0; i < FHeader.FileNum; ++i)
            WriteEntry(FFileTable[i], raw.As<unsigned char>() + static_cast<std::size_t>(i) * EntrySize(VoPackVersion3));
        if (!SeekPack(catalogueStart) || !StreamWrite(FPackStream, raw.Data(), bytes, &FLastCount))
            return TPackResult::prShortWrite;
    }
    std::uint16_t crc = 0;
    if (const TPackResult pass = PackCrcPass(catalogueEnd, crc); pass != TPackResult::prOk) return pass;
    unsigned char stored[PackCrcSize] = {static_cast<unsigned char>(crc), static_cast<unsigned char>(crc >> 8)};
    if (!StreamWrite(FPackStream, stored, PackCrcSize, &FLastCount)) return TPackResult::prShortWrite;
    FPackPos = catalogueEnd + PackCrcSize;
    return TPackResult::prOk;
}

bool TVoPack::EndPack() {
    if (!FPackStream) return true;
    if (FFileStream) {
        delete FFileStream;
        FFileStream = nullptr;
        FFileName = AnsiString();
    }
    const TPackResult written = FModified ? WriteBack() : TPackResult::prOk;
    FreeCatalogue(FFileTable);
    if (!FExternalStream) delete FPackStream;
    FPackStream = nullptr;
    FPackName = AnsiString();
    FPackOpen = false;
    FOpenSerial = NextSerial();
    return Outcome(written);
}

int TVoPack::GetFileNum() { return FPackStream ? FHeader.FileNum : 0; }

bool TVoPack::GetFileName(int index, char* out) {
    if (!FPackStream || !out || index < 0 || index >= FHeader.FileNum) return false;
    EntryName(FFileTable[index], out);
    return true;
}

int TVoPack::GetFileSize(int index) {
    if (!FPackStream || index < 0 || index >= FHeader.FileNum || !HasName(FFileTable[index])) return 0;
    return FFileTable[index].Size;
}

bool TVoPack::GetFileIsComp(int index) {
    if (!FPackStream || index < 0 || index >= FHeader.FileNum || !HasName(FFileTable[index])) return false;
    return FFileTable[index].IsComp != 0;
}

bool TVoPack::GetFileTime(int index, plat::FILETIME* out) {
    if (!FPackStream || !out || index < 0 || index >= FHeader.FileNum || !HasName(FFileTable[index])) return false;
    *out = FFileTable[index].FileTime;
    return true;
}

int TVoPack::CheckFileName(const char* name) {
    if (!FPackStream) return -1;
    return FindEntry(FFileTable, FHeader.FileNum, name);
}

void TVoPack::MakeFTName(TVoFileTable3& entry, const char* name) { SplitName(entry, name ? name : ""); }
