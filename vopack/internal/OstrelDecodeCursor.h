// The token loop's working state, shared by the decoder's fast and careful
// paths: kept in registers while the loop runs and written back to the
// decoder's members once, when the call's tokens are done.
#pragma once

#include "vopack/internal/LittleEndian.h"

#include <cstdint>

namespace ostrel::decode {

struct TCursor {
    unsigned char* In;    // next stream byte
    unsigned char* Out;   // where the next decoded byte goes
    std::uint32_t Bits;   // flag word of the current group
    std::uint32_t Mask;   // flag bit of the next token
    int Index;            // next token's index in its group; 0: a flag word comes first
};

inline std::uint32_t Load32Le(const unsigned char* p) { return vopack::internal::LoadLE32(p); }

}  // namespace ostrel::decode
