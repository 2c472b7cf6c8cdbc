// The parallel encoder's driver: the input goes by in rounds of one segment
// per thread. Each round: the input window is loaded; every thread parses
// its segment; the calling thread joins them; every thread writes its
// segment's bytes; the calling thread completes the flag words that span
// segments and hands the finished groups to the sink, keeping the open one
// for the next round.
#pragma once

#include "vopack/OstrelParallel.h"

namespace ostrel::parallel {

// Runs the rounds on threads threads (2 or more), each parsing segments of
// segmentSize bytes (at least MinSegmentSize, so that a window never
// reaches back into a segment its thread parsed before, the one just before
// aside, whose chain it goes on with), with the results of
// OstrelEncodeParallel, but oprNoMemory whenever the buffers or a thread
// cannot be had: then nothing was read or sunk. Tests use small segments.
inline constexpr int MinSegmentSize = 16 * 1024;
TOstrelParallelResult RunRounds(int size, int threads, int segmentSize, const TOstrelSource& source,
                                const TOstrelSink& sink);

}  // namespace ostrel::parallel
