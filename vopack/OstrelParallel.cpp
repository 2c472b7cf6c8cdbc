#include "vopack/OstrelParallel.h"

#include <algorithm>
#include <memory>
#include <new>
#include <thread>

#include "vopack/OstrelEncode.h"
#include "vopack/internal/OstrelPump.h"
#include "vopack/internal/OstrelRounds.h"

namespace {

TOstrelParallelResult EncodeAlone(int size, const TOstrelSource& source, const TOstrelSink& sink) {
    std::unique_ptr<TOstrelEncode> encoder(new (std::nothrow) TOstrelEncode);
    const unsigned char* area = encoder ? encoder->Open(size) : nullptr;
    if (area == nullptr) return oprNoMemory;
    switch (ostrel::PumpEncode(*encoder, area, size, source, sink)) {
    case ostrel::TPumpResult::prDone:
        return oprDone;
    case ostrel::TPumpResult::prSourceFailed:
        return oprSourceFailed;
    case ostrel::TPumpResult::prTooLarge:
        return oprTooLarge;
    default:
        return oprSinkFailed;
    }
}

}  // namespace

TOstrelParallelResult OstrelEncodeParallel(int size, int threads, const TOstrelSource& source,
                                           const TOstrelSink& sink) {
    if (size < 0) return oprSourceFailed;
    if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // More threads than segments would idle.
    threads = std::min(threads, size / OstrelSegmentSize + 1);
    if (threads > 1 && size >= OstrelParallelMinSize) {
        const TOstrelParallelResult result = ostrel::parallel::RunRounds(size, threads, OstrelSegmentSize, source, sink);
        if (result != oprNoMemory) return result;
    }
    return EncodeAlone(size, source, sink);
}
