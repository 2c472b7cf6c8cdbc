// OstrelEncodeParallel: the stream on several threads is byte for byte the
// one stream, whatever the threads and segments; its results on failure.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/Bytes.h"
#include "tests/support/StreamParser.h"
#include "vopack/OstrelEncode.h"
#include "vopack/OstrelParallel.h"
#include "vopack/StreamFormat.h"
#include "vopack/internal/OstrelPump.h"
#include "vopack/internal/OstrelRounds.h"

namespace {

using namespace testsupport;

struct TRun {
    TOstrelParallelResult Result = oprNoMemory;
    Bytes Stream;
    std::vector<int> Pieces;
};

TOstrelSource SourceOf(const Bytes& input, int* asked = nullptr) {
    return [&input, asked](int offset, int count) {
        EXPECT_GE(count, 1);
        EXPECT_LE(count, ostrel::ChunkSize);
        if (asked) {
            EXPECT_EQ(offset, *asked);  // in order, back to back
            *asked = offset + count;
        }
        return input.data() + offset;
    };
}

TOstrelSink SinkInto(TRun& run) {
    return [&run](const unsigned char* data, int count) {
        run.Stream.insert(run.Stream.end(), data, data + count);
        run.Pieces.push_back(count);
        return true;
    };
}

// The rounds with small segments, so that modest inputs cross many borders.
TRun Rounds(const Bytes& input, int threads, int segment) {
    TRun run;
    int asked = 0;
    run.Result = ostrel::parallel::RunRounds(static_cast<int>(input.size()), threads, segment, SourceOf(input, &asked),
                                             SinkInto(run));
    EXPECT_EQ(asked, static_cast<int>(input.size()));
    return run;
}

TRun Parallel(const Bytes& input, int threads) {
    TRun run;
    run.Result = OstrelEncodeParallel(static_cast<int>(input.size()), threads, SourceOf(input), SinkInto(run));
    return run;
}

Bytes OneThread(const Bytes& input, bool exhaustive) {
    TOstrelEncode enc;
    enc.UseReferenceSearch = exhaustive;
    const int size = static_cast<int>(input.size());
    unsigned char* area = enc.Open(size);
    Bytes stream;
    EXPECT_NE(area, nullptr);
    ostrel::PumpEncode(enc, area, size, ostrel::MemorySource(input.data()), [&](const unsigned char* d, int n) {
        stream.insert(stream.end(), d, d + n);
        return true;
    });
    return stream;
}

std::mt19937 Rng(unsigned seed) { return std::mt19937(seed); }

Bytes Random(int n, int alphabet, unsigned seed) {
    auto rng = Rng(seed);
    Bytes out(static_cast<std::size_t>(n));
    for (auto& b : out) b = static_cast<unsigned char>('a' + rng() % static_cast<unsigned>(alphabet));
    return out;
}

Bytes Periodic(int n, int period) {
    Bytes out(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) out[static_cast<std::size_t>(i)] = static_cast<unsigned char>('A' + (i % period) * 7 % 26);
    return out;
}

// A run broken by one odd byte every gap bytes: the segments' chains step by
// 8,192 from their own starts and meet the true one only after a break.
Bytes BrokenRun(int n, int gap) {
    Bytes out(static_cast<std::size_t>(n), 'x');
    for (int i = gap; i < n; i += gap) out[static_cast<std::size_t>(i)] = 'y';
    return out;
}

// Random blocks repeated from up to a window back, so that long matches
// straddle the segment borders.
Bytes RepeatedBlocks(int n, unsigned seed) {
    auto rng = Rng(seed);
    Bytes out;
    while (static_cast<int>(out.size()) < n) {
        const int len = 20 + static_cast<int>(rng() % 3000);
        if (out.size() > 2000 && rng() % 3 != 0) {
            const std::size_t from = out.size() - 1 - rng() % std::min<std::size_t>(out.size() - 1, 1600);
            for (int i = 0; i < len; ++i) out.push_back(out[from + static_cast<std::size_t>(i)]);
        } else {
            for (int i = 0; i < len; ++i) out.push_back(static_cast<unsigned char>(rng() % 4));
        }
    }
    out.resize(static_cast<std::size_t>(n));
    return out;
}

struct TCase {
    std::string Name;
    Bytes Input;
};

// Every piece but the last ends where a group starts.
void ExpectWholeGroups(const Bytes& input, const TRun& run) {
    const TParsed parsed = Parse(run.Stream, static_cast<int>(input.size()));
    ASSERT_TRUE(parsed.Ok) << parsed.Error;
    std::size_t at = 0;
    for (std::size_t i = 0; i + 1 < run.Pieces.size(); ++i) {
        at += static_cast<std::size_t>(run.Pieces[i]);
        EXPECT_EQ(parsed.GroupStarts.count(at), 1u) << "piece " << i;
    }
}

TEST(OstrelParallel, SameStreamAsTheExhaustiveSearch) {
    const TCase cases[] = {
        {"run", Bytes(70000, 'x')},
        {"run broken every 9000", BrokenRun(90000, 9000)},
        {"run broken every 40000", BrokenRun(100000, 40000)},
        {"period 3", Periodic(70000, 3)},
        {"period 1000", Periodic(80000, 1000)},
        {"two letters", Random(60000, 2, 1)},
        {"four letters", Random(60000, 4, 2)},
        {"all bytes", Random(60000, 256, 3)},
        {"repeated blocks", RepeatedBlocks(90000, 4)},
        {"ends inside a segment", RepeatedBlocks(16384 * 3 + 77, 5)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const Bytes expected = OneThread(c.Input, true);
        ASSERT_TRUE(OneThread(c.Input, false) == expected);
        for (int threads : {2, 3, 4}) {
            for (int segment : {ostrel::parallel::MinSegmentSize, ostrel::parallel::MinSegmentSize + 4099}) {
                SCOPED_TRACE(std::to_string(threads) + " threads, segments of " + std::to_string(segment));
                const TRun run = Rounds(c.Input, threads, segment);
                EXPECT_EQ(run.Result, oprDone);
                ASSERT_TRUE(run.Stream == expected);
                ExpectWholeGroups(c.Input, run);
            }
        }
    }
}

// Through the public entry, segments of the real size, against the one-thread stream.
TEST(OstrelParallel, SameStreamAsOneThreadOnLargeInputs) {
    const TCase cases[] = {
        {"repeated blocks", RepeatedBlocks(OstrelParallelMinSize * 3 / 2, 6)},
        {"run broken every 100000", BrokenRun(OstrelParallelMinSize + 300000, 100000)},
        {"three letters", Random(OstrelParallelMinSize + 1, 3, 7)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const Bytes expected = OneThread(c.Input, false);
        for (int threads : {0, 2, 5}) {
            SCOPED_TRACE(threads);
            const TRun run = Parallel(c.Input, threads);
            EXPECT_EQ(run.Result, oprDone);
            ASSERT_TRUE(run.Stream == expected);
        }
    }
}

// Small inputs, one thread, and the empty input go the one-thread way.
TEST(OstrelParallel, SmallInputsAndOneThread) {
    const TCase cases[] = {
        {"empty", {}},
        {"one byte", {'a'}},
        {"below the parallel size", RepeatedBlocks(OstrelParallelMinSize - 1, 8)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        for (int threads : {1, 2}) {
            const TRun run = Parallel(c.Input, threads);
            EXPECT_EQ(run.Result, oprDone);
            EXPECT_TRUE(run.Stream == OneThread(c.Input, false));
        }
    }
    EXPECT_EQ(Parallel(RepeatedBlocks(300000, 9), 1).Stream, OneThread(RepeatedBlocks(300000, 9), false));
}

TEST(OstrelParallel, FailuresAreReported) {
    const Bytes input = RepeatedBlocks(200000, 10);
    const int size = static_cast<int>(input.size());
    for (int failAt : {0, 16384, 150000}) {
        SCOPED_TRACE(failAt);
        TRun run;
        const auto source = [&](int offset, int) { return offset >= failAt ? nullptr : input.data() + offset; };
        EXPECT_EQ(ostrel::parallel::RunRounds(size, 2, ostrel::parallel::MinSegmentSize, source, SinkInto(run)),
                  oprSourceFailed);
    }
    for (int refuseAfter : {0, 1}) {  // the first piece, the last
        SCOPED_TRACE(refuseAfter);
        int pieces = 0;
        const auto sink = [&](const unsigned char*, int) { return pieces++ < refuseAfter; };
        EXPECT_EQ(ostrel::parallel::RunRounds(size, 2, ostrel::parallel::MinSegmentSize, SourceOf(input), sink),
                  oprSinkFailed);
        EXPECT_EQ(pieces, refuseAfter + 1);  // nothing offered after the refusal
    }
    TRun run;
    EXPECT_EQ(ostrel::parallel::RunRounds(size, 2, ostrel::parallel::MinSegmentSize - 1, SourceOf(input), SinkInto(run)),
              oprNoMemory);
    EXPECT_TRUE(run.Pieces.empty());
}

}  // namespace
