// OstrelEncodeParallel: the stream that TOstrelEncode gives for an input,
// byte for byte, found on several threads at once.
//
// Contract:
//   size     input bytes, 0 to 2,147,483,647 (0 gives an empty stream).
//   threads  threads to use, the calling one included; 0 or less: one per
//            processor. One thread, or an input below OstrelParallelMinSize,
//            encodes on the calling thread alone, as TOstrelEncode does.
//   source   source(offset, count) returns the count input bytes from offset
//            on, valid until the next call; offsets come in order, back to
//            back, each count 1 to 16,384. Null when they cannot be had.
//   sink     sink(data, count) takes the next count stream bytes (count >= 1)
//            and returns false to stop. Every piece but the last ends on a
//            group boundary.
// Result:
//   oprDone          the whole stream went to the sink
//   oprSourceFailed  the source returned null: the stream is incomplete
//   oprSinkFailed    the sink refused a piece
//   oprTooLarge      the stream would pass 2,147,483,647 bytes (incompressible
//                    input of about 1.91e9 bytes): the pieces taken are not
//                    a whole stream
//   oprNoMemory      not even one encoder could be had; nothing was sunk
// Where threads or the larger buffers cannot be had, it falls back to fewer
// threads or to the calling thread alone; the stream is the same.
//
// Memory is fixed, whatever the size: per thread, the match finder's tables
// (172,032 bytes) and four segments of OstrelSegmentSize input bytes with
// their token records, fix-up records and output (about ten bytes per input
// byte: 2.6 MiB); the calling thread holds a second set of tables for the
// joins. No state is shared with other encoders.
#pragma once

#include <functional>

#include "vopack/VopackExport.h"

enum TOstrelParallelResult { oprDone, oprSourceFailed, oprSinkFailed, oprTooLarge, oprNoMemory };

// The threads find the tokens of segments of this many input bytes, four
// per thread and round.
inline constexpr int OstrelSegmentSize = 64 * 1024;
// Below this input size one thread is as fast: the threads' start, the
// buffers and the joins cost more than a second thread saves on a machine
// whose cores are busy (measured: 64 KiB to 1 MiB, two threads on two busy
// cores, were 1.1 to 2.2 times slower than one).
inline constexpr int OstrelParallelMinSize = 1024 * 1024;

using TOstrelSource = std::function<const unsigned char*(int offset, int count)>;
using TOstrelSink = std::function<bool(const unsigned char* data, int count)>;

VOPACK_API TOstrelParallelResult OstrelEncodeParallel(int size, int threads, const TOstrelSource& source,
                                                      const TOstrelSink& sink);
