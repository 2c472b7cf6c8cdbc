#include "vopack/internal/PackCatalogue.h"

#include <cstring>

#include "classlib/SysUtils.h"
#include "platform/GlobalBlock.h"

namespace vopack::internal {

namespace {

// Bytes of a zero-padded field up to its first zero byte.
int FieldLength(const char* field, int width) {
    int n = 0;
    while (n < width && field[n] != 0) ++n;
    return n;
}

}  // namespace

TVoFileTable3* AllocCatalogue(int count) {
    if (count <= 0) return nullptr;
    plat::TGlobalBlock block(plat::GMEM_MOVEABLE, static_cast<plat::SIZE_T>(count) * sizeof(TVoFileTable3));
    return static_cast<TVoFileTable3*>(block.Release());
}

void FreeCatalogue(TVoFileTable3*& table) {
    plat::FreeLockedBlock(table);
    table = nullptr;
}

bool AppendEntry(TVoFileTable3*& table, int count, const TVoFileTable3& entry) {
    if (count < 0 || (count > 0) != (table != nullptr)) return false;
    const plat::SIZE_T bytes = (static_cast<plat::SIZE_T>(count) + 1) * sizeof(TVoFileTable3);
    if (!table) {
        table = AllocCatalogue(1);
        if (!table) return false;
        table[0] = entry;
        return true;
    }
    const plat::HGLOBAL handle = plat::GlobalHandle(table);
    if (!handle) return false;
    plat::GlobalUnlock(handle);
    const plat::HGLOBAL grown = plat::GlobalReAlloc(handle, bytes, plat::GMEM_MOVEABLE);
    // A failed GlobalReAlloc leaves the old block as it was; locking it again
    // gives the old catalogue back.
    void* address = plat::GlobalLock(grown ? grown : handle);
    if (!address) return false;  // a valid handle always locks
    table = static_cast<TVoFileTable3*>(address);
    if (!grown) return false;
    table[count] = entry;
    return true;
}

int EntryName(const TVoFileTable3& entry, char* out) {
    int n = FieldLength(entry.Name, sizeof entry.Name);
    std::memcpy(out, entry.Name, static_cast<std::size_t>(n));
    const int ext = FieldLength(entry.Ext, sizeof entry.Ext);
    if (ext > 0) {
        out[n++] = '.';
        std::memcpy(out + n, entry.Ext, static_cast<std::size_t>(ext));
        n += ext;
    }
    out[n] = 0;
    return n;
}

void SplitName(TVoFileTable3& entry, const char* name) {
    std::memset(entry.Name, 0, sizeof entry.Name);
    std::memset(entry.Ext, 0, sizeof entry.Ext);
    const char* dot = std::strchr(name, '.');
    const std::size_t base = dot ? static_cast<std::size_t>(dot - name) : std::strlen(name);
    std::memcpy(entry.Name, name, base < sizeof entry.Name ? base : sizeof entry.Name);
    if (!dot) return;
    for (std::size_t i = 0; i < sizeof entry.Ext && dot[1 + i] != 0; ++i) entry.Ext[i] = dot[1 + i];
}

void UpperCaseName(char* text, int length) {
    for (int i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (IsCp932LeadByte(b)) ++i;  // its trail byte stays as it is
        else if (b >= 'a' && b <= 'z') text[i] = static_cast<char>(b - 'a' + 'A');
    }
}

namespace {

// Whether the entry's read-back name, upper-cased as UpperCaseName does,
// equals wanted (already upper-cased, length bytes). Walked in place, so an
// entry is rejected at its first differing byte without being copied: a
// lookup in a catalogue of thousands of names (every addition makes one)
// stays cheap.
bool ReadBackEquals(const TVoFileTable3& entry, const char* wanted, std::size_t length) {
    std::size_t i = 0;
    bool trail = false;
    const auto matches = [&](char c) {
        if (i >= length) return false;
        auto b = static_cast<unsigned char>(c);
        if (!trail && b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 'a' + 'A');
        trail = !trail && IsCp932LeadByte(b);
        return static_cast<unsigned char>(wanted[i++]) == b;
    };
    for (std::size_t k = 0; k < sizeof entry.Name && entry.Name[k] != 0; ++k)
        if (!matches(entry.Name[k])) return false;
    if (entry.Ext[0] != 0) {
        if (!matches('.')) return false;
        for (std::size_t k = 0; k < sizeof entry.Ext && entry.Ext[k] != 0; ++k)
            if (!matches(entry.Ext[k])) return false;
    }
    return i == length;
}

}  // namespace

int FindEntry(const TVoFileTable3* table, int count, const char* name) {
    if (!name) return -1;
    std::size_t length = 0;
    while (name[length] != 0)
        if (++length > static_cast<std::size_t>(VoMaxNameLength)) return -1;
    char wanted[VoMaxNameLength + 1];
    std::memcpy(wanted, name, length + 1);
    UpperCaseName(wanted, static_cast<int>(length));
    for (int i = 0; i < count; ++i)
        if (ReadBackEquals(table[i], wanted, length)) return i;
    return -1;
}

}  // namespace vopack::internal
