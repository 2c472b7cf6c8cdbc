#include "vopack/OstrelDecode.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#include "platform/Platform.h"
#include "vopack/OstrelDecodeCopy.h"
#include "vopack/OstrelDecodeFast.h"

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
// Literal runs (at most 32) are copied in two steps of this size.
constexpr int LiteralStep = TokensPerGroup / 2;

static_assert(DecodeInBufSize >= InputReserve - 1 + ChunkSize);
// The last token of a call starts at most OutputLimit bytes in; every copy
// may write CopySlack (a match) or 2 * LiteralStep (literals) bytes past it.
static_assert(DecodeOutBufSize >= HistorySize + OutputLimit + MaxMatchLength + CopySlack);
static_assert(DecodeOutBufSize >= HistorySize + OutputLimit + 1 + 2 * LiteralStep);
static_assert(LiteralOverread == 2 * LiteralStep);

unsigned char* TakeBlock(int bytes) {
    return static_cast<unsigned char*>(plat::GlobalAlloc(plat::GMEM_FIXED, static_cast<plat::SIZE_T>(bytes)));
}

void GiveBack(unsigned char*& block) {
    if (block) plat::GlobalFree(block);
    block = nullptr;
}

// What a code byte says, so that a match token is parsed without branches:
// length = LengthAdd + (the bytes after the code & LengthMask), distance =
// DistanceBase + (the byte at DistanceAt & DistanceMask).
struct TCodeInfo {
    std::uint16_t LengthAdd;
    std::uint16_t LengthMask;
    std::uint16_t DistanceBase;
    std::uint8_t DistanceMask;
    std::uint8_t DistanceShift;  // 8 * offset of the distance byte from the code
    std::uint8_t Size;           // bytes of the token
};

struct TCodeTable {
    TCodeInfo Info[256];
};

constexpr TCodeTable MakeCodeTable() {
    TCodeTable t{};
    for (int code = 0; code < 256; ++code) {
        const int lengthClass = code >> 4;
        const int distanceClass = code & 15;
        const int lengthBytes = lengthClass == LengthClassWord ? 2 : lengthClass == LengthClassByte ? 1 : 0;
        const bool distanceByte = distanceClass >= DistanceClassByte;
        TCodeInfo& i = t.Info[code];
        i.LengthAdd = static_cast<std::uint16_t>(lengthBytes ? 0 : lengthClass + 1);
        i.LengthMask = static_cast<std::uint16_t>(lengthBytes == 2 ? 0xFFFF : lengthBytes == 1 ? 0xFF : 0);
        i.DistanceBase = static_cast<std::uint16_t>(DecodedDistance(distanceClass, 0));
        i.DistanceMask = distanceByte ? 0xFF : 0;
        i.DistanceShift = static_cast<std::uint8_t>(8 * (1 + lengthBytes));
        i.Size = static_cast<std::uint8_t>(1 + lengthBytes + (distanceByte ? 1 : 0));
    }
    return t;
}

constexpr TCodeTable CodeTable = MakeCodeTable();

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
    InBuf = TakeBlock(DecodeInBufSize);
    if (!InBuf) return nullptr;
    OutBuf = TakeBlock(DecodeOutBufSize);
    if (!OutBuf) {
        GiveBack(InBuf);
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

bool TOstrelDecode::Close() {
    if (IsOpen) {
        GiveBack(InBuf);
        GiveBack(OutBuf);
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
    // Positions as offsets: into InBuf for the stream, from the output area
    // (decoded position OutBase) for the output.
    unsigned char* const area = OutBuf + HistorySize;
    const int dstSize = DstSize;
    const int outBase = OutBase;
    const std::ptrdiff_t loadedAt = InLoaded - InBase;
    // NeedInput once the stream offset passes needAt (never when all is loaded).
    const std::ptrdiff_t needAt = InLoaded < SrcSize ? loadedAt - InputReserve : DecodeInBufSize;
    // The call ends once the output offset reaches outEnd: the decoded size
    // or one byte past the output limit.
    const std::ptrdiff_t outEnd = std::min(dstSize - outBase, OutputLimit + 1);
    // A run of literals stops where the stream runs out or needAt is passed.
    const std::ptrdiff_t srcFence = std::min(loadedAt, needAt + 1);

    const std::ptrdiff_t fastIn = std::min(needAt - FastGroupInput, loadedAt - FastGroupInput - LiteralOverread);
    const std::ptrdiff_t fastOutFirst = outBase > 0 ? 0 : WindowSize;
    const std::ptrdiff_t fastOutLast = outEnd - FastGroupOutput - 1;
    bool fast = fastIn >= 0 && fastOutLast >= fastOutFirst;
    const TFastLimits limits = fast ? TFastLimits{InBuf + fastIn, area + fastOutFirst, area + fastOutLast}
                                    : TFastLimits{nullptr, nullptr, nullptr};

    bool broken = false;
    unsigned char pad[MaxGroupStepSize];
    for (;;) {
        if (fast && c.Out >= limits.OutFirst) {
            DecodeFastGroups(c, limits);
            // Once past a limit the cursor stays past it for the rest of the call.
            fast = c.In <= limits.InLast && c.Out <= limits.OutLast;
        }

        // One careful step: a token, or a run of literals, with every test.
        // Near the end of the loaded stream a token is parsed from a zero-
        // padded copy and then checked against the bytes that really exist.
        const std::ptrdiff_t avail = loadedAt - (c.In - InBuf);
        const int dstPos = outBase + static_cast<int>(c.Out - area);
        const unsigned char* p = c.In;
        if (avail < MaxGroupStepSize) [[unlikely]] {
            std::memset(pad, 0, sizeof pad);
            std::memcpy(pad, c.In, static_cast<std::size_t>(std::max<std::ptrdiff_t>(avail, 0)));
            p = pad;
        }
        int used = 0;
        if (c.Index == 0) {
            c.Bits = Load32Le(p);
            c.Mask = FirstFlagMask;
            used = FlagWordSize;
        }
        int tokens;
        if (c.Bits & c.Mask) {
            // Four bytes from the code on are always there (padded near the end).
            const std::uint32_t word = Load32Le(p + used);
            const TCodeInfo& info = CodeTable.Info[word & 0xFF];
            int length = info.LengthAdd + static_cast<int>((word >> 8) & info.LengthMask);
            const int distance = info.DistanceBase + static_cast<int>((word >> info.DistanceShift) & info.DistanceMask);
            used += info.Size;
            if (used > avail || length == 0 || length > MaxMatchLength || distance == 0 || distance > dstPos) {
                broken = true;
                break;
            }
            c.In += used;
            if (length > dstSize - dstPos) {
                length = dstSize - dstPos;
                broken = true;
            }
            CopyMatch(c.Out, static_cast<std::size_t>(distance), static_cast<std::size_t>(length));
            c.Out += length;
            tokens = 1;
        } else {
            if (used >= avail) {
                broken = true;
                break;
            }
            c.In += used;
            // Take the whole run of literals announced by clear flag bits,
            // cut where one of the end-of-call tests below would fire.
            int run = std::min(std::countl_zero(c.Bits << c.Index), TokensPerGroup - c.Index);
            const std::ptrdiff_t room = std::min(srcFence - (c.In - InBuf), outEnd - (c.Out - area));
            run = static_cast<int>(std::min<std::ptrdiff_t>(run, std::max<std::ptrdiff_t>(1, room)));
            if (c.In - InBuf + 2 * LiteralStep <= DecodeInBufSize) {
                // Whole steps: the bytes past the run land beyond OutCur and
                // are overwritten before anything reports them.
                std::memcpy(c.Out, c.In, LiteralStep);
                if (run > LiteralStep) std::memcpy(c.Out + LiteralStep, c.In + LiteralStep, LiteralStep);
            } else {
                std::memcpy(c.Out, c.In, static_cast<std::size_t>(run));
            }
            c.In += run;
            c.Out += run;
            tokens = run;
        }
        c.Index += tokens;
        if (c.Index == TokensPerGroup) {
            c.Index = 0;
            c.Mask = 1;
        } else {
            c.Mask >>= tokens;
        }
        const std::ptrdiff_t outAt = c.Out - area;
        if (outBase + outAt >= dstSize) {
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
    DstPos = outBase + static_cast<int>(c.Out - area);
    FlagBits = c.Bits;
    FlagMask = c.Mask;
    FlagIndex = c.Index;
    if (broken)
        Fail();
    else if (IsEnd && SrcPos != SrcSize)
        IsError = true;  // bytes left over after the last token
}
