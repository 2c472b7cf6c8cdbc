// TFailingStream: bytes in memory that stop moving after a budget of bytes
// has been read or written: the transfer comes up short, or raises EReadError /
// EWriteError when told to. Seeks are counted.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "classlib/Streams.h"

namespace packtest {

class TFailingStream : public TStream {
public:
    explicit TFailingStream(std::vector<unsigned char> bytes, int budget = kMaxStreamSize, bool raise = false)
        : FBytes(std::move(bytes)), FBudget(budget), FRaise(raise) {}

    int Read(void* buffer, int count) override {
        const int n = std::min({count, FBudget, static_cast<int>(FBytes.size()) - std::min(FPos, Size())});
        if (n < count && FBudget < count && FRaise) throw EReadError("read budget used up");
        if (n <= 0) return 0;
        std::memcpy(buffer, FBytes.data() + FPos, static_cast<std::size_t>(n));
        FPos += n;
        FBudget -= n;
        return n;
    }
    int Write(const void* buffer, int count) override {
        const int n = std::min(count, FBudget);
        if (n < count && FRaise) throw EWriteError("write budget used up");
        if (n <= 0) return 0;
        if (FPos + n > Size()) FBytes.resize(static_cast<std::size_t>(FPos + n));
        std::memcpy(FBytes.data() + FPos, buffer, static_cast<std::size_t>(n));
        FPos += n;
        FBudget -= n;
        return n;
    }
    int Seek(int offset, int origin) override {
        ++Seeks;
        long long target = origin == soFromBeginning ? offset
                           : origin == soFromCurrent ? static_cast<long long>(FPos) + offset
                           : origin == soFromEnd     ? static_cast<long long>(Size()) + offset
                                                     : -1;
        if (target < 0 || target > kMaxStreamSize) return -1;
        FPos = static_cast<int>(target);
        return FPos;
    }
    int Size() override { return static_cast<int>(FBytes.size()); }

    void SetBudget(int budget) { FBudget = budget; }
    const std::vector<unsigned char>& Bytes() const { return FBytes; }
    int Seeks = 0;

private:
    std::vector<unsigned char> FBytes;
    int FPos = 0;
    int FBudget;
    bool FRaise;
};

}  // namespace packtest
