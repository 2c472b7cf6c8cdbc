// The one loop that drives the stream encoder and decoder through their chunk
// protocols, from a source to a sink, so that no caller writes it again.
//
//   source(offset, count) -> const unsigned char*: the count input bytes that
//       start offset bytes into the input (chunks are asked for in order, each
//       16,384 bytes but the last); null when they cannot be had.
//   sink(data, count) -> bool: takes count finished bytes (count >= 1);
//       false stops the pump.
//   progress(consumed): after each chunk taken (the encoder: once per Encode
//       call, so every call after the input ran out reports the whole size;
//       the decoder: after each refill).
//
// The coder comes open, with area its output area; the pump runs it until it
// ends (or the source or sink fails) and leaves closing to the caller.
#pragma once

#include <cstddef>
#include <cstring>

#include "vopack/OstrelDecode.h"
#include "vopack/OstrelEncode.h"
#include "vopack/StreamFormat.h"

namespace ostrel {

enum class TPumpResult {
    prDone,          // the whole stream (or the whole decoded data) went to the sink
    prSourceFailed,  // the source could not give a chunk
    prSinkFailed,    // the sink refused bytes
    prTooLarge,      // the encoder gave the stream up: it would pass 2^31 - 1 bytes
    prDamaged,       // the stream broke the format, or decoded to fewer bytes than expected
};

struct TNoProgress {
    void operator()(int /*consumed*/) const {}
};

namespace pump_detail {
// Length of the chunk that starts at offset of total.
inline int ChunkAt(int offset, int total) { return total - offset >= ChunkSize ? ChunkSize : total - offset; }
}  // namespace pump_detail

// Feeds size input bytes to the encoder; the stream goes to the sink.
template <class TSource, class TSink, class TProgress = TNoProgress>
TPumpResult PumpEncode(TOstrelEncode& encoder, const unsigned char* area, int size, TSource&& source, TSink&& sink,
                       TProgress&& progress = {}) {
    int handed = 0;
    while (!encoder.IsEnd) {
        const unsigned char* chunk = nullptr;
        if (handed < size) {
            const int n = pump_detail::ChunkAt(handed, size);
            chunk = source(handed, n);
            if (chunk == nullptr) return TPumpResult::prSourceFailed;
            handed += n;
        }
        progress(handed);
        // Encode takes a plain pointer, as callers of the unit are used to, but only copies from it.
        const int r = encoder.Encode(const_cast<unsigned char*>(chunk));
        if (r > 0 && !sink(area, r)) return TPumpResult::prSinkFailed;
    }
    return encoder.IsOverflow ? TPumpResult::prTooLarge : TPumpResult::prDone;
}

// Feeds the streamSize stream bytes to the decoder as it asks for them; the
// decoded bytes go to the sink. Done only when the stream was sound and gave
// exactly decodedSize bytes; the sink never gets more than that in all.
template <class TSource, class TSink, class TProgress = TNoProgress>
TPumpResult PumpDecode(TOstrelDecode& decoder, const unsigned char* area, int streamSize, int decodedSize,
                       TSource&& source, TSink&& sink, TProgress&& progress = {}) {
    int handed = 0;
    int written = 0;
    while (!decoder.IsEnd) {
        const unsigned char* chunk = nullptr;
        if (decoder.NeedInput && handed < streamSize) {
            const int n = pump_detail::ChunkAt(handed, streamSize);
            chunk = source(handed, n);
            if (chunk == nullptr) return TPumpResult::prSourceFailed;
            handed += n;
            progress(handed);
        }
        const int r = decoder.Decode(chunk);
        if (r > 0) {
            if (r > decodedSize - written) return TPumpResult::prDamaged;  // never for a sound decoder
            if (!sink(area, r)) return TPumpResult::prSinkFailed;
            written += r;
        }
    }
    return !decoder.IsError && written == decodedSize ? TPumpResult::prDone : TPumpResult::prDamaged;
}

// A source over bytes already in memory: no copy.
inline auto MemorySource(const unsigned char* data) {
    return [data](int offset, int /*count*/) { return data + offset; };
}

// A sink into a block of capacity bytes; length counts what it holds.
struct TBlockSink {
    unsigned char* Block;
    long long Capacity;
    int Length = 0;
    bool operator()(const unsigned char* data, int count) {
        if (count > Capacity - Length) return false;
        std::memcpy(Block + Length, data, static_cast<std::size_t>(count));
        Length += count;
        return true;
    }
};

}  // namespace ostrel
