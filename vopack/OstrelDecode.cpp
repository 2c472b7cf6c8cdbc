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
        const unsigned char* src = dst - distance;
        for (int i = 0; i < length; i += 16) std::memcpy(dst + i, src + i, 16);
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
            const int code = p[used++];
            const int lengthClass = code >> 4;
            const int distanceClass = code & 15;
            int length;
            if (lengthClass == LengthClassWord) {
                length = p[used] | p[used + 1] << 8;
                used += 2;
            } else if (lengthClass == LengthClassByte) {
                length = p[used++];
            } else {
                length = lengthClass + 1;
            }
            const int distance = distanceClass >= DistanceClassByte ? DecodedDistance(distanceClass, p[used++])
                                                                    : distanceClass + 1;
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
            run = std::min(run, dstSize - dstPos);
            run = std::min(run, loaded - srcPos);
            if (needAt != INT_MAX) run = std::min(run, std::max(1, needAt - srcPos + 1));
            run = std::min(run, std::max(1, OutputLimit + 1 - (dstPos - outBase)));
            std::memcpy(out, in, static_cast<std::size_t>(run));
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
