#include "vopack/OstrelDecode.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#include "platform/Platform.h"

namespace {

using namespace ostrel;

// Fewer unread stream bytes than this, with more of the stream to come, ends
// a call with NeedInput: every token then still finds its bytes loaded.
constexpr int InputReserve = 256;
// A call stops once more than this many decoded bytes are unreported.
constexpr int OutputLimit = ChunkSize;
// Bytes that a call gathers before it reports them, short of the end.
constexpr int MinReport = HistorySize;
// CopyMatch may write this many bytes past a match; OutBuf has room for them.
constexpr int CopySlack = 16;
// Literal runs (at most 32) are copied in two steps of this size.
constexpr int LiteralStep = TokensPerGroup / 2;

static_assert(DecodeInBufSize >= InputReserve - 1 + ChunkSize);
static_assert(DecodeOutBufSize >= HistorySize + OutputLimit + MaxMatchLength + CopySlack);

unsigned char* TakeBlock(int bytes) {
    return static_cast<unsigned char*>(plat::GlobalAlloc(plat::GMEM_FIXED, static_cast<plat::SIZE_T>(bytes)));
}

void GiveBack(unsigned char*& block) {
    if (block) plat::GlobalFree(block);
    block = nullptr;
}

// Copies length bytes from dst - distance to dst with the result of a byte-by-
// byte copy (a distance below the length repeats the last distance bytes), in
// wide steps. May write up to CopySlack - 1 bytes past dst + length.
inline void CopyMatch(unsigned char* dst, int distance, int length) {
    if (distance >= 16) {
        // Each 16-byte step reads bytes that are final before it writes.
        // Most matches are short: one step, then a loop for the rest.
        const unsigned char* src = dst - distance;
        std::memcpy(dst, src, 16);
        for (int i = 16; i < length; i += 16) std::memcpy(dst + i, src + i, 16);
        return;
    }
    if (distance == 1) {
        std::memset(dst, dst[-1], static_cast<std::size_t>(length));
        return;
    }
    // A short period repeats at any multiple of itself: copy the first bytes
    // one by one, then 8 at a time from a multiple of at least 8 back.
    int period = distance;
    while (period < 8) period += distance;
    const int head = std::min(length, period - distance);
    for (int i = 0; i < head; ++i) dst[i] = dst[i - distance];
    for (int i = head; i < length; i += 8) std::memcpy(dst + i, dst + i - period, 8);
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

inline std::uint32_t Load32Le(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

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
    unsigned char* in = InCur;
    unsigned char* out = OutCur;
    int srcPos = SrcPos;
    int dstPos = DstPos;
    std::uint32_t bits = FlagBits;
    std::uint32_t mask = FlagMask;
    int index = FlagIndex;
    const int loaded = InLoaded;
    const int dstSize = DstSize;
    const int outBase = OutBase;
    // NeedInput as soon as srcPos passes needAt.
    const int needAt = loaded < SrcSize ? loaded - InputReserve : INT_MAX;
    // A run of literals stops where the stream runs out or needAt is passed,
    // and where the decoded size or the output limit is reached.
    const int srcFence = needAt == INT_MAX ? loaded : std::min(loaded, needAt + 1);
    const int dstFence = outBase + std::min(dstSize - outBase, OutputLimit + 1);
    bool broken = false;
    unsigned char pad[MaxGroupStepSize];

    for (;;) {
        // Near the end of the loaded stream a token is parsed from a zero-
        // padded copy and then checked against the bytes that really exist.
        const int avail = loaded - srcPos;
        const unsigned char* p = in;
        if (avail < MaxGroupStepSize) {
            std::memset(pad, 0, sizeof pad);
            std::memcpy(pad, in, static_cast<std::size_t>(std::max(avail, 0)));
            p = pad;
        }
        int used = 0;
        if (index == 0) {
            bits = Load32Le(p);
            mask = FirstFlagMask;
            used = FlagWordSize;
        }
        int tokens;
        if (bits & mask) {
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
            in += used;
            srcPos += used;
            if (length > dstSize - dstPos) {
                length = dstSize - dstPos;
                broken = true;
            }
            CopyMatch(out, distance, length);
            out += length;
            dstPos += length;
            tokens = 1;
        } else {
            if (used >= avail) {
                broken = true;
                break;
            }
            in += used;
            srcPos += used;
            // Take the whole run of literals announced by clear flag bits,
            // cut where one of the end-of-call tests below would fire.
            int run = std::min(std::countl_zero(bits << index), TokensPerGroup - index);
            run = std::min(run, std::max(1, std::min(srcFence - srcPos, dstFence - dstPos)));
            if (in - InBuf + 2 * LiteralStep <= DecodeInBufSize) {
                // Whole steps: the bytes past the run land beyond OutCur and
                // are overwritten before anything reports them.
                std::memcpy(out, in, LiteralStep);
                if (run > LiteralStep) std::memcpy(out + LiteralStep, in + LiteralStep, LiteralStep);
            } else {
                std::memcpy(out, in, static_cast<std::size_t>(run));
            }
            in += run;
            srcPos += run;
            out += run;
            dstPos += run;
            tokens = run;
        }
        index += tokens;
        if (index == TokensPerGroup) {
            index = 0;
            mask = 1;
        } else {
            mask >>= tokens;
        }
        if (dstPos >= dstSize) {
            IsEnd = true;
            break;
        }
        if (srcPos > needAt) {
            NeedInput = true;
            break;
        }
        if (dstPos - outBase > OutputLimit) break;
    }

    InCur = in;
    OutCur = out;
    SrcPos = srcPos;
    DstPos = dstPos;
    FlagBits = bits;
    FlagMask = mask;
    FlagIndex = index;
    if (broken)
        Fail();
    else if (IsEnd && srcPos != SrcSize)
        IsError = true;  // bytes left over after the last token
}
