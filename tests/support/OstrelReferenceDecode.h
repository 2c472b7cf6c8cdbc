// A literal, byte-at-a-time model of the stream decoder's call protocol, for
// tests and fuzzers to compare the fast decoder with, call by call. It trusts
// the stream (conforming streams only) but keeps its buffers in vectors with
// checked access, so a stream outside the bounds fails loudly, not silently.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ostreltest {

class TReferenceDecode {
public:
    bool IsEnd = false;
    bool NeedInput = true;
    int DstSize, SrcSize;
    int SrcPos = 0, DstPos = 0, InBase = 0, InLoaded = 0, OutBase = 0, FlagIndex = 0;
    std::uint32_t FlagBits = 0, FlagMask = 0x80000000u;
    std::size_t InCur = 0, OutCur = 1536;  // offsets into the buffers
    std::vector<unsigned char> InBuf = std::vector<unsigned char>(16640);
    std::vector<unsigned char> OutBuf = std::vector<unsigned char>(34304);

    TReferenceDecode(int dstSize, int srcSize) : DstSize(dstSize), SrcSize(srcSize) {}

    // The area's bytes after a call: OutBuf from 1,536 on.
    const unsigned char* Area() const { return OutBuf.data() + 1536; }

    int Decode(const unsigned char* data) {
        if (IsEnd) return 0;
        if (NeedInput) {
            if (InLoaded > SrcPos) {
                std::vector<unsigned char> rest(InBuf.begin() + static_cast<std::ptrdiff_t>(InCur),
                                                InBuf.begin() + static_cast<std::ptrdiff_t>(InCur) + (InLoaded - SrcPos));
                std::copy(rest.begin(), rest.end(), InBuf.begin());
                InBase = SrcPos;
                InCur = 0;
            }
            if (SrcSize > InLoaded) {
                const int n = std::min(16384, SrcSize - InLoaded);
                for (int i = 0; i < n; ++i) InBuf.at(static_cast<std::size_t>(InLoaded - InBase + i)) = data[i];
                InLoaded += n;
            }
            NeedInput = false;
        }
        if (DstPos - OutBase >= 1536) {
            for (int i = 0; i < 1536; ++i) OutBuf.at(static_cast<std::size_t>(i)) = OutBuf.at(OutCur - 1536 + i);
            OutBase = DstPos;
            OutCur = 1536;
        }
        for (;;) {
            if (FlagIndex == 0) {
                FlagBits = 0;
                for (int i = 0; i < 4; ++i) FlagBits |= static_cast<std::uint32_t>(Next()) << (8 * i);
                FlagMask = 0x80000000u;
            }
            if (FlagBits & FlagMask) {
                const int b = Next();
                const int h = b >> 4, d = b & 15;
                int length = h + 1;
                if (h == 15) {
                    length = Next();
                    length |= Next() << 8;
                } else if (h == 14) {
                    length = Next();
                }
                const int distance = d >= 10 ? (d - 10) * 256 + Next() : d + 1;
                DstPos += length;
                for (int i = 0; i < length; ++i, ++OutCur) OutBuf.at(OutCur) = OutBuf.at(OutCur - distance);
            } else {
                OutBuf.at(OutCur++) = Next();
                DstPos += 1;
            }
            if (FlagIndex == 31) {
                FlagIndex = 0;
            } else {
                ++FlagIndex;
                FlagMask >>= 1;
            }
            if (DstPos >= DstSize) {
                IsEnd = true;
                break;
            }
            if (SrcPos + 256 > InLoaded && InLoaded < SrcSize) {
                NeedInput = true;
                break;
            }
            if (DstPos - OutBase > 16384) break;
        }
        const int r = DstPos - OutBase;
        return r < 1536 && !IsEnd ? 0 : r;
    }

private:
    unsigned char Next() {
        ++SrcPos;
        return InBuf.at(InCur++);
    }
};

}  // namespace ostreltest
