#include "vopack/internal/OstrelRounds.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "platform/GlobalBlock.h"
#include "vopack/StreamFormat.h"
#include "vopack/internal/OstrelSearch.h"
#include "vopack/internal/OstrelSegments.h"

namespace ostrel::parallel {
namespace {

static_assert(MinSegmentSize > MaxMatchLength + WindowSize, "a thread's segments must not overlap their windows");
// Segments per thread and round: enough that the threads even out.
constexpr int SegmentsPerThread = 4;

// Bytes a token may read past the last token start of a round.
constexpr int Lookahead = MaxMatchLength + 4;
// The open group carried from one round to the next: its flag word and 31 tokens.
constexpr int CarryMax = FlagWordSize + (TokensPerGroup - 1) * MaxTokenSize;

// Work is handed out by tickets: the step (parse or write, and the round)
// in the high half, the next segment in the low half. A thread takes a
// segment by moving the ticket on, so a ticket of an earlier step can never
// be taken, and the calling thread waits only for segments another thread
// has taken: a worker the machine holds up before it takes one costs
// nothing, the calling thread does the work itself.
class TRounds {
public:
    TRounds(int size, int threads, int segmentSize, const TOstrelSource& source, const TOstrelSink& sink)
        : FSize(size), FThreads(threads), FSegmentSize(segmentSize), FSegmentCount(threads * SegmentsPerThread),
          FSource(source), FSink(sink) {}
    ~TRounds() { StopWorkers(); }
    TRounds(const TRounds&) = delete;
    TRounds& operator=(const TRounds&) = delete;

    bool Allocate();
    // Starts the workers, as many as can be had.
    void Start();
    TOstrelParallelResult Run();

private:
    void Work(int t);
    // Opens a step (odd: write, even: parse) to every thread.
    void Publish(std::uint32_t step);
    // Takes segments of the published step while any is left.
    void Share(int t, std::uint32_t step);
    // The calling thread's share, then the wait for the others'.
    void RunStep(std::uint32_t step);
    bool Load(int roundStart, int roundEnd);
    TInputView View() const { return {FWindow.As<unsigned char>(), FLoadedFirst, FSize}; }
    void StopWorkers();

    static constexpr std::uint32_t Stop = 0xFFFFFFFFu;

    const int FSize;
    const int FThreads;
    const int FSegmentSize;
    const int FSegmentCount;  // per round
    const TOstrelSource& FSource;
    const TOstrelSink& FSink;
    std::atomic<std::uint64_t> FTicket{0};  // step << 32 | next segment
    // The published step, for the workers to wait on, and the segments of it
    // finished, for the calling thread. A mutex and condition rather than
    // atomic waits, which not every thread library of ours wakes reliably.
    std::mutex FLock;
    std::condition_variable FChanged;
    std::uint32_t FStep = 0;
    int FDone = 0;

    plat::TGlobalBlock FWindow;  // input positions [FLoadedFirst, FLoadedTo)
    int FLoadedFirst = 0;
    int FLoadedTo = 0;
    plat::TGlobalBlock FOut;
    std::vector<plat::TGlobalBlock> FBlocks;  // tables and records, owned
    std::vector<TParser> FParsers;            // one per thread
    std::vector<TSegment> FSegments;          // SegmentsPerThread per thread
    TOstrelSearchTables* FJoinTables = nullptr;
    std::vector<std::thread> FWorkers;
};

bool TRounds::Allocate() {
    const std::int64_t roundBytes = std::int64_t{FSegmentCount} * FSegmentSize;
    FWindow = plat::TGlobalBlock(plat::GMEM_FIXED, static_cast<plat::SIZE_T>(WindowSize + roundBytes + Lookahead));
    FOut = plat::TGlobalBlock(plat::GMEM_FIXED,
                              static_cast<plat::SIZE_T>(CarryMax + MaxStreamSize(roundBytes + MaxMatchLength) + 8));
    if (!FWindow || !FOut) return false;
    const auto take = [&](std::size_t bytes) -> void* {
        FBlocks.emplace_back(plat::GMEM_FIXED, static_cast<plat::SIZE_T>(bytes));
        return FBlocks.back().Data();
    };
    const std::size_t recordBytes = sizeof(TRecord) * static_cast<std::size_t>(RecordCapacity(FSegmentSize));
    FBlocks.reserve(static_cast<std::size_t>(FThreads) + 2 * static_cast<std::size_t>(FSegmentCount) + 1);
    FParsers.reserve(static_cast<std::size_t>(FThreads));
    for (int t = 0; t < FThreads; ++t) {
        auto* tables = static_cast<TOstrelSearchTables*>(take(sizeof(TOstrelSearchTables)));
        if (!tables) return false;
        ResetSearch(*tables);
        FParsers.emplace_back(*tables);
    }
    FSegments.resize(static_cast<std::size_t>(FSegmentCount));
    for (TSegment& seg : FSegments) {
        seg.Records = static_cast<TRecord*>(take(recordBytes));
        seg.Fixup = static_cast<TRecord*>(take(recordBytes));
        if (!seg.Records || !seg.Fixup) return false;
    }
    FJoinTables = static_cast<TOstrelSearchTables*>(take(sizeof(TOstrelSearchTables)));
    if (!FJoinTables) return false;
    ResetSearch(*FJoinTables);
    return true;
}

void TRounds::Start() {
    FWorkers.reserve(static_cast<std::size_t>(FThreads - 1));
    for (int t = 1; t < FThreads; ++t) {
        try {
            FWorkers.emplace_back([this, t] { Work(t); });
        } catch (...) {
            return;  // the threads there are share the work
        }
    }
}

void TRounds::StopWorkers() {
    if (FWorkers.empty()) return;
    {
        const std::lock_guard<std::mutex> hold(FLock);
        FStep = Stop;
    }
    FChanged.notify_all();
    for (std::thread& w : FWorkers) w.join();
    FWorkers.clear();
}

void TRounds::Publish(std::uint32_t step) {
    {
        const std::lock_guard<std::mutex> hold(FLock);
        FDone = 0;
        FTicket.store(std::uint64_t{step} << 32);  // after everything the step reads
        FStep = step;
    }
    FChanged.notify_all();
}

void TRounds::Share(int t, std::uint32_t step) {
    const auto count = static_cast<std::uint32_t>(FSegmentCount);
    std::uint64_t ticket = FTicket.load();
    while (ticket >> 32 == step && (ticket & 0xFFFFFFFFu) < count) {
        if (!FTicket.compare_exchange_weak(ticket, ticket + 1)) continue;
        // The segment is ours: the round's state is read from here on only.
        const TInputView in = View();
        TSegment& seg = FSegments[static_cast<std::size_t>(ticket & 0xFFFFFFFFu)];
        if (step % 2 == 0)
            ParseSegment(FParsers[static_cast<std::size_t>(t)], in, seg);
        else
            WriteSegment(in, seg, FOut.As<unsigned char>());
        {
            const std::lock_guard<std::mutex> hold(FLock);
            ++FDone;
        }
        FChanged.notify_all();
        ticket = FTicket.load();
    }
}

void TRounds::Work(int t) {
    std::uint32_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(FLock);
            FChanged.wait(hold, [&] { return FStep != seen; });
            seen = FStep;
        }
        if (seen == Stop) return;
        Share(t, seen);
    }
}

void TRounds::RunStep(std::uint32_t step) {
    Publish(step);
    Share(0, step);
    // Only segments that a worker has taken are left: wait for them.
    std::unique_lock<std::mutex> hold(FLock);
    FChanged.wait(hold, [&] { return FDone == FSegmentCount; });
}

bool TRounds::Load(int roundStart, int roundEnd) {
    // Keep what the new round still needs (its window), read the rest.
    const int first = std::max(0, roundStart - WindowSize);
    const int to = static_cast<int>(std::min<std::int64_t>(std::int64_t{roundEnd} + Lookahead, FSize));
    unsigned char* window = FWindow.As<unsigned char>();
    if (FLoadedTo > first) {
        std::memmove(window, window + (first - FLoadedFirst), static_cast<std::size_t>(FLoadedTo - first));
    } else {
        FLoadedTo = first;  // never: rounds follow on each other
    }
    FLoadedFirst = first;
    while (FLoadedTo < to) {
        const int n = std::min(ChunkSize, to - FLoadedTo);
        const unsigned char* data = FSource(FLoadedTo, n);
        if (data == nullptr) return false;
        std::memcpy(window + (FLoadedTo - first), data, static_cast<std::size_t>(n));
        FLoadedTo += n;
    }
    return true;
}

TOstrelParallelResult TRounds::Run() {
    TJoin join(*FJoinTables);
    unsigned char* const out = FOut.As<unsigned char>();
    std::int64_t carry = 0;  // bytes of the open group at the start of out
    std::int64_t slot = -1;  // its flag word's offset
    std::int64_t sunk = 0;
    std::uint32_t step = 0;
    for (int roundStart = 0; roundStart < FSize;) {
        const int roundEnd = static_cast<int>(
            std::min<std::int64_t>(std::int64_t{roundStart} + std::int64_t{FSegmentCount} * FSegmentSize, FSize));
        if (!Load(roundStart, roundEnd)) return oprSourceFailed;
        for (int k = 0; k < FSegmentCount; ++k) {
            TSegment& seg = FSegments[static_cast<std::size_t>(k)];
            seg.Start = static_cast<int>(
                std::min<std::int64_t>(std::int64_t{roundStart} + std::int64_t{k} * FSegmentSize, roundEnd));
            seg.End = static_cast<int>(std::min<std::int64_t>(std::int64_t{seg.Start} + FSegmentSize, roundEnd));
        }
        RunStep(step += 2);  // parse
        const TInputView in = View();
        std::int64_t end = carry;
        for (TSegment& seg : FSegments) end = join.Join(in, seg, end);
        if (sunk + end > INT_MAX) return oprTooLarge;
        RunStep(step + 1);  // write
        slot = PatchFlags(FSegments.data(), FSegmentCount, out, slot);

        // Hand out the closed groups; the open one waits for its last tokens.
        const bool last = roundEnd >= FSize;
        const std::int64_t keep = !last && join.Tokens() % TokensPerGroup != 0 ? slot : end;
        if (keep > 0 && !FSink(out, static_cast<int>(keep))) return oprSinkFailed;
        sunk += keep;
        carry = end - keep;
        std::memmove(out, out + keep, static_cast<std::size_t>(carry));
        slot = carry > 0 ? 0 : -1;
        roundStart = roundEnd;
    }
    return oprDone;
}

}  // namespace

TOstrelParallelResult RunRounds(int size, int threads, int segmentSize, const TOstrelSource& source,
                                const TOstrelSink& sink) {
    if (threads < 2 || segmentSize < MinSegmentSize) return oprNoMemory;
    std::unique_ptr<TRounds> rounds(new (std::nothrow) TRounds(size, threads, segmentSize, source, sink));
    if (!rounds) return oprNoMemory;
    try {
        if (!rounds->Allocate()) return oprNoMemory;
    } catch (...) {
        return oprNoMemory;
    }
    rounds->Start();
    return rounds->Run();
}

}  // namespace ostrel::parallel
