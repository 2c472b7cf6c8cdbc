// The chunk protocols of the stream encoder and decoder, run over whole
// memory blocks: the loops of TVoCompBuffer, kept apart so that tests can run
// them on coders opened near the 2^31 - 1 limits.
#pragma once

#include <cstdint>

class TOstrelEncode;
class TOstrelDecode;

namespace ostrel {

// Feeds the srcLen bytes at src to encoder (open, area its output area) until
// it ends, and puts the stream into block, which has capacity bytes. Returns
// false, with length unspecified, when the stream does not fit block or the
// encoder gave it up (IsOverflow); otherwise length is the stream's length.
bool EncodeToBlock(TOstrelEncode& encoder, const unsigned char* area, const unsigned char* src, int srcLen,
                   unsigned char* block, std::int64_t capacity, int& length);

// Feeds the srcLen stream bytes at src to decoder (open, area its output
// area) as it asks for them, and puts the decoded bytes into block, which
// has room for dstLen bytes. True only when the stream was sound and gave
// exactly dstLen bytes.
bool DecodeToBlock(TOstrelDecode& decoder, const unsigned char* area, const unsigned char* src, int srcLen,
                   unsigned char* block, int dstLen);

}  // namespace ostrel
