#include "vopack/OstrelEncode.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#include "platform/GlobalBlock.h"
#include "platform/Platform.h"
#include "vopack/internal/LittleEndian.h"
#include "vopack/internal/OstrelSearch.h"
#include "vopack/internal/OstrelTokenWrite.h"
#include "vopack/StreamFormat.h"

using namespace ostrel;

namespace {

// InBuf: history, then two chunks. A token is started only while SrcPos lies
// at most one chunk past InBase, so its window (1,535 back) and lookahead
// (8,192 on) stay inside the loaded input.
constexpr int HistoryBytes = HistorySize;
constexpr int KeptOnShift = HistorySize + ChunkSize;  // moved down by one chunk per running call
static_assert(TOstrelEncode::InBufSize == HistorySize + 2 * ChunkSize);
static_assert(HistorySize + ChunkSize + MaxMatchLength <= TOstrelEncode::InBufSize);
// Worst call: the open group carried over (flag word + 31 tokens of 4 bytes),
// 16,384 input bytes of tokens no longer than their input, a last token of 4
// bytes and a flag word for each of the 16,385 tokens' groups.
static_assert(FlagWordSize + 31 * MaxTokenSize + ChunkSize + MaxTokenSize +
                  FlagWordSize * ((ChunkSize + 1 + TokensPerGroup - 1) / TokensPerGroup) <=
              TOstrelEncode::OutBufSize);

// Match tokens may store up to three bytes from their first one on (see
// PutMatch), even the last one of the worst call above.
static_assert(FlagWordSize + 31 * MaxTokenSize + ChunkSize + MaxTokenSize +
                  FlagWordSize * ((ChunkSize + 1 + TokensPerGroup - 1) / TokensPerGroup) + MaxTokenSize - 1 <=
              TOstrelEncode::OutBufSize);

// Everything an open encoder holds, as its header says.
static_assert(sizeof(TOstrelEncode) + TOstrelEncode::InBufSize + TOstrelEncode::OutBufSize +
                  sizeof(TOstrelSearchTables) <
              222 * 1024);

void StoreLittle32(unsigned char* at, std::uint32_t v) { vopack::internal::StoreLE32(at, v); }

}  // namespace

TOstrelEncode::TOstrelEncode()
    : IsOpen(false),
      IsEnd(true),
      SrcSize(0),
      LoadCount(0),
      InBuf(nullptr),
      OutBuf(nullptr),
      SrcPos(0),
      OutPos(0),
      InCur(nullptr),
      OutCur(nullptr),
      InBase(0),
      OutBase(0),
      FlagBits(0),
      FlagMask(FirstFlagMask),
      FlagCount(0),
      FlagSlot(nullptr),
      DoneSize(0),
      UseReferenceSearch(false),
      IsOverflow(false),
      SearchFail{},
      FTables(nullptr),
      FWindowStart(0) {}

TOstrelEncode::~TOstrelEncode() {
    if (IsOpen) Close();
}

unsigned char* TOstrelEncode::Open(int size) { return OpenAt(0, 0, size); }

unsigned char* TOstrelEncode::OpenAt(int inputStart, int streamStart, int size) {
    if (IsOpen) Close();
    if (size < 0 || inputStart < 0 || inputStart % 65536 != 0 || size > INT_MAX - inputStart || streamStart < 0 ||
        streamStart > INT_MAX - FlagWordSize)
        return nullptr;
    SrcSize = inputStart + size;
    InBuf = plat::TakeFixed(InBufSize);
    if (InBuf == nullptr) return nullptr;
    OutBuf = plat::TakeFixed(OutBufSize);
    FTables = plat::TakeFixed<TOstrelSearchTables>(sizeof(TOstrelSearchTables));
    if (OutBuf == nullptr || FTables == nullptr) {
        plat::GiveBack(InBuf);
        plat::GiveBack(OutBuf);
        plat::GiveBack(FTables);
        return nullptr;
    }
    ResetSearch(*FTables);

    LoadCount = 0;
    InBase = inputStart;
    SrcPos = inputStart;
    FWindowStart = inputStart;
    InCur = InBuf + HistoryBytes;
    DoneSize = streamStart;
    OutBase = streamStart;
    FlagSlot = OutBuf;
    OutCur = OutBuf + FlagWordSize;  // the first group's flag word is reserved at once
    OutPos = streamStart + FlagWordSize;
    FlagBits = 0;
    FlagMask = FirstFlagMask;
    FlagCount = 0;
    IsOverflow = false;
    IsOpen = true;
    IsEnd = false;
    return OutBuf;
}

bool TOstrelEncode::Close() {
    if (IsOpen) {
        plat::GiveBack(InBuf);
        plat::GiveBack(OutBuf);
        plat::GiveBack(FTables);
        InCur = OutCur = FlagSlot = nullptr;
        IsOpen = false;
    }
    return true;
}

bool TOstrelEncode::ChunkDue() const {
    // While loading InBase is still the first input position.
    return SrcSize - InBase > (LoadCount < 2 ? LoadCount : 2) * ChunkSize;
}

int TOstrelEncode::Encode(unsigned char* data) {
    if (!IsOpen || IsEnd) return 0;
    // No chunk where one is due: refused, so that a later call with the
    // chunk carries on with nothing lost.
    if (data == nullptr && ChunkDue()) return 0;

    if (LoadCount < 2) {
        const int rest = SrcSize - InBase - LoadCount * ChunkSize;
        const int n = std::min(ChunkSize, rest);
        if (n > 0) std::memcpy(InBuf + HistoryBytes + LoadCount * ChunkSize, data, n);
        if (rest > ChunkSize)
            ++LoadCount;
        else
            LoadCount = 2;
        if (LoadCount < 2) return 0;
        InCur = InBuf + HistoryBytes;
    } else {
        std::memmove(InBuf, InBuf + ChunkSize, KeptOnShift);
        if (SrcSize - InBase > 2 * ChunkSize)  // input past the loaded part (no overflow near 2 GiB)
            std::memcpy(InBuf + KeptOnShift, data, std::min(ChunkSize, SrcSize - InBase - 2 * ChunkSize));
        InBase += ChunkSize;
        InCur = InBuf + HistoryBytes + (SrcPos - InBase);
    }

    if (DoneSize > OutBase) {
        // The bytes before DoneSize went out with the previous call; only the
        // open group stays.
        std::memmove(OutBuf, OutBuf + (DoneSize - OutBase), OutPos - DoneSize);
        OutBase = DoneSize;
        OutCur = OutBuf + (OutPos - DoneSize);
        FlagSlot = OutBuf;
    }

    if (SrcPos >= SrcSize) {
        IsEnd = true;  // only an empty input gets here: the stream is empty
        return DoneSize - OutBase;
    }
    CodeTokens();
    return IsOverflow ? 0 : DoneSize - OutBase;
}

namespace {


// The fast match finder: each token's first position is entered by the
// search, the rest of a match after it. Code hands the token to write and
// gives its length in the input.
struct TFastFinder {
    TOstrelSearchTables& Tables;
    int Size;
    int WindowStart;

    template <bool Steady, typename TWrite>
    OSTREL_ALWAYS_INLINE int Code(const unsigned char* in, int pos, TWrite&& write) const {
        return FindMatchAndEnter<Steady>(Tables, in, pos, Size, WindowStart, [&](TMatch m) {
            write(m);
            EnterMatchRest<Steady>(Tables, in, pos, m.Length, Size);
            return m.Length + (m.Length == 0);
        });
    }
};

// The exhaustive search, with the token-size rule deciding literal or match.
struct TReferenceFinder {
    TOstrelEncode& Encoder;
    int Size;
    int WindowStart;

    template <bool Steady, typename TWrite>
    int Code(unsigned char* in, int pos, TWrite&& write) const {
        unsigned short length;
        unsigned short distance;
        // Positions from the window's start: the search sees no window before it.
        Encoder.NewSearch(in, pos - WindowStart, Size - WindowStart, length, distance);
        const bool match = length != 0 && MatchTokenSize(length, distance) <= length;
        write(match ? TMatch{length, distance} : TMatch{0, 0});
        return match ? length : 1;
    }
};

}  // namespace

// The token loop on locals: the output goes through a byte pointer, which
// may alias any member, so members would be reloaded after every store (the
// group close, once per 32 tokens, may use them). The flag mask counts the
// tokens of the open group: it is 0 once 32 have been shifted past.
template <typename TFinder>
void TOstrelEncode::CodeTokensWith(TFinder finder) {
    const int size = SrcSize;
    // A token starts at InBase + ChunkSize at the latest; past stop the loop
    // looks at the end of the call and of the input. Written so that no sum
    // passes 2^31 - 1 near the end of the longest inputs (InBase <= SrcPos < size).
    const int stop = InBase + std::min(ChunkSize, size - 1 - InBase);
    const int steadyFirst = static_cast<int>(std::min<std::int64_t>(std::int64_t{FWindowStart} + WindowSize, INT_MAX));
    const int steadyLast = size - SteadyTail;  // see OstrelSearch.h
    unsigned char* in = InCur;
    int pos = SrcPos;
    unsigned char* out = OutCur;
    std::uint32_t flagBits = FlagBits;
    std::uint32_t flagMask = FlagMask;  // 0 once the group holds 32 tokens
    bool overflow = false;

    for (;;) {
        const auto write = [&](TMatch m) {
            if (m.Length == 0) {
                *out++ = *in;
            } else {
                flagBits |= flagMask;
                out = PutMatch(out, m.Length, m.Distance);
            }
        };
        const bool steady = pos >= steadyFirst && pos <= steadyLast;
        const int taken = steady ? finder.template Code<true>(in, pos, write) : finder.template Code<false>(in, pos, write);
        in += taken;
        pos += taken;
        flagMask >>= 1;
        if (flagMask != 0 && pos <= stop) continue;

        // Once per group, and at the end of the call: the flag slot lives in
        // the member, out of the way of the token loop's registers. Here too
        // the stream's length is tested against the int positions.
        if (pos >= size || flagMask == 0) {
            if (!StreamFits(out, 0)) {
                overflow = true;
                break;
            }
            StoreLittle32(FlagSlot, flagBits);
            DoneSize = OutBase + static_cast<int>(out - OutBuf);
            if (pos < size) {
                if (!StreamFits(out, FlagWordSize)) {
                    overflow = true;
                    break;
                }
                FlagSlot = out;
                out += FlagWordSize;
                flagBits = 0;
                flagMask = FirstFlagMask;
            }
        }
        if (pos >= size) {
            IsEnd = true;
            break;
        }
        if (pos - InBase > ChunkSize) break;
    }
    // A call may also end inside a group that already passes the limit.
    if (overflow || !StreamFits(out, 0)) {
        // DoneSize keeps the end of the last group that fits.
        IsOverflow = true;
        IsEnd = true;
        return;
    }

    InCur = in;
    SrcPos = pos;
    OutCur = out;
    OutPos = OutBase + static_cast<int>(out - OutBuf);
    FlagBits = flagBits;
    FlagMask = flagMask;
    FlagCount = std::countl_zero(flagMask);  // tokens shifted past
}

// Whether the stream up to out, and reserve bytes more, keeps every stream
// position within an int.
bool TOstrelEncode::StreamFits(const unsigned char* out, int reserve) const {
    return std::int64_t{OutBase} + (out - OutBuf) + reserve <= INT_MAX;
}

void TOstrelEncode::CodeTokens() {
    if (UseReferenceSearch)
        CodeTokensWith(TReferenceFinder{*this, SrcSize, FWindowStart});
    else
        CodeTokensWith(TFastFinder{*FTables, SrcSize, FWindowStart});
}

void TOstrelEncode::NewSearch(unsigned char* data, int pos, int size, unsigned short& length,
                              unsigned short& distance) {
    std::memset(SearchFail, 0, sizeof SearchFail);
    const int k0 = pos < WindowSize ? WindowSize - pos : 0;
    const int maxlen = size - pos >= MaxMatchLength ? MaxMatchLength : size - pos;
    int found = 0;
    int back = 0;
    for (int j = 0; j < maxlen; ++j) {
        const unsigned char c = data[j];
        int best = -1;
        for (int k = k0; k < WindowSize; ++k) {
            if (SearchFail[k] == 0) {
                if (data[j - (WindowSize - k)] == c)
                    best = k;
                else
                    SearchFail[k] = 1;
            }
        }
        if (best < 0) break;
        back = WindowSize - best;
        found = j + 1;
    }
    length = static_cast<unsigned short>(found);
    distance = static_cast<unsigned short>(back);
}

unsigned short TOstrelEncode::Search(unsigned char* a, unsigned char* b, unsigned short n) {
    unsigned short i = 0;
    while (i < n && a[i] == b[i]) ++i;
    return i;
}
