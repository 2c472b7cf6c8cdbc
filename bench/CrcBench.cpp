// CRC speed (MB/s): TCrcCheck beside the plain byte-at-a-time table loop.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "bench/BenchCorpus.h"
#include "vopack/CrcCheck.h"

namespace {

// The baseline: one table lookup per byte, reflected polynomial 0x8408.
class TByteTableCrc {
public:
    TByteTableCrc() {
        for (unsigned i = 0; i < 256; ++i) {
            unsigned r = i;
            for (int k = 0; k < 8; ++k) r = (r & 1) ? (r >> 1) ^ 0x8408u : r >> 1;
            FTable[i] = static_cast<std::uint16_t>(r);
        }
    }
    std::uint16_t Update(std::uint16_t crc, const unsigned char* data, std::size_t n) const {
        for (std::size_t i = 0; i < n; ++i) crc = static_cast<std::uint16_t>(FTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
        return crc;
    }

private:
    std::uint16_t FTable[256];
};

void Report(benchmark::State& state, std::size_t size) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    static const TCrcCheck crc;
    static const TByteTableCrc byteTable;
    for (const bench::TCorpus& c : bench::Corpora()) {
        const int size = static_cast<int>(c.Data.size());
        const bool agree = crc.Crc(c.Data.data(), size) == byteTable.Update(0xFFFF, c.Data.data(), c.Data.size());
        benchmark::RegisterBenchmark(("Crc/TCrcCheck/" + c.Name).c_str(), [&c, size, agree](benchmark::State& state) {
            if (!agree) {
                state.SkipWithError("TCrcCheck differs from the byte table");
                return;
            }
            for (auto _ : state) benchmark::DoNotOptimize(crc.Crc(c.Data.data(), size));
            Report(state, c.Data.size());
        });
        benchmark::RegisterBenchmark(("Crc/byte-table/" + c.Name).c_str(), [&c](benchmark::State& state) {
            for (auto _ : state) benchmark::DoNotOptimize(byteTable.Update(0xFFFF, c.Data.data(), c.Data.size()));
            Report(state, c.Data.size());
        });
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
