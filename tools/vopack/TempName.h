// The name of a temporary output file: ".vp" and ten characters drawn from a
// seed. Short, so that a target whose name is as long as the folder allows
// still has room for it beside it.
#pragma once

#include <cstdint>
#include <string>

namespace vopacktool {

// seed mixes the process id, the clock and the attempt number, so two runs,
// or two attempts of one run, choose different names; the file is still
// created exclusively and another name tried when one is taken.
inline std::string TempFileName(std::uint64_t seed) {
    // splitmix64's finaliser spreads nearby seeds over the whole range.
    seed += 0x9E3779B97F4A7C15ull;
    seed = (seed ^ (seed >> 30)) * 0xBF58476D1CE4E5B9ull;
    seed = (seed ^ (seed >> 27)) * 0x94D049BB133111EBull;
    seed ^= seed >> 31;
    static const char Digits[] = "0123456789abcdefghijklmnopqrstuv";
    std::string name = ".vp";
    for (int i = 0; i < 10; ++i, seed >>= 5) name += Digits[seed & 31];
    return name;
}

}  // namespace vopacktool
