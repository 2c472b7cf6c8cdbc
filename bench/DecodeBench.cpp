// Expansion speed (MB/s of decoded output): the Ostrel decoder beside zlib,
// LZ4 and zstd, each on its own stream of the same data (per CPU second).
// Decode/ostrel copies each call's bytes out as callers do; DecodeInPlace
// leaves them in the output area, to show that copy's share.
#include <benchmark/benchmark.h>
#include <lz4.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <functional>
#include <string>

#include "bench/BenchCorpus.h"
#include "vopack/OstrelDecode.h"
#include "vopack/StreamFormat.h"
#include "vopack/internal/OstrelPump.h"

namespace {

using bench::Bytes;

struct TCodec {
    const char* Name;
    std::function<Bytes(const Bytes&)> Compress;
    std::function<Bytes(const Bytes&, std::size_t)> Decompress;  // stream, decoded size
};

Bytes ZlibCompress(const Bytes& in) {
    uLongf len = compressBound(static_cast<uLong>(in.size()));
    Bytes out(len);
    if (compress2(out.data(), &len, in.data(), static_cast<uLong>(in.size()), 6) != Z_OK) return {};
    out.resize(len);
    return out;
}

Bytes ZlibDecompress(const Bytes& in, std::size_t size) {
    Bytes out(size);
    uLongf len = static_cast<uLongf>(size);
    if (uncompress(out.data(), &len, in.data(), static_cast<uLong>(in.size())) != Z_OK) return {};
    out.resize(len);
    return out;
}

Bytes Lz4Compress(const Bytes& in) {
    Bytes out(static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(in.size()))));
    const int n = LZ4_compress_default(reinterpret_cast<const char*>(in.data()), reinterpret_cast<char*>(out.data()),
                                       static_cast<int>(in.size()), static_cast<int>(out.size()));
    out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return out;
}

Bytes Lz4Decompress(const Bytes& in, std::size_t size) {
    Bytes out(size);
    const int n = LZ4_decompress_safe(reinterpret_cast<const char*>(in.data()), reinterpret_cast<char*>(out.data()),
                                      static_cast<int>(in.size()), static_cast<int>(size));
    out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return out;
}

Bytes ZstdCompress(const Bytes& in) {
    Bytes out(ZSTD_compressBound(in.size()));
    const std::size_t n = ZSTD_compress(out.data(), out.size(), in.data(), in.size(), 1);
    out.resize(ZSTD_isError(n) ? 0 : n);
    return out;
}

Bytes ZstdDecompress(const Bytes& in, std::size_t size) {
    Bytes out(size);
    const std::size_t n = ZSTD_decompress(out.data(), size, in.data(), in.size());
    out.resize(ZSTD_isError(n) ? 0 : n);
    return out;
}

// The chunk protocol as bench::OstrelDecode follows it, but leaving each
// call's bytes in the output area instead of copying them out: beside
// Decode/ostrel it shows what the caller's copy costs. Returns the bytes
// reported.
std::size_t OstrelDecodeInPlace(const Bytes& stream, int decodedSize) {
    TOstrelDecode dec;
    const unsigned char* area = dec.Open(decodedSize, static_cast<int>(stream.size()));
    if (area == nullptr) return 0;
    std::size_t reported = 0;
    ostrel::PumpDecode(dec, area, static_cast<int>(stream.size()), decodedSize, ostrel::MemorySource(stream.data()),
                       [&](const unsigned char* data, int n) {
                           benchmark::DoNotOptimize(data[0]);
                           reported += static_cast<std::size_t>(n);
                           return true;
                       });
    return reported;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    const TCodec codecs[] = {
        {"ostrel", [](const Bytes& in) { return bench::OstrelEncode(in); },
         [](const Bytes& in, std::size_t size) { return bench::OstrelDecode(in, static_cast<int>(size)); }},
        {"zlib-6", ZlibCompress, ZlibDecompress},
        {"lz4", Lz4Compress, Lz4Decompress},
        {"zstd-1", ZstdCompress, ZstdDecompress},
    };
    static std::vector<Bytes> streams;
    // The benchmarks keep references into streams: room for all of them up front.
    streams.reserve(bench::Corpora().size() * std::size(codecs));
    std::vector<const Bytes*> ostrelStreams;  // one per corpus
    for (const bench::TCorpus& c : bench::Corpora()) {
        for (const TCodec& codec : codecs) {
            streams.push_back(codec.Compress(c.Data));
            const Bytes& stream = streams.back();
            if (&codec == &codecs[0]) ostrelStreams.push_back(&stream);
            const bool roundTrips = codec.Decompress(stream, c.Data.size()) == c.Data;
            benchmark::RegisterBenchmark(
                ("Decode/" + std::string(codec.Name) + "/" + c.Name).c_str(),
                [&c, &stream, codec, roundTrips](benchmark::State& state) {
                    if (!roundTrips) {
                        state.SkipWithError("the round trip does not give the input back");
                        return;
                    }
                    Bytes out;
                    for (auto _ : state) {
                        out = codec.Decompress(stream, c.Data.size());
                        benchmark::DoNotOptimize(out.data());
                        benchmark::ClobberMemory();
                    }
                    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                                            static_cast<int64_t>(c.Data.size()));
                    state.counters["stream"] = static_cast<double>(stream.size());
                    state.counters["ratio"] = static_cast<double>(c.Data.size()) / static_cast<double>(stream.size());
                })
                ->Unit(benchmark::kMillisecond);
        }
    }
    for (std::size_t i = 0; i < ostrelStreams.size(); ++i) {
        const bench::TCorpus& c = bench::Corpora()[i];
        const Bytes& stream = *ostrelStreams[i];
        benchmark::RegisterBenchmark(("DecodeInPlace/ostrel/" + c.Name).c_str(),
                                     [&c, &stream](benchmark::State& state) {
                                         for (auto _ : state)
                                             benchmark::DoNotOptimize(
                                                 OstrelDecodeInPlace(stream, static_cast<int>(c.Data.size())));
                                         state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                                                                 static_cast<int64_t>(c.Data.size()));
                                     })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
