// The cp932 lead-byte rule, the one place it is written. Every layer judges
// double-byte characters by code page 932, whatever the platform's own code
// page, so the program behaves the same everywhere.
#pragma once

namespace plat {

// Lead bytes of a double-byte character: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsCp932LeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace plat
