// Byte helpers the codec and pack tests share.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<unsigned char>;

// "00 0A ff" -> {0x00, 0x0A, 0xFF}; spaces are skipped.
inline Bytes Hex(const std::string& text) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<unsigned char>(std::stoi(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return out;
}

// {0x00, 0x0A} -> "00 0A", for messages.
inline std::string Hex(const Bytes& b) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (unsigned char c : b) {
        if (!s.empty()) s += ' ';
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

inline Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes Repeat(unsigned char b, int n) { return Bytes(static_cast<std::size_t>(n), b); }

// The bytes from .. to, inclusive.
inline Bytes Iota(int from, int to) {
    Bytes r;
    for (int b = from; b <= to; ++b) r.push_back(static_cast<unsigned char>(b));
    return r;
}

// 0, 1, 2, ... (mod 256), n bytes.
inline Bytes Ramp(int n) {
    Bytes out;
    for (int i = 0; i < n; ++i) out.push_back(static_cast<unsigned char>(i));
    return out;
}

// n bytes of a fixed pseudo-random sequence: incompressible.
inline Bytes Random(int n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(static_cast<std::size_t>(n));
    for (auto& x : b) x = static_cast<unsigned char>(rng());
    return b;
}

// n bytes of a short phrase repeated: compresses well.
inline Bytes Repetitive(int n) {
    Bytes b(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) b[static_cast<std::size_t>(i)] = static_cast<unsigned char>("pack member "[i % 12]);
    return b;
}

}  // namespace testsupport
