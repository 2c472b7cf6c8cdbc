#include "vopack/OstrelEncode.h"

#include <algorithm>
#include <cstring>

#include "platform/Platform.h"
#include "vopack/OstrelSearch.h"
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

// Everything an open encoder holds, as its header says.
static_assert(sizeof(TOstrelEncode) + TOstrelEncode::InBufSize + TOstrelEncode::OutBufSize +
                  sizeof(TOstrelSearchTables) <
              222 * 1024);

unsigned char* TakeBlock(plat::SIZE_T bytes) {
    return static_cast<unsigned char*>(plat::GlobalAlloc(plat::GMEM_FIXED, bytes));
}

template <typename T>
void GiveBack(T*& block) {
    if (block != nullptr) plat::GlobalFree(block);
    block = nullptr;
}

void StoreLittle32(unsigned char* at, std::uint32_t v) {
    at[0] = static_cast<unsigned char>(v);
    at[1] = static_cast<unsigned char>(v >> 8);
    at[2] = static_cast<unsigned char>(v >> 16);
    at[3] = static_cast<unsigned char>(v >> 24);
}

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
      SearchFail{},
      FTables(nullptr) {}

TOstrelEncode::~TOstrelEncode() {
    if (IsOpen) Close();
}

unsigned char* TOstrelEncode::Open(int size) {
    if (IsOpen) Close();
    if (size < 0) return nullptr;
    SrcSize = size;
    InBuf = TakeBlock(InBufSize);
    if (InBuf == nullptr) return nullptr;
    OutBuf = TakeBlock(OutBufSize);
    FTables = static_cast<TOstrelSearchTables*>(plat::GlobalAlloc(plat::GMEM_FIXED, sizeof(TOstrelSearchTables)));
    if (OutBuf == nullptr || FTables == nullptr) {
        GiveBack(InBuf);
        GiveBack(OutBuf);
        GiveBack(FTables);
        return nullptr;
    }
    ResetSearch(*FTables);

    LoadCount = 0;
    InBase = 0;
    SrcPos = 0;
    InCur = InBuf + HistoryBytes;
    DoneSize = 0;
    OutBase = 0;
    FlagSlot = OutBuf;
    OutCur = OutBuf + FlagWordSize;  // the first group's flag word is reserved at once
    OutPos = FlagWordSize;
    FlagBits = 0;
    FlagMask = FirstFlagMask;
    FlagCount = 0;
    IsOpen = true;
    IsEnd = false;
    return OutBuf;
}

bool TOstrelEncode::Close() {
    if (IsOpen) {
        GiveBack(InBuf);
        GiveBack(OutBuf);
        GiveBack(FTables);
        InCur = OutCur = FlagSlot = nullptr;
        IsOpen = false;
    }
    return true;
}

bool TOstrelEncode::ChunkDue() const {
    return LoadCount < 2 ? SrcSize > LoadCount * ChunkSize : SrcSize - InBase > 2 * ChunkSize;
}

int TOstrelEncode::Encode(unsigned char* data) {
    if (!IsOpen || IsEnd) return 0;
    // No chunk where one is due: refused, so that a later call with the
    // chunk carries on with nothing lost.
    if (data == nullptr && ChunkDue()) return 0;

    if (LoadCount < 2) {
        const int rest = SrcSize - LoadCount * ChunkSize;
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
    return DoneSize - OutBase;
}

void TOstrelEncode::CodeTokens() {
    // The loop works on locals: the output goes through a byte pointer, which
    // may alias any member, so members would be reloaded after every store.
    TOstrelSearchTables* const tables = FTables;
    const bool reference = UseReferenceSearch;
    const int size = SrcSize;
    const int base = InBase;
    unsigned char* in = InCur;
    int pos = SrcPos;
    unsigned char* out = OutCur;
    std::uint32_t flagBits = FlagBits;
    std::uint32_t flagMask = FlagMask;
    int flagCount = FlagCount;
    unsigned char* flagSlot = FlagSlot;
    int doneSize = DoneSize;

    for (;;) {
        unsigned short length;
        unsigned short distance;
        if (reference)
            NewSearch(in, pos, size, length, distance);
        else
            FindLongestMatch(*tables, in, pos, size, length, distance);

        int taken = 1;
        if (length != 0 && MatchTokenSize(length, distance) <= length) {
            flagBits |= flagMask;
            const int lengthClass = LengthClassOf(length);
            const int distanceClass = DistanceClassOf(distance);
            *out++ = static_cast<unsigned char>(lengthClass << 4 | distanceClass);
            if (lengthClass == LengthClassWord) {
                *out++ = static_cast<unsigned char>(length);
                *out++ = static_cast<unsigned char>(length >> 8);
            } else if (lengthClass == LengthClassByte) {
                *out++ = static_cast<unsigned char>(length);
            }
            if (distanceClass >= DistanceClassByte) *out++ = static_cast<unsigned char>(distance);
            taken = length;
        } else {
            *out++ = *in;
        }
        if (!reference) InsertPositions(*tables, in, pos, taken, size);
        flagMask >>= 1;
        ++flagCount;
        in += taken;
        pos += taken;

        if (pos >= size || flagCount == TokensPerGroup) {
            StoreLittle32(flagSlot, flagBits);
            doneSize = OutBase + static_cast<int>(out - OutBuf);
            if (pos < size) {
                flagSlot = out;
                out += FlagWordSize;
                flagBits = 0;
                flagMask = FirstFlagMask;
                flagCount = 0;
            }
        }
        if (pos >= size) {
            IsEnd = true;
            break;
        }
        if (pos - base > ChunkSize) break;
    }

    InCur = in;
    SrcPos = pos;
    OutCur = out;
    OutPos = OutBase + static_cast<int>(out - OutBuf);
    FlagBits = flagBits;
    FlagMask = flagMask;
    FlagCount = flagCount;
    FlagSlot = flagSlot;
    DoneSize = doneSize;
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
