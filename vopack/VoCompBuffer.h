// TVoCompBuffer: compresses a whole memory block into an Ostrel stream in one
// call and expands it back in one call. The caller keeps the three numbers
// that EncodeBuffer gives (stream length, CRC of the stream) and the original
// length; the block holds no sizes.
//
// Blocks handed out in *out are GlobalAlloc(GMEM_FIXED) blocks owned by the
// caller, who gives them back with plat::GlobalFree.
//
#pragma once

#include <cstdint>

#include "classlib/SysUtils.h"
#include "vopack/CrcCheck.h"
#include "vopack/VopackExport.h"

class VOPACK_API TVoCompBuffer : public TObject {
public:
    TCrcCheck* CrcCheck;  // owned; always ctCcitt, so every CRC is CRC-16/MCRF4XX
    // Threads EncodeBuffer may use (OstrelEncodeParallel): 1, the default,
    // encodes on the calling thread; 0 or less, one per processor. The
    // stream is the same whatever the count.
    int Threads;

    TVoCompBuffer();
    ~TVoCompBuffer() override;
    TVoCompBuffer(const TVoCompBuffer&) = delete;
    TVoCompBuffer& operator=(const TVoCompBuffer&) = delete;

    // Compresses srcLen bytes at src into a new block (*out), its stream length
    // (*outLen) and the CRC of the stream (*crc). The block is
    // srcLen + 4 * ceil(srcLen / 32) bytes large, or 2^31 - 1 if less.
    //   srcLen 0 or less                 -> false; out, outLen, crc untouched
    //   no memory for encoder or block    -> false; *out null; outLen, crc untouched
    //   stream would pass 2^31 - 1 bytes  -> false; *out null; outLen, crc untouched
    //     (incompressible input of about 1.91e9 bytes or more)
    bool EncodeBuffer(const unsigned char* src, int srcLen, unsigned char** out, int* outLen,
                      std::uint16_t* crc);

    // Expands the srcLen-byte stream at src into a new block of dstLen bytes
    // (*out), after checking crc over the stream.
    //   CRC of src differs from crc        -> false; out untouched
    //   srcLen or dstLen 0 or less         -> false; out untouched
    //   no memory for decoder or block     -> false; *out null
    //   stream damaged or shorter than
    //   dstLen bytes decoded               -> false; *out null
    bool DecodeBuffer(const unsigned char* src, int srcLen, int dstLen, std::uint16_t crc,
                      unsigned char** out);
};
