// The wide CRC paths (table slicing and carry-less folding) against the byte
// table, fed whole and in two pieces.
#include <cstdint>
#include <cstdlib>

#include "vopack/CrcCheck.h"

namespace {

std::uint16_t ByteCrc(const TCrcCheck& c, std::uint16_t crc, const unsigned char* p, int n) {
    for (int i = 0; i < n; ++i) crc = static_cast<std::uint16_t>(c.CrcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8));
    return crc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    TCrcCheck c;
    c.SetCrcType(static_cast<TCrcType>(data[0] & 1));
    const auto start = static_cast<std::uint16_t>(data[1] | data[2] << 8);
    const unsigned char* p = data + 4;
    const int n = static_cast<int>(size - 4);
    const int split = n == 0 ? 0 : data[3] % (n + 1);
    const std::uint16_t whole = c.UpDateCrc(start, p, n);
    if (whole != ByteCrc(c, start, p, n)) std::abort();
    if (c.UpDateCrc(c.UpDateCrc(start, p, split), p + split, n - split) != whole) std::abort();
    return 0;
}
