// TOstrelEncode: the streaming encoder of the Ostrel compressed stream.
//
// Calling contract:
//   1. Open(size) with the number of input bytes; keep the returned pointer
//      (the output area). Null means no memory: nothing is held, the object
//      is closed. A size below 0 is refused the same way; a size of 0 gives
//      an empty stream (the first Encode sets IsEnd, DoneSize 0).
//   2. While IsEnd is false call Encode. Call k (k = 0, 1, ...) is given input
//      byte k * 16,384 as long as that lies inside the input, and copies
//      min(16,384, rest) bytes from it during the call; later calls do not
//      read their argument (null is fine). A null argument where a chunk is
//      due is refused: the call returns 0 and changes nothing.
//   3. After each call take the first r bytes of the output area (r may be 0,
//      and every piece ends on a group boundary); the next call overwrites
//      them.
//   4. When IsEnd is true the pieces, in order, are the whole stream and
//      DoneSize is its length, unless IsOverflow is set. Then Close (the
//      destructor does it too).
//
// Stream positions are ints, so a stream may be at most 2,147,483,647 bytes
// long (an incompressible input of about 1.91e9 bytes reaches that). When the
// next group would take the stream past it, Encode sets IsOverflow and IsEnd,
// returns 0, and DoneSize keeps the end of the last group that fits: the
// pieces taken are then not a whole stream and must be dropped. Every input
// whose stream fits, up to 2,147,483,647 bytes, encodes in full.
//
// Whatever the input size the stream is the same: greedy parsing, at each
// position the longest match within the last min(pos, 1535) bytes (at most
// 8192 long and never past the end), the nearest among equally long ones.
//
// Memory is fixed while open: InBuf 34,304 + OutBuf 18,944 + the match
// finder's tables 172,032 (TOstrelSearchTables) + the object itself (1,648
// bytes on x86-64, marks included): 226,928 bytes, under 222 KiB in all, for
// any input size.
// Separate objects share nothing, so they may encode on separate threads.
#pragma once

#include <cstdint>

#include "classlib/SysUtils.h"
#include "vopack/VopackExport.h"

struct TOstrelSearchTables;

class VOPACK_API TOstrelEncode : public TObject {
public:
    static constexpr int InBufSize = 34304;   // 1,536 history + two chunks
    static constexpr int OutBufSize = 18944;  // one call's groups + the open one

    bool IsOpen;            // between a successful Open and Close
    bool IsEnd;             // before the first Open and once all input is coded
    int SrcSize;            // input bytes, given to Open
    int LoadCount;          // chunks taken during start-up: 0, 1; 2 once coding runs
    unsigned char* InBuf;   // input positions InBase - 1,536 .. InBase + 32,767
    unsigned char* OutBuf;  // the output area
    int SrcPos;             // input bytes coded so far
    int OutPos;             // stream bytes produced, open flag word included
    unsigned char* InCur;   // input byte at SrcPos
    unsigned char* OutCur;  // where the next stream byte goes
    int InBase;             // input position held at InBuf + 1,536
    int OutBase;            // stream position held at OutBuf[0]
    std::uint32_t FlagBits;   // flag word of the open group so far
    std::uint32_t FlagMask;   // flag bit of the next token
    int FlagCount;            // tokens in the open group, 0..32
    unsigned char* FlagSlot;  // where the open group's flag word goes
    int DoneSize;  // stream position after the last closed group; the stream length once IsEnd

    TOstrelEncode();
    ~TOstrelEncode() override;
    TOstrelEncode(const TOstrelEncode&) = delete;
    TOstrelEncode& operator=(const TOstrelEncode&) = delete;

    // Starts a new stream of size input bytes (closing any open one). Returns
    // the output area, valid until Close, or null on failure.
    unsigned char* Open(int size);
    // Takes the next input chunk (see the contract) and codes what it can.
    // Returns the number of finished stream bytes now at the start of the
    // output area; 0 while loading, when closed or when ended.
    int Encode(unsigned char* data);
    // Gives the buffers back; DoneSize and IsEnd keep their values. Always true.
    bool Close();

    // The exhaustive search: longest match for the input byte data (input
    // position pos of size bytes) over every window distance, nearest among
    // equals. length = distance = 0 when no byte of the window equals *data.
    // data - min(pos, 1535) .. data + min(8192, size - pos) must be readable.
    void NewSearch(unsigned char* data, int pos, int size, unsigned short& length,
                   unsigned short& distance);
    // Number of leading positions, at most n, at which a and b hold equal bytes.
    unsigned short Search(unsigned char* a, unsigned char* b, unsigned short n);

    // For tests and fuzzers: code with NewSearch instead of the match finder.
    // The stream is the same; only the speed differs (set before Open).
    bool UseReferenceSearch;
    // The stream would pass 2,147,483,647 bytes: the encoding was given up
    // (see the contract). Cleared by Open; kept by Close.
    bool IsOverflow;

protected:
    // For tests and fuzzers, to reach positions near 2^31 without that much
    // input: opens as if inputStart input bytes had been coded into
    // streamStart stream bytes, with nothing before inputStart in the window.
    // The chunk protocol and the stream bytes are those of size bytes opened
    // with Open; only the positions (SrcPos, InBase, SrcSize, OutPos,
    // DoneSize...) are shifted. inputStart must be a multiple of 65,536 (the
    // finder keeps 16-bit positions), inputStart + size at most 2^31 - 1 and
    // streamStart at most 2^31 - 5; otherwise null, as for any failed Open.
    unsigned char* OpenAt(int inputStart, int streamStart, int size);

private:
    bool ChunkDue() const;  // the next Encode call must copy input
    bool StreamFits(const unsigned char* out, int reserve) const;
    void CodeTokens();
    template <typename TFinder>
    void CodeTokensWith(TFinder finder);

    // NewSearch's marks of failed candidates (mark k: distance 1535 - k). They
    // live in the object, not in one process-wide array, so that encoders on
    // different threads cannot overwrite each other's marks mid-search.
    unsigned char SearchFail[1535];
    TOstrelSearchTables* FTables;  // the match finder's chains, taken by Open
    int FWindowStart;  // input position before which the window holds nothing (OpenAt)
};
