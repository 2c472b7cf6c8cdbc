// Writing one match token: shared by the stream encoder's token loop and the
// parallel encoder's segment writer, so both put down the same bytes.
#pragma once

#include <cstdint>

#include "vopack/StreamFormat.h"
#include "vopack/internal/LittleEndian.h"
#include "vopack/internal/OstrelSearch.h"

namespace ostrel {

// Writes the match token (code byte, length bytes, distance byte) at out and
// returns the byte after it. The token is put together in one word and
// stored whole, the pointer moving past the bytes that belong to it, so the
// length and distance classes cost no branches; the stray bytes lie at most
// three past the token's first byte, so the buffer needs MaxTokenSize - 1
// bytes of room behind the last token, and the next token or flag word
// overwrites them.
OSTREL_ALWAYS_INLINE unsigned char* PutMatch(unsigned char* out, int length, int distance) {
    const unsigned lengthBytes = (length > ShortLengthMax) + (length > ByteLengthMax);
    const unsigned farDistance = distance > ShortDistanceMax;
    const unsigned lengthClass =
        lengthBytes == 2 ? LengthClassWord : lengthBytes == 1 ? LengthClassByte : static_cast<unsigned>(length - 1);
    const unsigned distanceClass = farDistance ? DistanceClassByte + distance / 256 : static_cast<unsigned>(distance - 1);
    const unsigned lengthBits = 8 * lengthBytes;
    const std::uint32_t token = (lengthClass << 4 | distanceClass) |
                                (static_cast<std::uint32_t>(length) & ((1u << lengthBits) - 1)) << 8 |
                                (static_cast<std::uint32_t>(distance) & 0xFF) << (8 + lengthBits);
    vopack::internal::StoreLE32(out, token);
    return out + 1 + lengthBytes + farDistance;
}
static_assert(LengthExtraBytes(8192) + DistanceExtraBytes(WindowSize) + 1 == MaxTokenSize);

}  // namespace ostrel
