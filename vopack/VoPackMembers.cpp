// TVoPack's member reading: opening members by name, the member CRC check,
// expansion (FileDecode), reads, positions and whole-member streams.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/GlobalBlock.h"
#include "platform/Platform.h"
#include "vopack/OstrelDecode.h"
#include "vopack/VoPack.h"
#include "vopack/internal/OstrelPump.h"
#include "vopack/internal/PackProgress.h"
#include "vopack/internal/PackRecords.h"

using namespace vopack::internal;

namespace {

// The member CRC check reads through a block of this size.
constexpr int MemberCrcBlock = 32768;

}  // namespace

bool TVoPack::Refused(const VoFILE* handle) const {
    return !handle || !FPackStream || handle->Pack != this || handle->PackSerial != FOpenSerial;
}

int TVoPack::ReadableLength(const VoFILE* handle) const {
    return handle->IsComp && !handle->Buffer ? handle->StoredSize : handle->Size;
}

// The CRC of the member's stored bytes from 0xFFFF against its entry;
// shows the damage box on a difference. False also when the bytes cannot be
// read whole (no box: that is the stream failing, not the pack).
TPackResult TVoPack::CheckMemberCrc(const VoFILE& handle, const TVoFileTable3& entry) {
    plat::TGlobalBlock block(plat::GMEM_FIXED, MemberCrcBlock);
    if (!block) return TPackResult::prNoMemory;
    if (!SeekPack(handle.Start)) return TPackResult::prShortRead;
    auto* buffer = block.As<unsigned char>();
    std::uint16_t crc = 0xFFFF;
    int remainder = handle.StoredSize;
    while (remainder > 0) {
        const int n = std::min(remainder, MemberCrcBlock);
        if (!StreamRead(FPackStream, buffer, n, &FLastCount)) {
            FPackPos = -1;
            return TPackResult::prShortRead;
        }
        crc = FCrcCheck->UpDateCrc(crc, buffer, n);
        remainder -= n;
    }
    FPackPos = handle.Start + handle.StoredSize;
    if (crc != entry.Crc) {
        ShowDamage();
        return TPackResult::prCrcMismatch;
    }
    return TPackResult::prOk;
}

// Expands a compressed member into a Buffer of its own.
TPackResult TVoPack::ExpandMember(VoFILE& handle) {
    // A Buffer marks the member as expanded, so even an empty one gets a byte.
    plat::TGlobalBlock buffer(plat::GMEM_FIXED, static_cast<plat::SIZE_T>(std::max(handle.Size, 1)));
    if (!buffer) return TPackResult::prNoMemory;
    if (handle.Size > 0) {
        if (!SeekPack(handle.Start)) return TPackResult::prShortRead;
        const bool done = FileDecode(buffer.As<unsigned char>(), FPackStream, handle.Size, handle.StoredSize);
        FPackPos = done ? handle.Start + handle.StoredSize : -1;
        // The decoder's own buffers failing counts here too.
        if (!done) return TPackResult::prDamagedStream;
    }
    handle.Buffer = static_cast<unsigned char*>(buffer.Release());
    return TPackResult::prOk;
}

VoFILE* TVoPack::VofopenComp(const char* name, bool expand) {
    if (!FPackStream) {
        Outcome(TPackResult::prNoPack);
        return nullptr;
    }
    const int index = CheckFileName(name);
    if (index < 0) {
        Outcome(TPackResult::prNotFound);
        return nullptr;
    }
    const TVoFileTable3& entry = FFileTable[index];
    if (const TPackResult r = CheckMember(entry, StreamSize()); r != TPackResult::prOk) {
        Outcome(r);
        return nullptr;
    }

    void* record = plat::GlobalAlloc(plat::GMEM_FIXED, sizeof(VoFILE));
    if (!record) {
        Outcome(TPackResult::prNoMemory);
        return nullptr;
    }
    auto* handle = new (record) VoFILE{};
    handle->Index = index;
    handle->Start = entry.Offset + VoPackHeaderSize;
    handle->Size = entry.Size;
    handle->StoredSize = entry.StoredSize;
    handle->IsComp = entry.IsComp != 0;
    handle->Buffer = nullptr;
    handle->Pos = 0;
    handle->Pack = this;
    handle->PackSerial = FOpenSerial;

    TPackResult result = TPackResult::prOk;
    if (FCrcMode == cmEachFile && entry.IsCrc != 0) result = CheckMemberCrc(*handle, entry);
    if (result == TPackResult::prOk && handle->IsComp && expand) result = ExpandMember(*handle);
    if (result != TPackResult::prOk) {
        plat::GlobalFree(record);
        Outcome(result);
        return nullptr;
    }
    Outcome(TPackResult::prOk);
    return handle;
}

VoFILE* TVoPack::Vofopen(const char* name) { return VofopenComp(name, true); }

bool TVoPack::Vofclose(VoFILE* handle) {
    if (!handle) return false;
    if (handle->Buffer) plat::GlobalFree(handle->Buffer);
    plat::GlobalFree(handle);
    return true;
}

int TVoPack::Vofsize(VoFILE* handle) { return Refused(handle) ? 0 : handle->Size; }

int TVoPack::Vodsize(VoFILE* handle) { return Refused(handle) ? 0 : handle->StoredSize; }

bool TVoPack::VoIsComp(VoFILE* handle) { return !Refused(handle) && handle->IsComp; }

bool TVoPack::Vofseek(VoFILE* handle, int offset, int origin) {
    if (Refused(handle)) return false;
    const std::int64_t length = ReadableLength(handle);
    std::int64_t pos = handle->Pos;
    if (origin == 0) pos = offset;
    else if (origin == 1) pos += offset;
    else if (origin == 2) pos = length + offset;
    handle->Pos = static_cast<std::int32_t>(std::clamp<std::int64_t>(pos, 0, length));
    return true;
}

bool TVoPack::Vofgetpos(VoFILE* handle, int* pos) {
    if (Refused(handle) || !pos) return false;
    *pos = handle->Pos;
    return true;
}

bool TVoPack::Vofsetpos(VoFILE* handle, const int* pos) {
    if (Refused(handle) || !pos) return false;
    handle->Pos = std::clamp(*pos, 0, ReadableLength(handle));
    return true;
}

std::uint32_t TVoPack::Vofread(void* dest, std::uint32_t size, std::uint32_t count, VoFILE* handle) {
    if (Refused(handle) || size == 0) return 0;
    const int length = ReadableLength(handle);
    handle->Pos = std::clamp(handle->Pos, 0, length);
    // In 64 bits: size * count may pass 32 bits.
    const std::uint64_t room = static_cast<std::uint64_t>(length - handle->Pos);
    if (std::uint64_t{size} * count > room) count = static_cast<std::uint32_t>(room / size);
    if (count == 0) return 0;
    const int n = static_cast<int>(std::uint64_t{size} * count);
    if (handle->Buffer) {
        std::memcpy(dest, handle->Buffer + handle->Pos, static_cast<std::size_t>(n));
        handle->Pos += n;
        return count;
    }
    const int position = handle->Start + handle->Pos;
    if (position != FPackPos && !SeekPack(position)) return 0;
    const bool whole = StreamRead(FPackStream, dest, n, &FLastCount);
    const int arrived = std::clamp(FLastCount, 0, n);
    handle->Pos += arrived;
    // After a short read the stream's position is not known for sure.
    FPackPos = whole ? position + n : -1;
    return static_cast<std::uint32_t>(arrived) / size;
}

bool TVoPack::VoIsCrc(VoFILE* handle) {
    if (Refused(handle) || handle->Index < 0 || handle->Index >= FHeader.FileNum) return false;
    return FFileTable[handle->Index].IsCrc == 1;
}

std::uint16_t TVoPack::VoGetCrc(VoFILE* handle) {
    if (Refused(handle) || handle->Index < 0 || handle->Index >= FHeader.FileNum) return 0;
    return FFileTable[handle->Index].Crc;
}

bool TVoPack::VoGetFileTime(VoFILE* handle, plat::FILETIME* out) {
    if (Refused(handle) || !out || handle->Index < 0 || handle->Index >= FHeader.FileNum) return false;
    *out = FFileTable[handle->Index].FileTime;
    return true;
}

TMemoryStream* TVoPack::VoMakeStream(const char* name) {
    VoFILE* handle = Vofopen(name);
    if (!handle) return nullptr;
    const int size = Vofsize(handle);
    std::unique_ptr<TMemoryStream> stream;
    try {
        stream = std::make_unique<TMemoryStream>();
        stream->SetSize(size);
    } catch (...) {
        stream.reset();
    }
    // Read straight into the stream; a member that does not arrive whole
    // gives no stream.
    if (stream && size > 0) {
        Vofseek(handle, 0, 0);
        if (Vofread(stream->Memory(), static_cast<std::uint32_t>(size), 1, handle) != 1) stream.reset();
    }
    Vofclose(handle);
    if (stream) stream->Seek(0, soFromBeginning);
    return stream.release();
}

bool TVoPack::FileDecode(unsigned char* dest, TStream* source, int size, int storedSize) {
    Progress(0);
    TOstrelDecode decoder;
    const unsigned char* area = decoder.Open(size, storedSize);
    if (!area) return false;
    plat::TGlobalBlock block(plat::GMEM_FIXED, ostrel::ChunkSize);
    if (!block) return false;
    auto* input = block.As<unsigned char>();
    // The source is read strictly forward from where it stands.
    const auto read = [&](int, int count) {
        return StreamRead(source, input, count, &FLastCount) ? input : nullptr;
    };
    const auto progress = [&](int consumed) {
        if (storedSize != 0) Progress(ProgressPercent(consumed, storedSize));
    };
    ostrel::TBlockSink sink{dest, size};
    return ostrel::PumpDecode(decoder, area, storedSize, size, read, sink, progress) == ostrel::TPumpResult::prDone;
}
