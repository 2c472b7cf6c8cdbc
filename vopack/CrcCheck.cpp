#include "vopack/CrcCheck.h"

#include "vopack/internal/LittleEndian.h"

#include "vopack/internal/CrcFold.h"

#include <bit>
#include <cstring>

namespace {

constexpr int WideBytes = 16;
constexpr std::uint16_t PolyCcitt = 0x8408;
constexpr std::uint16_t PolyC001 = 0xC001;

struct TWideTables {
    std::uint16_t t[WideBytes][256];
};

constexpr std::uint16_t TableEntry(std::uint16_t poly, unsigned index) {
    std::uint16_t r = static_cast<std::uint16_t>(index);
    for (int bit = 0; bit < 8; ++bit)
        r = (r & 1) ? static_cast<std::uint16_t>((r >> 1) ^ poly) : static_cast<std::uint16_t>(r >> 1);
    return r;
}

// Table k holds the effect of a byte followed by k zero bytes, so sixteen
// bytes fold into the register with sixteen independent look-ups.
constexpr TWideTables MakeWideTables(std::uint16_t poly) {
    TWideTables w{};
    for (unsigned i = 0; i < 256; ++i) w.t[0][i] = TableEntry(poly, i);
    for (int k = 1; k < WideBytes; ++k)
        for (unsigned i = 0; i < 256; ++i) {
            const std::uint16_t prev = w.t[k - 1][i];
            w.t[k][i] = static_cast<std::uint16_t>((prev >> 8) ^ w.t[0][prev & 0xFF]);
        }
    return w;
}

inline std::uint64_t Load64Le(const unsigned char* p) { return vopack::internal::LoadLE64(p); }

constexpr TWideTables WideCcitt = MakeWideTables(PolyCcitt);
constexpr TWideTables WideC001 = MakeWideTables(PolyC001);
constexpr crcfold::TFoldKeys FoldCcitt = crcfold::MakeFoldKeys(PolyCcitt);
constexpr crcfold::TFoldKeys FoldC001 = crcfold::MakeFoldKeys(PolyC001);

// Slicing-by-16 over the whole of data.
std::uint32_t SliceCrc(const std::uint16_t (*t)[256], const std::uint16_t* table, std::uint32_t r,
                       const unsigned char* data, int count) {
    while (count >= WideBytes) {
        const std::uint64_t a = Load64Le(data) ^ r;
        const std::uint64_t b = Load64Le(data + 8);
        r = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][(a >> 24) & 0xFF] ^
            t[11][(a >> 32) & 0xFF] ^ t[10][(a >> 40) & 0xFF] ^ t[9][(a >> 48) & 0xFF] ^ t[8][a >> 56] ^
            t[7][b & 0xFF] ^ t[6][(b >> 8) & 0xFF] ^ t[5][(b >> 16) & 0xFF] ^ t[4][(b >> 24) & 0xFF] ^
            t[3][(b >> 32) & 0xFF] ^ t[2][(b >> 40) & 0xFF] ^ t[1][(b >> 48) & 0xFF] ^ t[0][b >> 56];
        data += WideBytes;
        count -= WideBytes;
    }
    while (count-- > 0) r = table[(r ^ *data++) & 0xFF] ^ (r >> 8);
    return r;
}

}  // namespace

TCrcCheck::TCrcCheck() : CrcType(ctCcitt), CrcTable{}, FWideTables(nullptr), FFoldKeys(nullptr) { MakeCrcTable(); }

void TCrcCheck::MakeCrcTable() {
    const std::uint16_t poly = CrcType == ctC001 ? PolyC001 : PolyCcitt;
    for (unsigned i = 0; i < 256; ++i) CrcTable[i] = TableEntry(poly, i);
    // The wide tables follow the table just built, not CrcType, so results
    // stay those of CrcTable even if CrcType is assigned without a rebuild.
    FWideTables = poly == PolyC001 ? WideC001.t : WideCcitt.t;
    FFoldKeys = poly == PolyC001 ? &FoldC001 : &FoldCcitt;
}

void TCrcCheck::SetCrcType(TCrcType type) {
    CrcType = type;
    MakeCrcTable();
}

std::uint16_t TCrcCheck::UpDateCrc(std::uint16_t crc, const unsigned char* data, int count) const {
    if (count <= 0) return crc;
    if (count >= crcfold::MinFoldBytes && crcfold::CanFold() && FFoldKeys) {
        unsigned char residual[16];
        const int folded = crcfold::Fold(*FFoldKeys, crc, data, count, residual);
        crc = static_cast<std::uint16_t>(SliceCrc(FWideTables, CrcTable, 0, residual, 16));
        data += folded;
        count -= folded;
    }
    return static_cast<std::uint16_t>(SliceCrc(FWideTables, CrcTable, crc, data, count));
}

std::uint16_t TCrcCheck::Crc(const unsigned char* data, int count) const { return UpDateCrc(0xFFFF, data, count); }
