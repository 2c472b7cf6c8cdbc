// TPackBuilder: pack files written field by field for tests, independently
// of the component: header, members padded to 16 bytes, catalogue in the
// layout of the chosen version, and (version 3) the pack CRC.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "vopack/CrcCheck.h"
#include "vopack/VoCompBuffer.h"

#include "tests/support/Bytes.h"

namespace packtest {

using testsupport::Bytes;
using testsupport::Random;
using testsupport::Repetitive;

inline void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<unsigned char>(v);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
}
inline std::uint16_t Crc16(const unsigned char* data, std::size_t n) {
    static const TCrcCheck crc;
    return crc.Crc(data, static_cast<int>(n));
}

// The compressed stream of contents (at least one byte).
inline Bytes Compress(const Bytes& contents) {
    TVoCompBuffer codec;
    unsigned char* block = nullptr;
    int length = 0;
    std::uint16_t crc = 0;
    if (!codec.EncodeBuffer(contents.data(), static_cast<int>(contents.size()), &block, &length, &crc)) return {};
    Bytes stream(block, block + length);
    plat::GlobalFree(block);
    return stream;
}

struct TMemberSpec {
    std::string Name;     // split at the first "." into Name (21) and Ext (3)
    Bytes Stored;         // the stored bytes
    std::int32_t Size;    // contents length
    bool Comp = false;
    std::uint8_t IsCrc = 1;
    std::uint16_t Crc = 0;
    plat::FILETIME Time{0x11223344u, 0x01D00000u};
    bool Deleted = false;  // Name and Ext all zero
};

class TPackBuilder {
public:
    explicit TPackBuilder(std::uint16_t version = 0x0300) : FVersion(version) {}

    TPackBuilder& Plain(const std::string& name, const Bytes& contents) {
        return Add({name, contents, static_cast<std::int32_t>(contents.size())});
    }
    TPackBuilder& Compressed(const std::string& name, const Bytes& contents) {
        TMemberSpec m{name, Compress(contents), static_cast<std::int32_t>(contents.size())};
        m.Comp = true;
        return Add(m);
    }
    TPackBuilder& Deleted(const Bytes& contents) {
        TMemberSpec m{"", contents, static_cast<std::int32_t>(contents.size())};
        m.Deleted = true;
        return Add(m);
    }
    // Any member; the CRC of its stored bytes is filled in.
    TPackBuilder& Add(TMemberSpec m) {
        m.Crc = Crc16(m.Stored.data(), m.Stored.size());
        FMembers.push_back(std::move(m));
        return *this;
    }
    TPackBuilder& Magic(const char* magic) {
        FMagic = magic;
        return *this;
    }

    static int EntrySize(std::uint16_t version) { return version == 0x0100 ? 32 : version == 0x0200 ? 40 : 48; }

    // Offsets of the parts in the built pack.
    std::size_t MemberOffset(std::size_t i) const {
        std::size_t at = 16;
        for (std::size_t k = 0; k < i; ++k) at += Padded(FMembers[k].Stored.size());
        return at;
    }
    std::size_t CatalogueOffset() const { return MemberOffset(FMembers.size()); }

    Bytes Build() const {
        Bytes out(16, 0);
        std::memcpy(out.data(), FMagic.data(), std::min<std::size_t>(6, FMagic.size()));
        Put16(out, 6, FVersion);
        std::vector<std::int32_t> offsets;
        for (const TMemberSpec& m : FMembers) {
            offsets.push_back(static_cast<std::int32_t>(out.size() - 16));
            out.insert(out.end(), m.Stored.begin(), m.Stored.end());
            out.resize(16 + Padded(out.size() - 16), 0);
        }
        Put32(out, 8, static_cast<std::uint32_t>(out.size() - 16));
        Put32(out, 12, static_cast<std::uint32_t>(FMembers.size()));
        const int es = EntrySize(FVersion);
        for (std::size_t i = 0; i < FMembers.size(); ++i) {
            const TMemberSpec& m = FMembers[i];
            const std::size_t at = out.size();
            out.resize(at + static_cast<std::size_t>(es), 0);
            if (!m.Deleted) {
                const std::size_t dot = m.Name.find('.');
                const std::string base = m.Name.substr(0, dot);
                std::memcpy(&out[at], base.data(), std::min<std::size_t>(21, base.size()));
                if (dot != std::string::npos) {
                    const std::string ext = m.Name.substr(dot + 1, 3);
                    std::memcpy(&out[at + 21], ext.data(), ext.size());
                }
            }
            Put32(out, at + 24, static_cast<std::uint32_t>(offsets[i]));
            Put32(out, at + 28, static_cast<std::uint32_t>(m.Size));
            if (es >= 40) {
                Put32(out, at + 32, static_cast<std::uint32_t>(m.Stored.size()));
                out[at + 36] = m.Comp ? 1 : 0;
            }
            if (es == 48) {
                out[at + 37] = m.IsCrc;
                Put16(out, at + 38, m.Crc);
                Put32(out, at + 40, m.Time.dwLowDateTime);
                Put32(out, at + 44, m.Time.dwHighDateTime);
            }
        }
        if (FVersion == 0x0300) {
            const std::uint16_t crc = Crc16(out.data(), out.size());
            out.push_back(static_cast<unsigned char>(crc));
            out.push_back(static_cast<unsigned char>(crc >> 8));
        }
        return out;
    }

private:
    static std::size_t Padded(std::size_t n) { return (n + 15) / 16 * 16; }

    std::uint16_t FVersion;
    std::string FMagic = "VoPack";
    std::vector<TMemberSpec> FMembers;
};

}  // namespace packtest
