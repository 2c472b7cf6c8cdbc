// Writes Ostrel streams token by token, with the flag words in place: hand-built
// streams, sound or damaged, for the decoder's and the pack's tests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tests/support/Bytes.h"

namespace testsupport {

// Writes streams token by token: flag words are reserved as groups open.
class TStreamWriter {
public:
    void Literal(unsigned char b) {
        Begin(false);
        FBytes.push_back(b);
    }
    // A match token with the given code byte and extension bytes, as they are.
    void RawMatch(unsigned char code, const Bytes& extension) {
        Begin(true);
        FBytes.push_back(code);
        FBytes.insert(FBytes.end(), extension.begin(), extension.end());
    }
    // A match in the smallest classes.
    void Match(int length, int distance) {
        Bytes ext;
        int h = length - 1;
        if (length >= 256) {
            h = 15;
            ext = {static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8)};
        } else if (length >= 15) {
            h = 14;
            ext = {static_cast<unsigned char>(length)};
        }
        int d = distance - 1;
        if (distance >= 11) {
            d = 10 + distance / 256;
            ext.push_back(static_cast<unsigned char>(distance));
        }
        RawMatch(static_cast<unsigned char>(h << 4 | d), ext);
    }
    const Bytes& Stream() const { return FBytes; }
    int Tokens() const { return FCount; }

private:
    void Begin(bool match) {
        if (FCount % 32 == 0) {
            FSlot = FBytes.size();
            FBytes.insert(FBytes.end(), 4, 0);
        }
        if (match) {
            const std::uint32_t bit = 0x80000000u >> (FCount % 32);
            for (int i = 0; i < 4; ++i) FBytes[FSlot + i] |= static_cast<unsigned char>(bit >> (8 * i));
        }
        ++FCount;
    }
    Bytes FBytes;
    std::size_t FSlot = 0;
    int FCount = 0;
};

}  // namespace testsupport
