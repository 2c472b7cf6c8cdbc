// The encoder's fast match finder: the same (length, distance) as the
// exhaustive search wherever the stream depends on it, at a fraction of the
// work.
//
// Every input position q with a byte after it is entered under its two bytes
// b0 b1: Head[b0 | b1 << 8] keeps the low 16 bits of the latest such q, and
// Chain[q & 2047] the distance from q back to the one before (0 when that one
// lies outside q's 1,535-byte window). A search walks the chain of the two
// bytes at pos nearest-first, so the first candidate of a new greatest length
// is also the nearest one of that length.
//
// Positions are absolute input positions, so the tables follow the input
// across Encode calls however the input buffer moves. Head holds only 16 bits
// of a position: a head entry is trusted only when the candidate it names lies
// in the window and really holds the two bytes. That is exact: any position in
// the window holding them was entered, and so is the latest one.
#pragma once

#include <cstdint>

struct TOstrelSearchTables {
    std::uint16_t Head[65536];
    std::uint16_t Chain[2048];
};

namespace ostrel {

inline constexpr int ChainMask = 2047;  // Chain covers more than the window

// Forget every position: the tables start a new input.
void ResetSearch(TOstrelSearchTables& tables);

// Enters input positions pos .. pos + count - 1 (data points at position pos,
// size is the input size). All positions before pos that a later window can
// reach must have been entered already. Positions that no later search can
// reach (more than 1,535 before pos + count) and the last input byte (no
// second byte) are left out.
void InsertPositions(TOstrelSearchTables& tables, const unsigned char* data, int pos, int count,
                     int size);

// Longest match for the input byte at data (position pos of size bytes), with
// every position before pos entered. For a length of 2 or more the result is
// exactly the exhaustive search's. Below that it gives length 1 with the
// nearest distance only when that distance is 1 to 10, else 0 and 0: the
// exhaustive search may return length 1 at a farther distance, but a
// one-byte match there costs a two-byte token and is written as a literal,
// so the stream is the same.
void FindLongestMatch(const TOstrelSearchTables& tables, const unsigned char* data, int pos,
                      int size, unsigned short& length, unsigned short& distance);

}  // namespace ostrel
