#include "ToolPack.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>
#include <unordered_set>

#include "ToolStreams.h"
#include "ToolNames.h"
#include "VopackToolTexts.h"
#include "classlib/Forms.h"
#include "vopack/internal/OstrelPump.h"

namespace vopacktool {

namespace {

// A member handle given back whatever way the stream ends.
struct THandleCloser {
    TVoPack* Pack;
    void operator()(VoFILE* handle) const { Pack->Vofclose(handle); }
};
using THandle = std::unique_ptr<VoFILE, THandleCloser>;

constexpr int PieceSize = 1 << 16;

}  // namespace

const char* MemberResultText(TMemberResult result) {
    switch (result) {
        case TMemberResult::mrOk: return "";
        case TMemberResult::mrDamagedEntry: return texts::MemberDamagedEntry;
        case TMemberResult::mrCannotRead: return texts::MemberCannotRead;
        case TMemberResult::mrDamagedStream: return texts::MemberDamagedStream;
        case TMemberResult::mrCrcMismatch: return texts::MemberCrcMismatch;
        case TMemberResult::mrSinkFailed: return texts::CannotWrite;
        case TMemberResult::mrNoMemory: return texts::NoMemory;
    }
    return "";
}

std::string IsoTime(std::uint64_t fileTime) {
    // Days since 1601-01-01 to a civil date (proleptic Gregorian).
    const std::uint64_t seconds = fileTime / 10000000;
    const auto days = static_cast<long long>(seconds / 86400);
    const auto second = static_cast<int>(seconds % 86400);
    long long z = days - 134774 + 719468;  // to days since 0000-03-01
    const long long era = z / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long day = doy - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    std::array<char, 48> text{};
    std::snprintf(text.data(), text.size(), "%04lld-%02lld-%02lldT%02d:%02d:%02dZ", year, month, day, second / 3600,
                  second / 60 % 60, second % 60);
    return text.data();
}

TPackReader::TPackReader(TProgress& progress) : FProgress(progress) {
    // Boxes are collected, not shown: the tool says what went wrong itself.
    FOldBoxes = Application->SetMessageBoxBackend(&FBoxes);
}

TPackReader::~TPackReader() {
    FPack.reset();
    Application->SetMessageBoxBackend(FOldBoxes);
}

bool TPackReader::Open(const std::string& path, TCrcMode mode) {
    FPath = path;
    if (!FFile.Open(path)) return false;
    FStream = std::make_unique<TInputStream>(FFile);
    FPack = std::make_unique<TVoPack>(nullptr);
    // As in the component: the pack CRC under cmPackAll only; cmEachFile
    // checks each member instead (Stream does, on the way through).
    if (Load(mode == cmPackAll ? cmPackAll : cmNon)) return true;
    // Tell a pack whose only fault is its CRC from one that is no pack, or
    // worse: the first can still be examined by test.
    if (mode == cmPackAll && Load(cmNon)) {
        FPack->EndPack();
        FCrcFailed = true;
        ReportError(texts::PackCrcMismatch, path);
        return false;
    }
    ReportError(FBoxes.Boxes().empty() ? texts::NotAPack : texts::DamagedPack, path);
    return false;
}

bool TPackReader::OpenUnchecked() { return FPack && Load(cmNon); }

bool TPackReader::Load(TCrcMode mode) {
    FBoxes.Clear();
    FPack->SetCrcMode(mode);
    FPack->SetOnProgress(TNotifyEvent([this](TObject*) {
        FProgress.Set(static_cast<std::int64_t>(FFile.Size()) * FPack->ProgPercent() / 100);
    }));
    if (mode == cmPackAll) FProgress.Start("checking", FFile.Size());
    const bool loaded = FPack->LoadPackStream(FStream.get());
    FProgress.Finish();
    FPack->SetOnProgress(TNotifyEvent());
    if (loaded) ReadCatalogue();
    return loaded;
}

void TPackReader::ReadCatalogue() {
    FMembers.clear();
    // Member opens check nothing: Stream checks the CRC on the way through.
    FPack->SetCrcMode(cmNon);
    const int count = FPack->GetFileNum();
    FMembers.reserve(static_cast<std::size_t>(count));
    std::unordered_set<std::string> seen;
    for (int i = 0; i < count; ++i) {
        TMemberInfo member;
        member.Index = i;
        std::array<char, VoMaxNameLength + 1> name{};
        TVoFileTable3 entry{};
        FPack->GetFileName(i, name.data());
        FPack->GetFileEntry(i, &entry);
        member.Name = name.data();
        // A first name byte of zero marks a deleted entry (whatever its Ext).
        member.Deleted = entry.Name[0] == 0;
        if (!member.Deleted) {
            member.Shadowed = !seen.insert(MemberLookupKey(member.Name)).second;
            member.HasTime = true;
            member.Time = static_cast<std::uint64_t>(entry.FileTime.dwHighDateTime) << 32 | entry.FileTime.dwLowDateTime;
            member.Size = entry.Size;
            member.StoredSize = entry.StoredSize;
            member.IsComp = entry.IsComp != 0;
            member.HasCrc = entry.IsCrc != 0;
            member.Crc = entry.Crc;
        }
        FMembers.push_back(std::move(member));
    }
}

TMemberResult TPackReader::Stream(const TMemberInfo& member, bool checkCrc, const TSink& sink) {
    const THandle handle(FPack->VofopenCompAt(member.Index, false), THandleCloser{FPack.get()});
    if (!handle) return TMemberResult::mrDamagedEntry;
    const int size = FPack->Vofsize(handle.get());
    const int stored = FPack->Vodsize(handle.get());
    std::unique_ptr<unsigned char[]> piece(new (std::nothrow) unsigned char[PieceSize]);
    if (!piece) return TMemberResult::mrNoMemory;

    TCrcCheck crcCheck;
    std::uint16_t crc = 0xFFFF;
    int storedRead = 0;
    bool sinkFailed = false;
    // The stored bytes, in order, through the CRC.
    const auto readStored = [&](int count) -> const unsigned char* {
        if (FPack->Vofread(piece.get(), 1, static_cast<std::uint32_t>(count), handle.get()) !=
            static_cast<std::uint32_t>(count))
            return nullptr;
        crc = crcCheck.UpDateCrc(crc, piece.get(), count);
        storedRead += count;
        return piece.get();
    };
    const auto deliver = [&](const unsigned char* data, int count) {
        if (!sink(data, count)) {
            sinkFailed = true;
            return false;
        }
        FProgress.Add(count);
        return true;
    };

    TMemberResult result = TMemberResult::mrOk;
    if (!FPack->VoIsComp(handle.get())) {
        while (storedRead < stored) {
            const int n = std::min(PieceSize, stored - storedRead);
            const unsigned char* data = readStored(n);
            if (!data) return TMemberResult::mrCannotRead;
            if (!deliver(data, n)) return TMemberResult::mrSinkFailed;
        }
    } else if (size > 0 || stored > 0) {
        std::unique_ptr<TOstrelDecode> decoder(new (std::nothrow) TOstrelDecode);
        const unsigned char* area = decoder ? decoder->Open(size, stored) : nullptr;
        if (!area) return decoder ? TMemberResult::mrDamagedStream : TMemberResult::mrNoMemory;
        const auto source = [&](int /*offset*/, int count) { return readStored(count); };
        const ostrel::TPumpResult pumped = ostrel::PumpDecode(*decoder, area, stored, size, source, deliver);
        decoder->Close();
        if (pumped == ostrel::TPumpResult::prSourceFailed) return TMemberResult::mrCannotRead;
        if (pumped == ostrel::TPumpResult::prSinkFailed || sinkFailed) return TMemberResult::mrSinkFailed;
        if (pumped != ostrel::TPumpResult::prDone) result = TMemberResult::mrDamagedStream;
        // The decoder may end before the last stored byte; the CRC covers them all.
        while (checkCrc && storedRead < stored) {
            if (!readStored(std::min(ostrel::ChunkSize, stored - storedRead))) return TMemberResult::mrCannotRead;
        }
    }
    if (checkCrc && member.HasCrc && storedRead == stored && crc != member.Crc) return TMemberResult::mrCrcMismatch;
    return result;
}

}  // namespace vopacktool
