#include "ToolPackWriter.h"

#include <algorithm>
#include <new>

#include "VopackToolTexts.h"
#include "classlib/Forms.h"

namespace vopacktool {

namespace {

constexpr int CopyPiece = 1 << 20;

plat::FILETIME FileTimeOf(std::uint64_t time) {
    return {static_cast<plat::DWORD>(time), static_cast<plat::DWORD>(time >> 32)};
}

// Read-only bytes in memory as a stream, for AddStored.
class TBytesStream : public TStream {
public:
    explicit TBytesStream(const std::vector<unsigned char>& bytes) : FBytes(bytes) {}
    int Read(void* buffer, int count) override {
        const int n = std::min(count, static_cast<int>(FBytes.size()) - FPosition);
        if (buffer == nullptr || n <= 0) return 0;
        std::copy_n(FBytes.data() + FPosition, n, static_cast<unsigned char*>(buffer));
        FPosition += n;
        return n;
    }
    int Write(const void* /*buffer*/, int /*count*/) override { return 0; }
    int Seek(int offset, int origin) override {
        long long target = offset;
        if (origin == soFromCurrent) target += FPosition;
        else if (origin == soFromEnd) target += static_cast<long long>(FBytes.size());
        else if (origin != soFromBeginning) return -1;
        if (target < 0 || target > kMaxStreamSize) return -1;
        FPosition = static_cast<int>(target);
        return FPosition;
    }

private:
    const std::vector<unsigned char>& FBytes;
    int FPosition = 0;
};

}  // namespace

TPackWriter::TPackWriter(TProgress& progress) : FProgress(progress) {
    FOldBoxes = Application->SetMessageBoxBackend(&FBoxes);
}

TPackWriter::~TPackWriter() {
    // Not finished: the pack is closed and its temporary file goes with FFile.
    if (FPack) FPack->EndPack();
    FPack.reset();
    Application->SetMessageBoxBackend(FOldBoxes);
}

bool TPackWriter::Create(const std::string& path, bool force) {
    FPath = path;
    const TPathKind kind = InspectPath(path);
    if (kind == TPathKind::pkRegular && !force) {
        ReportError(texts::PackExists, path);
        return false;
    }
    if (!FFile.Create(path, true)) return false;
    FStream = std::make_unique<TOutputStream>(FFile, 0);
    FPack = std::make_unique<TVoPack>(nullptr);
    FPack->SetReadOnly(false);
    return FPack->NewPackStream(FStream.get()) || Failed(path);
}

bool TPackWriter::Edit(const std::string& path, TCrcMode mode) {
    FPath = path;
    TInputFile old;
    if (!old.Open(path) || !FFile.Create(path, old)) return false;
    std::unique_ptr<unsigned char[]> piece(new (std::nothrow) unsigned char[CopyPiece]);
    if (!piece) {
        ReportError(texts::NoMemory, "");
        return false;
    }
    for (int done = 0; done < old.Size();) {
        const int n = std::min(CopyPiece, old.Size() - done);
        if (!old.Read(piece.get(), n) || !FFile.Write(piece.get(), n)) return false;
        done += n;
    }
    FStream = std::make_unique<TOutputStream>(FFile, old.Size());
    FPack = std::make_unique<TVoPack>(nullptr);
    FPack->SetReadOnly(false);
    FPack->SetCrcMode(mode == cmPackAll ? cmPackAll : cmNon);
    if (FPack->EditPackStream(FStream.get())) return true;
    const TVoPackResult result = FPack->LastResult();
    FPack.reset();
    if (result == TVoPackResult::prShortHeader || result == TVoPackResult::prBadVersion)
        ReportError(texts::NotAPack, path);
    else if (result == TVoPackResult::prCrcMismatch || result == TVoPackResult::prCrcMissing)
        ReportError(texts::PackCrcMismatch, path);
    else
        ReportError(texts::DamagedPack, path);
    return false;
}

void TPackWriter::Track(std::int64_t size) {
    const std::int64_t base = FDone;
    FPack->SetOnProgress(TNotifyEvent([this, base, size](TObject*) { FProgress.Set(base + size * FPack->ProgPercent() / 100); }));
}

bool TPackWriter::AddFile(const TNewMember& member, bool compress) {
    TInputFile input;
    if (!input.Open(member.Path)) return false;
    TInputStream source(input);
    Track(input.Size());
    const bool added =
        FPack->AddFileStream(member.Name.c_str(), &source, input.Size(), FileTimeOf(input.Time()), compress);
    FDone += input.Size();
    FProgress.Set(FDone);
    return added || Failed(member.Path);
}

bool TPackWriter::AddPrepared(const TNewMember& member, const TPreparedMember& prepared) {
    if (prepared.Plain) return AddFile(member, false);
    TVoFileTable3 info{};
    info.Size = prepared.Size;
    info.StoredSize = prepared.Scratch ? prepared.ScratchSize : static_cast<std::int32_t>(prepared.Stored.size());
    info.IsComp = prepared.Compressed ? 1 : 0;
    info.FileTime = FileTimeOf(prepared.Time);
    TBytesStream inMemory(prepared.Stored);
    std::unique_ptr<TOutputStream> inScratch;
    if (prepared.Scratch) inScratch = std::make_unique<TOutputStream>(*prepared.Scratch, prepared.ScratchSize);
    TStream* stored = inScratch ? static_cast<TStream*>(inScratch.get()) : &inMemory;
    Track(prepared.Size);
    const bool added = FPack->AddStored(member.Name.c_str(), info, stored);
    FDone += prepared.Size;
    FProgress.Set(FDone);
    return added || Failed(member.Path);
}

bool TPackWriter::Delete(const std::string& name) { return FPack->DelFile(name.c_str()) || Failed(FPath); }

bool TPackWriter::CopyFrom(TVoPack& source, const std::string& sourceName, const std::string& name) {
    return FPack->AddPack(name.c_str(), &source, sourceName.c_str()) || Failed(FPath);
}

bool TPackWriter::Finish() {
    FPack->SetOnProgress(TNotifyEvent());
    const bool written = FPack->EndPack();
    const TVoPackResult result = FPack->LastResult();
    FPack.reset();
    if (!written) {
        if (result != TVoPackResult::prShortWrite) ReportError(texts::PackRefused, FPath);  // a write says why itself
        return false;
    }
    return FFile.Commit(true);
}

std::vector<std::string> TPackWriter::Names() {
    std::vector<std::string> names;
    for (int i = 0; i < FPack->GetFileNum(); ++i) {
        char name[VoMaxNameLength + 1] = {};
        FPack->GetFileName(i, name);
        names.emplace_back(name);
    }
    return names;
}

bool TPackWriter::Failed(const std::string& detail) {
    FProgress.Finish();
    switch (FPack ? FPack->LastResult() : TVoPackResult::prNoPack) {
        case TVoPackResult::prShortWrite: break;  // the pack's file said why
        case TVoPackResult::prShortRead: ReportError(texts::SourceShrank, detail); break;
        case TVoPackResult::prTooLarge: ReportError(texts::PackTooLarge, detail); break;
        case TVoPackResult::prNoMemory: ReportError(texts::NoMemory, detail); break;
        case TVoPackResult::prNameRefused: ReportError(texts::NameTaken, detail); break;
        case TVoPackResult::prNotFound: ReportError(texts::NoSuchMember, detail); break;
        case TVoPackResult::prCrcMismatch: ReportError(texts::MemberCrcMismatch, detail); break;
        default: ReportError(texts::PackRefused, detail); break;
    }
    return false;
}

}  // namespace vopacktool
