// TCrcCheck: 16-bit CRC over byte blocks, reflected, no final XOR. With the
// default variant ctCcitt and the start value 0xFFFF the result is
// CRC-16/MCRF4XX ("123456789" gives 0x6F91).
#pragma once

#include <cstdint>

#include "classlib/SysUtils.h"
#include "vopack/VopackExport.h"

namespace crcfold {
struct TFoldKeys;
}

// Table polynomial in reflected form: ctCcitt 0x8408, ctC001 0xC001. Any value
// other than ctC001 builds the ctCcitt table.
enum TCrcType : unsigned char { ctCcitt = 0, ctC001 = 1 };

class VOPACK_API TCrcCheck : public TObject {
public:
    TCrcType CrcType;
    // Entry i is the CRC register after feeding byte i into a zero register.
    // Rebuilt by MakeCrcTable and SetCrcType; callers only read it.
    std::uint16_t CrcTable[256];

    // Selects ctCcitt and builds its table.
    TCrcCheck();

    // Rebuilds CrcTable for the current CrcType.
    void MakeCrcTable();
    // Stores type in CrcType and rebuilds the table.
    void SetCrcType(TCrcType type);

    // The running value crc carried over count bytes of data. A count of 0 or
    // less returns crc unchanged and reads nothing. Feeding a block in pieces,
    // each call starting from the previous result, equals feeding it whole.
    std::uint16_t UpDateCrc(std::uint16_t crc, const unsigned char* data, int count) const;
    // The CRC of one block from the start value 0xFFFF.
    std::uint16_t Crc(const unsigned char* data, int count) const;

private:
    // Slicing-by-16 tables and folding keys of the polynomial CrcTable was
    // last built for (static, shared by all objects).
    const std::uint16_t (*FWideTables)[256];
    const crcfold::TFoldKeys* FFoldKeys;
};
