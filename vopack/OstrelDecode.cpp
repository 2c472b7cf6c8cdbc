#include "vopack/OstrelDecode.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/GlobalBlock.h"
#include "platform/Platform.h"
#include "vopack/internal/OstrelDecodeCareful.h"
#include "vopack/internal/OstrelDecodeCursor.h"
#include "vopack/internal/OstrelDecodeFast.h"

namespace {

using namespace ostrel;
using namespace ostrel::decode;

// Fewer unread stream bytes than this, with more of the stream to come, ends
// a call with NeedInput: every token then still finds its bytes loaded.
constexpr int InputReserve = 256;
// A call stops once more than this many decoded bytes are unreported.
constexpr int OutputLimit = ChunkSize;
// Bytes that a call gathers before it reports them, short of the end.
constexpr int MinReport = HistorySize;

static_assert(DecodeInBufSize >= InputReserve - 1 + ChunkSize);
// The last token of a call starts at most OutputLimit bytes in; every copy
// may write CopySlack (a match) or 2 * LiteralStep (literals) bytes past it.
static_assert(DecodeOutBufSize >= HistorySize + OutputLimit + MaxMatchLength + CopySlack);
static_assert(DecodeOutBufSize >= HistorySize + OutputLimit + 1 + 2 * LiteralStep);
static_assert(LiteralOverread == 2 * LiteralStep);


}  // namespace

TOstrelDecode::TOstrelDecode()
    : IsOpen(false), IsEnd(true), DstSize(0), SrcSize(0), NeedInput(false), InBuf(nullptr), OutBuf(nullptr),
      SrcPos(0), DstPos(0), InCur(nullptr), OutCur(nullptr), InBase(0), InLoaded(0), OutBase(0), FlagBits(0),
      FlagMask(FirstFlagMask), FlagIndex(0), IsError(false) {}

TOstrelDecode::~TOstrelDecode() {
    if (IsOpen) Close();
}

unsigned char* TOstrelDecode::Open(int dstSize, int srcSize) {
    if (IsOpen) Close();
    DstSize = dstSize;
    SrcSize = srcSize;
    InBuf = plat::TakeFixed(DecodeInBufSize);
    if (!InBuf) return nullptr;
    OutBuf = plat::TakeFixed(DecodeOutBufSize);
    if (!OutBuf) {
        plat::GiveBack(InBuf);
        return nullptr;
    }
    NeedInput = true;
    SrcPos = 0;
    InBase = 0;
    InLoaded = 0;
    InCur = InBuf;
    DstPos = 0;
    OutBase = 0;
    OutCur = OutBuf + HistorySize;
    FlagBits = 0;
    FlagMask = FirstFlagMask;
    FlagIndex = 0;
    IsError = false;
    IsOpen = true;
    IsEnd = false;
    return OutCur;
}

unsigned char* TOstrelDecode::OpenAt(int dstStart, int srcStart, int dstSize, int srcSize) {
    if (dstStart < 0 || dstStart >= dstSize || srcStart < 0 || srcStart > srcSize) {
        Close();
        return nullptr;
    }
    unsigned char* area = Open(dstSize, srcSize);
    if (!area) return nullptr;
    std::memset(OutBuf, 0, HistorySize);
    SrcPos = InBase = InLoaded = srcStart;
    DstPos = OutBase = dstStart;
    return area;
}

bool TOstrelDecode::Close() {
    if (IsOpen) {
        plat::GiveBack(InBuf);
        plat::GiveBack(OutBuf);
        InCur = nullptr;
        OutCur = nullptr;
        IsOpen = false;
    }
    return true;
}

int TOstrelDecode::Decode(const unsigned char* data) {
    if (!IsOpen || IsEnd) return 0;
    if (DstSize <= 0) {
        // Nothing to decode: a stream of any bytes, or a negative size, is damage.
        IsEnd = true;
        IsError = DstSize < 0 || SrcSize != 0;
        return 0;
    }
    const bool fed = !NeedInput || Refill(data);
    if (DstPos - OutBase >= MinReport) Turnover();
    if (fed)
        DecodeTokens();
    else
        Fail();
    const int r = DstPos - OutBase;
    return r < MinReport && !IsEnd ? 0 : r;
}

bool TOstrelDecode::Refill(const unsigned char* data) {
    // Fewer than InputReserve bytes are unread here, so they and a whole
    // chunk fit in InBuf.
    const int unread = InLoaded - SrcPos;
    if (unread > 0) std::memmove(InBuf, InCur, static_cast<std::size_t>(unread));
    InBase = SrcPos;
    InCur = InBuf;
    if (SrcSize > InLoaded) {
        if (!data) return false;
        const int n = std::min(ChunkSize, SrcSize - InLoaded);
        std::memcpy(InBuf + (InLoaded - InBase), data, static_cast<std::size_t>(n));
        InLoaded += n;
    }
    NeedInput = false;
    return true;
}

void TOstrelDecode::Turnover() {
    // The bytes from OutBase on were reported; keep the last 1,536 as history.
    std::memcpy(OutBuf, OutCur - HistorySize, HistorySize);
    OutBase = DstPos;
    OutCur = OutBuf + HistorySize;
}

void TOstrelDecode::Fail() {
    IsError = true;
    IsEnd = true;
}

void TOstrelDecode::DecodeTokens() {
    TCursor c{InCur, OutCur, FlagBits, FlagMask, FlagIndex};
    unsigned char* const area = OutBuf + HistorySize;
    const std::ptrdiff_t loadedAt = InLoaded - InBase;
    // NeedInput once the stream offset passes needAt (never when all is loaded).
    const std::ptrdiff_t needAt = InLoaded < SrcSize ? loadedAt - InputReserve : DecodeInBufSize;
    const TCallBounds bounds{InBuf,
                             DecodeInBufSize,
                             loadedAt,
                             std::min(loadedAt, needAt + 1),
                             area,
                             std::min(DstSize - OutBase, OutputLimit + 1),
                             OutBase,
                             DstSize};

    // Whole groups first, then groups with a test per token, then careful
    // steps only. Once past a limit the cursor stays past it for the call.
    const std::ptrdiff_t fastIn = std::min(needAt - FastGroupInput, loadedAt - FastGroupInput - LiteralOverread);
    const std::ptrdiff_t fastOutFirst = OutBase > 0 ? 0 : WindowSize;
    const std::ptrdiff_t fastOutLast = bounds.OutEnd - FastGroupOutput - 1;
    const std::ptrdiff_t fastOutTokenLast = bounds.OutEnd - ShortMatchMax - 1;
    enum { kGroups, kTokens, kCareful } fast = kCareful;
    TFastLimits limits{};
    if (fastIn >= 0 && fastOutTokenLast >= fastOutFirst) {
        fast = fastOutLast >= fastOutFirst ? kGroups : kTokens;
        limits = {InBuf + fastIn, area + fastOutFirst, area + std::max(fastOutLast, fastOutFirst),
                  area + fastOutTokenLast};
    }

    bool sound = true;
    for (;;) {
        if (fast == kGroups && c.Out >= limits.OutFirst) {
            DecodeFastGroups<false>(c, limits);
            if (c.Out > limits.OutLast) fast = kTokens;
        }
        if (fast == kTokens && c.Out >= limits.OutFirst) {
            DecodeFastGroups<true>(c, limits);
            if (c.Out > limits.OutTokenLast) fast = kCareful;
        }
        if (fast != kCareful && c.In > limits.InLast) fast = kCareful;

        if (!CarefulStep(c, bounds)) {
            sound = false;
            break;
        }
        const std::ptrdiff_t outAt = c.Out - area;
        if (OutBase + outAt >= DstSize) {
            IsEnd = true;
            break;
        }
        if (c.In - InBuf > needAt) {
            NeedInput = true;
            break;
        }
        if (outAt > OutputLimit) break;
    }

    InCur = c.In;
    OutCur = c.Out;
    SrcPos = InBase + static_cast<int>(c.In - InBuf);
    DstPos = OutBase + static_cast<int>(c.Out - area);
    FlagBits = c.Bits;
    FlagMask = c.Mask;
    FlagIndex = c.Index;
    if (!sound)
        Fail();
    else if (IsEnd && SrcPos != SrcSize)
        IsError = true;  // bytes left over after the last token
}
