// TOstrelDecode: expands an Ostrel stream (vopack/StreamFormat.h) whose length
// and decoded size are known, in steps with fixed memory
// (DecodeInBufSize + DecodeOutBufSize bytes while open).
//
// Calling contract:
//   unsigned char* area = dec.Open(decodedSize, streamLength);   // null: no memory
//   while (!dec.IsEnd) {
//       const unsigned char* chunk = <any pointer>;
//       if (dec.NeedInput) chunk = <next min(16384, rest) stream bytes>;
//       int r = dec.Decode(chunk);
//       <take area[0 .. r)>                    // before the next call
//   }
//   bool damaged = dec.IsError;
//   dec.Close();
// The pieces taken, in order, are the decoded data. Every call but the last
// reports 0 or at least 1,536 bytes.
//
// A stream that breaks the format's bounds (distance 0 or beyond the bytes
// decoded so far, length 0 or over 8,192, tokens past the decoded size, a
// stream shorter than its tokens or longer than them) sets IsError. Decoding
// then stops at the bad token with IsEnd set: nothing is read beyond the bytes
// handed over, nothing is written outside the buffers, and no more than
// DstSize bytes are reported in all (fewer when the stream broke off).
#pragma once

#include <cstdint>

#include "classlib/SysUtils.h"
#include "vopack/StreamFormat.h"
#include "vopack/VopackExport.h"

// One chunk plus room for the unread rest (under 256 bytes) of the one before.
inline constexpr int DecodeInBufSize = ostrel::ChunkSize + 256;
// History, then up to 16,384 bytes and one last match of up to 8,192 bytes.
inline constexpr int DecodeOutBufSize = 34304;

class VOPACK_API TOstrelDecode : public TObject {
public:
    bool IsOpen;      // between a successful Open and Close
    bool IsEnd;       // true when closed and once the decoded size is reached
    int DstSize;      // decoded size, from Open
    int SrcSize;      // stream length, from Open
    bool NeedInput;   // the next Decode call must be given the next chunk
    unsigned char* InBuf;   // DecodeInBufSize bytes
    unsigned char* OutBuf;  // DecodeOutBufSize bytes: 1,536 history, then output
    int SrcPos;       // stream bytes consumed
    int DstPos;       // decoded bytes produced
    unsigned char* InCur;   // next stream byte
    unsigned char* OutCur;  // where the next decoded byte goes
    int InBase;       // stream position held at InBuf[0]
    int InLoaded;     // stream bytes taken into InBuf so far
    int OutBase;      // decoded position held at OutBuf + 1,536
    std::uint32_t FlagBits;  // flag word of the current group
    std::uint32_t FlagMask;  // flag bit of the next token
    int FlagIndex;    // next token's index in its group; 0: a flag word comes first
    bool IsError;     // the stream broke the format's bounds (see above)

    TOstrelDecode();
    ~TOstrelDecode() override;
    TOstrelDecode(const TOstrelDecode&) = delete;
    TOstrelDecode& operator=(const TOstrelDecode&) = delete;

    // Closes first if open, then takes both buffers. Returns the output area
    // (OutBuf + 1,536), valid until Close, or null when memory cannot be had
    // (the object is then closed and holds nothing).
    unsigned char* Open(int dstSize, int srcSize);
    // Decodes the next stretch. data is read only when NeedInput is true, and
    // then min(16384, SrcSize - InLoaded) bytes of it. Returns the number of
    // decoded bytes now at the start of the output area and not reported
    // before; 0 while fewer than 1,536 have gathered short of the end, and 0
    // when closed or ended.
    int Decode(const unsigned char* data);
    // Gives the buffers back; always true.
    bool Close();

protected:
    // For tests and fuzzers, to reach positions near 2^31 without that much
    // data: opens as if dstStart decoded bytes (zeros, the last 1,536 of them
    // kept as history) had come from srcStart stream bytes. The call protocol
    // then goes on for the dstSize - dstStart bytes and srcSize - srcStart
    // stream bytes left, the stream's next byte a flag word. Needs 0 <=
    // dstStart < dstSize and 0 <= srcStart <= srcSize; otherwise null, as for
    // any failed Open.
    unsigned char* OpenAt(int dstStart, int srcStart, int dstSize, int srcSize);

private:
    bool Refill(const unsigned char* data);
    void Turnover();
    void DecodeTokens();
    void Fail();
};
