#include "ParallelCompress.h"

#include <memory>
#include <new>

#include "ToolFiles.h"
#include "vopack/internal/OstrelPump.h"

namespace vopacktool {

namespace {

// A large file compressed straight into a scratch file; Plain when the stream
// would be no shorter than the file.
bool PrepareInScratch(TInputFile& input, const std::string& scratchBeside, TPreparedMember& prepared) {
    auto scratch = std::make_unique<TOutputFile>();
    std::unique_ptr<TOstrelEncode> encoder(new (std::nothrow) TOstrelEncode);
    std::unique_ptr<unsigned char[]> chunk(new (std::nothrow) unsigned char[ostrel::ChunkSize]);
    const unsigned char* area = encoder && chunk ? encoder->Open(input.Size()) : nullptr;
    if (!area || !scratch->Create(scratchBeside, true)) return false;
    const auto source = [&](int, int count) { return input.Read(chunk.get(), count) ? chunk.get() : nullptr; };
    int written = 0;
    bool noGain = false;
    const auto sink = [&](const unsigned char* data, int count) {
        if (written + static_cast<long long>(count) >= input.Size()) {
            noGain = true;
            return false;
        }
        written += count;
        return scratch->Write(data, count);
    };
    const ostrel::TPumpResult result = ostrel::PumpEncode(*encoder, area, input.Size(), source, sink);
    encoder->Close();
    if (noGain) {
        prepared.Plain = true;
        return true;
    }
    if (result != ostrel::TPumpResult::prDone) return false;  // the main thread tries again and reports
    prepared.Compressed = true;
    prepared.Scratch = std::move(scratch);
    prepared.ScratchSize = written;
    return true;
}

}  // namespace

bool PrepareMember(const std::string& path, int limit, const std::string& scratchBeside, TPreparedMember& prepared) {
    TQuietReports quiet;  // the main thread reports, in order, when it tries again
    TInputFile input;
    if (!input.Open(path)) return false;
    prepared.Size = input.Size();
    prepared.Time = input.Time();
    if (input.Size() > limit) return PrepareInScratch(input, scratchBeside, prepared);
    std::vector<unsigned char> contents;
    try {
        contents.resize(static_cast<std::size_t>(input.Size()));
        prepared.Stored.reserve(contents.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!input.Read(contents.data(), input.Size())) return false;
    prepared.Compressed = false;
    if (input.Size() > 0) {
        std::unique_ptr<TOstrelEncode> encoder(new (std::nothrow) TOstrelEncode);
        const unsigned char* area = encoder ? encoder->Open(input.Size()) : nullptr;
        if (!area) return false;
        // Given up as soon as the stream is no shorter than the contents.
        const auto sink = [&](const unsigned char* data, int count) {
            if (prepared.Stored.size() + static_cast<std::size_t>(count) >= contents.size()) return false;
            prepared.Stored.insert(prepared.Stored.end(), data, data + count);
            return true;
        };
        const ostrel::TPumpResult result =
            ostrel::PumpEncode(*encoder, area, input.Size(), ostrel::MemorySource(contents.data()), sink);
        encoder->Close();
        prepared.Compressed = result == ostrel::TPumpResult::prDone;
    }
    if (!prepared.Compressed) prepared.Stored = std::move(contents);
    return true;
}

TCompressionPool::TCompressionPool(const std::vector<TNewMember>& members, int jobs, const std::string& scratchBeside)
    : FMembers(members), FScratchBeside(scratchBeside), FSlots(members.size()),
      FWindow(2 * static_cast<std::size_t>(jobs)) {
    for (int i = 0; i < jobs; ++i) FWorkers.emplace_back([this] { Work(); });
}

TCompressionPool::~TCompressionPool() {
    {
        const std::lock_guard<std::mutex> hold(FLock);
        FStop = true;
    }
    FChanged.notify_all();
    for (std::thread& worker : FWorkers) worker.join();
}

void TCompressionPool::Work() {
    for (;;) {
        std::size_t i = 0;
        {
            std::unique_lock<std::mutex> hold(FLock);
            FChanged.wait(hold, [this] { return FStop || (FNext < FSlots.size() && FNext < FTaken + FWindow); });
            if (FStop) return;
            i = FNext++;
        }
        TPreparedMember prepared;
        const bool done = PrepareMember(FMembers[i].Path, MemoryLimit, FScratchBeside, prepared);
        {
            const std::lock_guard<std::mutex> hold(FLock);
            FSlots[i].Ready = true;
            FSlots[i].Done = done;
            if (done) FSlots[i].Member = std::move(prepared);
        }
        FChanged.notify_all();
    }
}

bool TCompressionPool::Take(std::size_t i, TPreparedMember& prepared) {
    std::unique_lock<std::mutex> hold(FLock);
    FChanged.wait(hold, [&] { return FSlots[i].Ready; });
    const bool done = FSlots[i].Done;
    if (done) prepared = std::move(FSlots[i].Member);
    FSlots[i].Member = {};
    FTaken = i + 1;
    hold.unlock();
    FChanged.notify_all();
    return done;
}

}  // namespace vopacktool
