// A pack being changed by a command. The new pack is built in a temporary
// file beside the target (for add, delete and copy starting from a copy of
// the old pack's bytes) through the pack component, and renamed over the
// target only once EndPack has written it whole and it is flushed and
// closed. Any failure before that leaves the target as it was and removes
// the temporary file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NewMembers.h"
#include "ToolFiles.h"
#include "ToolProgress.h"
#include "ToolStreams.h"
#include "classlib/MessageBoxes.h"
#include "vopack/Vopack.h"

namespace vopacktool {

// A member's bytes made ready elsewhere (another thread): the stored bytes,
// compressed exactly when that made them shorter, in memory or (for large
// files) in a scratch file beside the pack; or word that the file does not
// compress, so it is added plain.
struct TPreparedMember {
    int Size = 0;
    std::uint64_t Time = 0;
    bool Compressed = false;
    bool Plain = false;  // add the file itself, uncompressed
    std::vector<unsigned char> Stored;
    std::unique_ptr<TOutputFile> Scratch;  // when set, the stored bytes
    int ScratchSize = 0;
};

class TPackWriter {
public:
    explicit TPackWriter(TProgress& progress);
    ~TPackWriter();
    TPackWriter(const TPackWriter&) = delete;
    TPackWriter& operator=(const TPackWriter&) = delete;

    // A new, empty pack that will replace path (an existing file only with
    // force). False, reported.
    bool Create(const std::string& path, bool force);
    // The pack at path, opened for changes (its CRC checked under cmPackAll).
    // False, reported.
    bool Edit(const std::string& path, TCrcMode mode);

    // The changes, each as TVoPack makes it; false, reported, with the
    // target still untouched.
    bool AddFile(const TNewMember& member, bool compress);
    bool AddPrepared(const TNewMember& member, const TPreparedMember& prepared);
    bool Delete(const std::string& name);
    bool CopyFrom(TVoPack& source, const std::string& sourceName, const std::string& name);

    // EndPack, then the rename over the target. False, reported.
    bool Finish();

    const std::string& Path() const { return FPath; }
    // The member names now in the pack (cp932; empty for deleted entries).
    std::vector<std::string> Names();

private:
    bool Failed(const std::string& detail);
    void Track(std::int64_t size);
    TProgress& FProgress;
    std::string FPath;
    TOutputFile FFile;
    std::unique_ptr<TOutputStream> FStream;
    std::unique_ptr<TVoPack> FPack;
    TScriptedMessageBoxes FBoxes;
    TMessageBoxBackend* FOldBoxes = nullptr;
    std::int64_t FDone = 0;
};

}  // namespace vopacktool
