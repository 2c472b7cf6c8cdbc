// Little-endian loads and stores, the one home for them: the pack's records,
// the stream's flag words, the match finder's and the CRC's wide reads. One
// unaligned load or store on little-endian hosts, byte-swapped elsewhere, so
// they hold on any host and at any alignment.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace vopack::internal {

namespace le_detail {
template <class T>
constexpr T Swap(T v) {
    T r = 0;
    for (unsigned i = 0; i < sizeof(T); ++i) r |= static_cast<T>((v >> (8 * i)) & 0xFF) << (8 * (sizeof(T) - 1 - i));
    return r;
}
template <class T>
inline T Load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = Swap(v);
    return v;
}
template <class T>
inline void Store(unsigned char* p, T v) {
    if constexpr (std::endian::native == std::endian::big) v = Swap(v);
    std::memcpy(p, &v, sizeof v);
}
}  // namespace le_detail

inline std::uint16_t LoadLE16(const unsigned char* p) { return le_detail::Load<std::uint16_t>(p); }
inline std::uint32_t LoadLE32(const unsigned char* p) { return le_detail::Load<std::uint32_t>(p); }
inline std::uint64_t LoadLE64(const unsigned char* p) { return le_detail::Load<std::uint64_t>(p); }
inline std::int32_t LoadLE32s(const unsigned char* p) { return static_cast<std::int32_t>(LoadLE32(p)); }

inline void StoreLE16(unsigned char* p, std::uint16_t v) { le_detail::Store(p, v); }
inline void StoreLE32(unsigned char* p, std::uint32_t v) { le_detail::Store(p, v); }

}  // namespace vopack::internal
