// Reading packs: opening a pack of 1,000 members and looking every name up;
// reading a 64 MiB plain member in 32 KiB items; opening (expanding) a 64 MiB
// compressed member, beside the decoder alone on the same stream. Packs are
// built in memory and opened as stream packs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchCorpus.h"
#include "classlib/Streams.h"
#include "tests/support/PackBuilder.h"
#include "vopack/VoPack.h"

namespace {

using bench::Bytes;

constexpr int MemberCount = 1000;
constexpr int LargeSize = 64 << 20;
constexpr int ItemSize = 32 << 10;

std::string MemberName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "member%04d.dat", i);
    return name;
}

// 64 MiB of the machine's files, repeated.
Bytes LargeData() {
    Bytes data;
    data.reserve(LargeSize);
    while (data.size() < static_cast<std::size_t>(LargeSize)) {
        bool any = false;
        for (const bench::TCorpus& c : bench::Corpora()) {
            any = any || !c.Data.empty();
            data.insert(data.end(), c.Data.begin(), c.Data.end());
        }
        if (!any) data.resize(LargeSize, 'x');
    }
    data.resize(LargeSize);
    return data;
}

TMemoryStream* InMemory(const Bytes& bytes) {
    auto* stream = new TMemoryStream;
    stream->Write(bytes.data(), static_cast<int>(bytes.size()));
    return stream;
}

void OpenPack(benchmark::State& state) {
    packtest::TPackBuilder builder;
    for (int i = 0; i < MemberCount; ++i) builder.Plain(MemberName(i), Bytes(16, static_cast<unsigned char>(i)));
    const Bytes bytes = builder.Build();
    std::unique_ptr<TMemoryStream> stream(InMemory(bytes));
    TVoPack pack(nullptr);
    for (auto _ : state) {
        if (!pack.LoadPackStream(stream.get())) state.SkipWithError("the pack does not load");
        pack.EndPack();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

void LookUpEveryName(benchmark::State& state) {
    packtest::TPackBuilder builder;
    for (int i = 0; i < MemberCount; ++i) builder.Plain(MemberName(i), Bytes(16, static_cast<unsigned char>(i)));
    std::unique_ptr<TMemoryStream> stream(InMemory(builder.Build()));
    std::vector<std::string> names;
    for (int i = 0; i < MemberCount; ++i) names.push_back(MemberName(i));
    TVoPack pack(nullptr);
    if (!pack.LoadPackStream(stream.get())) state.SkipWithError("the pack does not load");
    for (auto _ : state)
        for (int i = 0; i < MemberCount; ++i)
            if (pack.CheckFileName(names[static_cast<std::size_t>(i)].c_str()) != i)
                state.SkipWithError("a name is not found");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * MemberCount);
}

void ReadPlainMember(benchmark::State& state) {
    const Bytes data = LargeData();
    std::unique_ptr<TMemoryStream> stream(InMemory(packtest::TPackBuilder().Plain("large.bin", data).Build()));
    TVoPack pack(nullptr);
    pack.SetCrcMode(cmNon);
    if (!pack.LoadPackStream(stream.get())) state.SkipWithError("the pack does not load");
    Bytes item(ItemSize);
    for (auto _ : state) {
        VoFILE* h = pack.Vofopen("large.bin");
        while (pack.Vofread(item.data(), ItemSize, 1, h) == 1) benchmark::DoNotOptimize(item.data());
        pack.Vofclose(h);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * LargeSize);
}

struct TCompressed {
    Bytes Data = LargeData();
    Bytes Stream = bench::OstrelEncode(Data);
};
const TCompressed& Compressed() {
    static const TCompressed c;
    return c;
}

void OpenCompressedMember(benchmark::State& state) {
    const TCompressed& c = Compressed();
    packtest::TPackBuilder builder;
    builder.Add({"large.ost", c.Stream, LargeSize, true});
    std::unique_ptr<TMemoryStream> stream(InMemory(builder.Build()));
    TVoPack pack(nullptr);
    pack.SetCrcMode(cmNon);
    if (!pack.LoadPackStream(stream.get())) state.SkipWithError("the pack does not load");
    for (auto _ : state) {
        VoFILE* h = pack.Vofopen("large.ost");
        if (!h) state.SkipWithError("the member does not open");
        benchmark::DoNotOptimize(h);
        pack.Vofclose(h);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * LargeSize);
    state.counters["stream"] = static_cast<double>(c.Stream.size());
}

void DecoderAlone(benchmark::State& state) {
    const TCompressed& c = Compressed();
    for (auto _ : state) benchmark::DoNotOptimize(bench::OstrelDecode(c.Stream, LargeSize).data());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * LargeSize);
}

}  // namespace

BENCHMARK(OpenPack)->Unit(benchmark::kMicrosecond);
BENCHMARK(LookUpEveryName)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadPlainMember)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenCompressedMember)->Unit(benchmark::kMillisecond);
BENCHMARK(DecoderAlone)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
