// Constants and class tables of the Ostrel compressed stream, shared by the
// encoder, the decoder and whoever sizes buffers for a stream.
//
// A stream is a sequence of groups: a 32-bit little-endian flag word, then up
// to 32 tokens, the first token on bit 31. A clear bit is a literal byte; a set
// bit is a match: code byte (length class << 4 | distance class), then 0, 1 or
// 2 length bytes, then 0 or 1 distance byte.
#pragma once

#include <cstdint>

namespace ostrel {

// Matches reach back at most this far; the decoder keeps one byte more of
// history so that turnover copies a round 1,536.
inline constexpr int WindowSize = 1535;
inline constexpr int HistorySize = 1536;
inline constexpr int MaxMatchLength = 8192;
// Input and stream are handed over in chunks of this size.
inline constexpr int ChunkSize = 16384;

inline constexpr int FlagWordSize = 4;
inline constexpr int TokensPerGroup = 32;
inline constexpr std::uint32_t FirstFlagMask = 0x80000000u;
// A token (code byte, two length bytes, one distance byte) and a flag word.
inline constexpr int MaxTokenSize = 4;
inline constexpr int MaxGroupStepSize = FlagWordSize + MaxTokenSize;

// Length classes (high nibble of the code byte).
inline constexpr int LengthClassByte = 14;   // length in one extension byte
inline constexpr int LengthClassWord = 15;   // length in two bytes, low first
inline constexpr int ShortLengthMax = 14;    // classes 0..13 hold H + 1
inline constexpr int ByteLengthMax = 255;    // largest length of class 14

// Distance classes (low nibble of the code byte).
inline constexpr int DistanceClassByte = 10;  // classes 10..15: (D - 10) * 256 + E
inline constexpr int ShortDistanceMax = 10;   // classes 0..9 hold D + 1

// The length class the encoder writes for length (1..MaxMatchLength), and the
// extension bytes it needs.
constexpr int LengthClassOf(int length) {
  return length > ByteLengthMax ? LengthClassWord : length > ShortLengthMax ? LengthClassByte : length - 1;
}
constexpr int LengthExtraBytes(int length) {
  return length > ByteLengthMax ? 2 : length > ShortLengthMax ? 1 : 0;
}

// The distance class the encoder writes for distance (1..WindowSize), and the
// extension bytes it needs.
constexpr int DistanceClassOf(int distance) {
  return distance > ShortDistanceMax ? DistanceClassByte + distance / 256 : distance - 1;
}
constexpr int DistanceExtraBytes(int distance) { return distance > ShortDistanceMax ? 1 : 0; }

// Bytes of a match token; a match is written only when this is <= its length.
constexpr int MatchTokenSize(int length, int distance) {
  return 1 + LengthExtraBytes(length) + DistanceExtraBytes(distance);
}

// Decoded length and distance of a code byte's classes with their extensions.
constexpr int DecodedLength(int lengthClass, int extension) {
  return lengthClass >= LengthClassByte ? extension : lengthClass + 1;
}
constexpr int DecodedDistance(int distanceClass, int extension) {
  return distanceClass >= DistanceClassByte ? (distanceClass - DistanceClassByte) * 256 + extension
                                            : distanceClass + 1;
}

// Longest stream that n input bytes can give: every token a literal (or a
// one-byte match) plus one flag word per 32 tokens. 64-bit, because the bound
// for inputs near 2 GiB no longer fits an int.
constexpr std::int64_t MaxStreamSize(std::int64_t n) {
  return n <= 0 ? 0 : n + FlagWordSize * ((n + TokensPerGroup - 1) / TokensPerGroup);
}

static_assert(DistanceClassOf(10) == 9 && DistanceClassOf(11) == 10 && DistanceClassOf(255) == 10);
static_assert(DistanceClassOf(256) == 11 && DistanceClassOf(1535) == 15);
static_assert(DecodedDistance(15, 255) == WindowSize);
static_assert(LengthClassOf(14) == 13 && LengthClassOf(15) == 14 && LengthClassOf(256) == 15);
static_assert(MaxStreamSize(1) == 5 && MaxStreamSize(32) == 36 && MaxStreamSize(33) == 41);

}  // namespace ostrel
