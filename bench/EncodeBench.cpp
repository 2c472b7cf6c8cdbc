// Compression speed (MB/s of input) and ratio: the Ostrel encoder, its
// exhaustive reference search on a slice, and zlib, LZ4 and zstd on the same
// data. Rates are per CPU second of the one thread, which shared machines
// disturb less than wall time.
#include <benchmark/benchmark.h>
#include <lz4.h>
#include <zlib.h>
#include <zstd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "bench/BenchCorpus.h"
#include "vopack/OstrelEncode.h"
#include "vopack/internal/OstrelRounds.h"
#include "vopack/internal/OstrelSearch.h"
#include "vopack/OstrelParallel.h"

namespace {

using bench::Bytes;
using TCompressor = std::function<Bytes(const Bytes&)>;

constexpr std::size_t SliceSize = 64 * 1024;

// Everything an open encoder holds: the object, its two buffers and the
// match finder's tables.
constexpr std::size_t EncoderStateBytes =
    sizeof(TOstrelEncode) + TOstrelEncode::InBufSize + TOstrelEncode::OutBufSize + sizeof(TOstrelSearchTables);
static_assert(EncoderStateBytes < 256 * 1024);

// The rounds on two threads whatever the size (OstrelEncodeParallel would
// fall back to one below OstrelParallelMinSize): where that size comes from.
Bytes Rounds(const Bytes& in) {
    Bytes stream;
    const auto source = [&in](int offset, int) { return in.data() + offset; };
    const auto sink = [&stream](const unsigned char* data, int n) {
        stream.insert(stream.end(), data, data + n);
        return true;
    };
    if (ostrel::parallel::RunRounds(static_cast<int>(in.size()), 2, OstrelSegmentSize, source, sink) != oprDone)
        stream.clear();
    return stream;
}

Bytes Zlib(const Bytes& in, int level) {
    uLongf len = compressBound(static_cast<uLong>(in.size()));
    Bytes out(len);
    if (compress2(out.data(), &len, in.data(), static_cast<uLong>(in.size()), level) != Z_OK) return {};
    out.resize(len);
    return out;
}

Bytes Lz4(const Bytes& in) {
    Bytes out(static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(in.size()))));
    const int n = LZ4_compress_default(reinterpret_cast<const char*>(in.data()), reinterpret_cast<char*>(out.data()),
                                       static_cast<int>(in.size()), static_cast<int>(out.size()));
    out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return out;
}

Bytes Zstd(const Bytes& in, int level) {
    Bytes out(ZSTD_compressBound(in.size()));
    const std::size_t n = ZSTD_compress(out.data(), out.size(), in.data(), in.size(), level);
    out.resize(ZSTD_isError(n) ? 0 : n);
    return out;
}

void Run(benchmark::State& state, const Bytes& input, const TCompressor& compress, bool ostrel) {
    Bytes out;
    for (auto _ : state) {
        out = compress(input);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    if (out.empty()) {
        state.SkipWithError("compression failed");
        return;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(input.size()));
    state.counters["in"] = static_cast<double>(input.size());
    state.counters["out"] = static_cast<double>(out.size());
    state.counters["ratio"] = static_cast<double>(input.size()) / static_cast<double>(out.size());
    if (ostrel) state.counters["state_bytes"] = static_cast<double>(EncoderStateBytes);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    struct TEntry {
        const char* Name;
        TCompressor Compress;
        bool Ostrel;
    };
    const TEntry entries[] = {
        {"ostrel", [](const Bytes& in) { return bench::OstrelEncode(in); }, true},
        {"zlib-1", [](const Bytes& in) { return Zlib(in, 1); }, false},
        {"zlib-6", [](const Bytes& in) { return Zlib(in, 6); }, false},
        {"lz4", Lz4, false},
        {"zstd-1", [](const Bytes& in) { return Zstd(in, 1); }, false},
    };
    static std::vector<Bytes> slices;
    slices.reserve(bench::Corpora().size());
    for (const bench::TCorpus& c : bench::Corpora()) {
        for (const TEntry& e : entries) {
            benchmark::RegisterBenchmark(("Encode/" + std::string(e.Name) + "/" + c.Name).c_str(),
                                         [&c, e](benchmark::State& s) { Run(s, c.Data, e.Compress, e.Ostrel); })
                ->Unit(benchmark::kMillisecond);
        }
        // The parallel encoder in wall time (its threads' CPU time would hide
        // the gain), beside the one-thread encoder measured the same way.
        for (int threads : {1, 2}) {
            benchmark::RegisterBenchmark(("EncodeWall/ostrel-threads:" + std::to_string(threads) + "/" + c.Name).c_str(),
                                         [&c, threads](benchmark::State& s) {
                                             Run(s, c.Data,
                                                 [threads](const Bytes& in) {
                                                     return bench::OstrelEncodeThreads(in, threads);
                                                 },
                                                 true);
                                         })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        // The same slice for both searches, so the two speeds compare directly.
        slices.emplace_back(c.Data.begin(), c.Data.begin() + static_cast<long>(std::min(SliceSize, c.Data.size())));
        const Bytes& slice = slices.back();
        benchmark::RegisterBenchmark(("EncodeSlice/ostrel/" + c.Name).c_str(), [&slice](benchmark::State& s) {
            Run(s, slice, [](const Bytes& in) { return bench::OstrelEncode(in); }, true);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("EncodeSlice/exhaustive/" + c.Name).c_str(), [&slice](benchmark::State& s) {
            Run(s, slice, [](const Bytes& in) { return bench::OstrelEncode(in, true); }, true);
        })->Unit(benchmark::kMillisecond);
    }
    // Small inputs: one thread against the rounds on two, in wall time.
    static std::vector<Bytes> prefixes;
    prefixes.reserve(8);
    for (const bench::TCorpus& c : bench::Corpora()) {
        if (c.Name != "cpp") continue;
        for (std::size_t kib : {64, 128, 256, 512, 1024}) {
            if (c.Data.size() < kib * 1024) continue;
            prefixes.emplace_back(c.Data.begin(), c.Data.begin() + static_cast<long>(kib * 1024));
            const Bytes& prefix = prefixes.back();
            const std::string size = std::to_string(kib) + "KiB";
            benchmark::RegisterBenchmark(("EncodeSmall/ostrel-threads:1/" + size).c_str(), [&prefix](benchmark::State& s) {
                Run(s, prefix, [](const Bytes& in) { return bench::OstrelEncodeThreads(in, 1); }, true);
            })->UseRealTime();
            benchmark::RegisterBenchmark(("EncodeSmall/rounds-threads:2/" + size).c_str(), [&prefix](benchmark::State& s) {
                Run(s, prefix, Rounds, true);
            })->UseRealTime();
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
