#include "vopack/internal/OstrelRounds.h"

#include <algorithm>
#include <atomic>
#include <barrier>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
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

class TRounds {
public:
    TRounds(int size, int threads, int segmentSize, const TOstrelSource& source, const TOstrelSink& sink)
        : FSize(size), FThreads(threads), FSegmentSize(segmentSize), FSegmentCount(threads * SegmentsPerThread),
          FSource(source), FSink(sink), FSync(threads) {}

    bool Allocate();
    // Starts the workers; false (with none left running) when one cannot be.
    bool Start();
    TOstrelParallelResult Run();

private:
    void Work(int t);
    // The round's two parallel steps: each thread takes the next segment
    // until none is left, so that a thread the machine holds up does not
    // hold up the round by more than a segment.
    void ParseShare(int t);
    void WriteShare();
    bool Load(int roundStart, int roundEnd);
    TInputView View() const { return {FWindow.As<unsigned char>(), FLoadedFirst, FSize}; }
    void StopWorkers();

    const int FSize;
    const int FThreads;
    const int FSegmentSize;
    const int FSegmentCount;  // per round
    const TOstrelSource& FSource;
    const TOstrelSink& FSink;
    std::barrier<> FSync;
    std::atomic<bool> FStop{false};
    std::atomic<int> FNextParse{0};
    std::atomic<int> FNextWrite{0};
    bool FSkipWrite = false;  // written by the calling thread between the barriers

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
    FBlocks.reserve(static_cast<std::size_t>(FThreads + 2 * FSegmentCount + 1));
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

bool TRounds::Start() {
    FWorkers.reserve(static_cast<std::size_t>(FThreads - 1));
    for (int t = 1; t < FThreads; ++t) {
        try {
            FWorkers.emplace_back([this, t] { Work(t); });
        } catch (...) {
            // Stand in for the workers that did not start, and let the others go.
            for (int missing = FThreads - t; missing > 0; --missing) FSync.arrive_and_drop();
            StopWorkers();
            return false;
        }
    }
    return true;
}

void TRounds::StopWorkers() {
    FStop = true;
    FSync.arrive_and_wait();
    for (std::thread& w : FWorkers) w.join();
    FWorkers.clear();
}

void TRounds::ParseShare(int t) {
    const TInputView in = View();
    for (int k; (k = FNextParse.fetch_add(1)) < FSegmentCount;)
        ParseSegment(FParsers[static_cast<std::size_t>(t)], in, FSegments[static_cast<std::size_t>(k)]);
}

void TRounds::WriteShare() {
    const TInputView in = View();
    for (int k; (k = FNextWrite.fetch_add(1)) < FSegmentCount;)
        WriteSegment(in, FSegments[static_cast<std::size_t>(k)], FOut.As<unsigned char>());
}

void TRounds::Work(int t) {
    for (;;) {
        FSync.arrive_and_wait();  // the round is loaded
        if (FStop) return;
        ParseShare(t);
        FSync.arrive_and_wait();  // parsed
        FSync.arrive_and_wait();  // joined
        if (!FSkipWrite) WriteShare();
        FSync.arrive_and_wait();  // written
    }
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
    TOstrelParallelResult result = oprDone;
    for (int roundStart = 0; roundStart < FSize;) {
        const int roundEnd = static_cast<int>(
            std::min<std::int64_t>(std::int64_t{roundStart} + std::int64_t{FSegmentCount} * FSegmentSize, FSize));
        if (!Load(roundStart, roundEnd)) {
            result = oprSourceFailed;
            break;
        }
        for (int k = 0; k < FSegmentCount; ++k) {
            TSegment& seg = FSegments[static_cast<std::size_t>(k)];
            seg.Start = static_cast<int>(
                std::min<std::int64_t>(std::int64_t{roundStart} + std::int64_t{k} * FSegmentSize, roundEnd));
            seg.End = static_cast<int>(std::min<std::int64_t>(std::int64_t{seg.Start} + FSegmentSize, roundEnd));
        }
        const TInputView in = View();
        FNextParse = 0;
        FNextWrite = 0;
        FSync.arrive_and_wait();
        ParseShare(0);
        FSync.arrive_and_wait();
        std::int64_t end = carry;
        for (TSegment& seg : FSegments) end = join.Join(in, seg, end);
        FSkipWrite = sunk + end > INT_MAX;
        FSync.arrive_and_wait();
        if (!FSkipWrite) WriteShare();
        FSync.arrive_and_wait();
        if (FSkipWrite) {
            result = oprTooLarge;
            break;
        }
        slot = PatchFlags(FSegments.data(), FSegmentCount, out, slot);

        // Hand out the closed groups; the open one waits for its last tokens.
        const bool last = roundEnd >= FSize;
        const std::int64_t keep = !last && join.Tokens() % TokensPerGroup != 0 ? slot : end;
        if (keep > 0 && !FSink(out, static_cast<int>(keep))) {
            result = oprSinkFailed;
            break;
        }
        sunk += keep;
        carry = end - keep;
        std::memmove(out, out + keep, static_cast<std::size_t>(carry));
        slot = carry > 0 ? 0 : -1;
        roundStart = roundEnd;
    }
    StopWorkers();
    return result;
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
    if (!rounds->Start()) return oprNoMemory;
    return rounds->Run();
}

}  // namespace ostrel::parallel
