// Links the installed libraries and checks two well-known results.
#include <cstdio>

#include "quorvan/Quorvan.h"
#include "vopack/Vopack.h"

int main() {
    TCrcCheck crc;
    unsigned char digits[] = "123456789";
    const bool ok = crc.Crc(digits, 9) == 0x6F91 && HexToInt("ff") == 255;
    std::puts(ok ? "installed package works" : "installed package gives wrong results");
    return ok ? 0 : 1;
}
