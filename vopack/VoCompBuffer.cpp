#include "vopack/VoCompBuffer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <new>

#include "platform/GlobalBlock.h"
#include "platform/Platform.h"
#include "vopack/internal/BufferDrive.h"
#include "vopack/OstrelDecode.h"
#include "vopack/OstrelEncode.h"
#include "vopack/OstrelParallel.h"
#include "vopack/internal/OstrelPump.h"
#include "vopack/StreamFormat.h"

namespace {

constexpr std::uint16_t CrcStart = 0xFFFF;

unsigned char* TakeBlock(std::int64_t bytes) {
    if (bytes <= 0 || static_cast<std::uint64_t>(bytes) > SIZE_MAX) return nullptr;
    return plat::TakeFixed(static_cast<plat::SIZE_T>(bytes));
}

// Gives *out back on failure.
bool Finish(bool ok, unsigned char** out) {
    if (!ok) plat::GiveBack(*out);
    return ok;
}

}  // namespace

// No exception leaves the unit: without memory for CrcCheck both operations fail.
TVoCompBuffer::TVoCompBuffer() : CrcCheck(new (std::nothrow) TCrcCheck), Threads(1) {}

TVoCompBuffer::~TVoCompBuffer() { delete CrcCheck; }

bool TVoCompBuffer::EncodeBuffer(const unsigned char* src, int srcLen, unsigned char** out, int* outLen,
                                 std::uint16_t* crc) {
    if (srcLen <= 0) return false;
    if (!CrcCheck) {
        *out = nullptr;
        return false;
    }
    // Room for the longest stream, but no more than the longest the encoder
    // gives (2^31 - 1): the bound for inputs near 2 GiB passes it.
    const std::int64_t capacity = std::min<std::int64_t>(ostrel::MaxStreamSize(srcLen), INT_MAX);
    *out = TakeBlock(capacity);
    if (!*out) return false;
    int length = 0;
    if (Threads != 1) {
        ostrel::TBlockSink sink{*out, capacity};
        const auto source = [src](int offset, int) { return src + offset; };
        if (OstrelEncodeParallel(srcLen, Threads, source, std::ref(sink)) != oprDone) return Finish(false, out);
        length = sink.Length;
    } else {
        std::unique_ptr<TOstrelEncode> encoder(new (std::nothrow) TOstrelEncode);
        unsigned char* area = encoder ? encoder->Open(srcLen) : nullptr;
        if (!area || !ostrel::EncodeToBlock(*encoder, area, src, srcLen, *out, capacity, length))
            return Finish(false, out);
    }
    *outLen = length;
    *crc = CrcCheck->UpDateCrc(CrcStart, *out, length);
    return true;
}

bool TVoCompBuffer::DecodeBuffer(const unsigned char* src, int srcLen, int dstLen, std::uint16_t crc,
                                 unsigned char** out) {
    if (!CrcCheck || CrcCheck->UpDateCrc(CrcStart, src, srcLen) != crc) return false;
    if (srcLen <= 0 || dstLen <= 0) return false;
    std::unique_ptr<TOstrelDecode> decoder(new (std::nothrow) TOstrelDecode);
    const unsigned char* area = decoder ? decoder->Open(dstLen, srcLen) : nullptr;
    *out = TakeBlock(dstLen);
    if (!area || !*out) return Finish(false, out);
    const bool ok = ostrel::DecodeToBlock(*decoder, area, src, srcLen, *out, dstLen);
    decoder->Close();
    return Finish(ok, out);
}
