// A pack opened for a command: read-only through the tool's own file access
// (so paths of any script open on every system), its catalogue as a list of
// members, and each member streamed through the decoder in fixed-size pieces
// with its CRC computed on the way. Boxes the pack would show are caught and
// turned into the tool's messages.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ToolFiles.h"
#include "ToolProgress.h"
#include "classlib/MessageBoxes.h"
#include "vopack/Vopack.h"

namespace vopacktool {

struct TMemberInfo {
    int Index = 0;
    std::string Name;            // cp932; empty for a deleted entry
    bool Deleted = false;
    bool Shadowed = false;       // an earlier entry of the same name takes its lookups by name
    std::int64_t Size = 0;
    std::int64_t StoredSize = 0;
    bool IsComp = false;
    bool HasCrc = false;
    std::uint16_t Crc = 0;
    bool HasTime = false;
    std::uint64_t Time = 0;      // 100 ns units since 1601, UTC
};

enum class TMemberResult {
    mrOk,
    mrDamagedEntry,   // the pack refuses to open it
    mrCannotRead,     // its stored bytes are not all there
    mrDamagedStream,  // the compressed data breaks the format or decodes to another size
    mrCrcMismatch,
    mrSinkFailed,     // the receiver refused bytes (and said why)
    mrNoMemory,
};

const char* MemberResultText(TMemberResult result);

class TPackReader {
public:
    explicit TPackReader(TProgress& progress);
    ~TPackReader();
    TPackReader(const TPackReader&) = delete;
    TPackReader& operator=(const TPackReader&) = delete;

    // Opens and loads the pack; under cmPackAll (and cmEachFile, which adds
    // the member checks) a version-3 pack's CRC is checked first. False,
    // reported: cannot open, not a pack, damaged, CRC mismatch.
    bool Open(const std::string& path, TCrcMode mode);
    // Whether Open failed only on the pack CRC (the pack loads without it).
    bool CrcFailed() const { return FCrcFailed; }
    // Opens without any check (after a CRC failure, for test).
    bool OpenUnchecked();

    const std::string& Path() const { return FPath; }
    // The open pack, for copying members out of it (copy).
    TVoPack& Pack() { return *FPack; }
    const std::vector<TMemberInfo>& Members() const { return FMembers; }

    // Streams the member's contents to sink in pieces of at most 64 KiB,
    // feeding the progress display; checkCrc compares the stored bytes' CRC
    // with the entry's (when it has one). The sink returns false to stop.
    using TSink = std::function<bool(const unsigned char* data, int count)>;
    TMemberResult Stream(const TMemberInfo& member, bool checkCrc, const TSink& sink);

private:
    bool Load(TCrcMode mode);
    void ReadCatalogue();
    TProgress& FProgress;
    std::string FPath;
    TInputFile FFile;
    std::unique_ptr<TStream> FStream;
    std::unique_ptr<TVoPack> FPack;
    TScriptedMessageBoxes FBoxes;
    TMessageBoxBackend* FOldBoxes = nullptr;
    bool FCrcFailed = false;
    std::vector<TMemberInfo> FMembers;
};

// 100 ns units since 1601 as "YYYY-MM-DDTHH:MM:SSZ".
std::string IsoTime(std::uint64_t fileTime);

}  // namespace vopacktool
