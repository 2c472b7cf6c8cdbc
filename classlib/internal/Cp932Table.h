// The cp932 -> Unicode tables (generated at build time by cp932table.py).
#pragma once

#include <cstdint>

inline constexpr int kCp932TrailFirst = 0x40;
inline constexpr int kCp932TrailLast = 0xFC;

// Code point of each single byte; 0 for the lead bytes.
extern const std::uint16_t kCp932SingleByte[256];
// Row: lead byte 0x81-0x9F then 0xE0-0xFC; column: trail byte - 0x40.
// 0 where the pair is no character.
extern const std::uint16_t kCp932DoubleByte[60][kCp932TrailLast - kCp932TrailFirst + 1];

inline int Cp932LeadRow(unsigned char lead) { return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31; }
