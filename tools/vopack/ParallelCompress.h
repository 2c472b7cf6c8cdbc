// Compression of the members of a create or add on several threads. Each
// worker has its own encoder and shares nothing but the queue; the members
// come out in order, and the main thread appends them through the pack
// (AddStored), so the pack is byte for byte the one a single thread makes.
// Files up to a size limit are compressed in memory, larger ones into a
// scratch file beside the pack (never in the current folder), which keeps
// memory bounded whatever the file sizes. A file a worker cannot read is
// left to the main thread (AddFile), which reports the failure once, in order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "NewMembers.h"
#include "ToolPackWriter.h"

namespace vopacktool {

class TCompressionPool {
public:
    // The largest file a worker compresses in memory; with at most 2 * jobs
    // members ready ahead of the main thread, memory stays below 4 * jobs
    // times this.
    static constexpr int MemoryLimit = 4 << 20;

    // scratchBeside: the pack's path; scratch files go beside it.
    TCompressionPool(const std::vector<TNewMember>& members, int jobs, const std::string& scratchBeside);
    ~TCompressionPool();
    TCompressionPool(const TCompressionPool&) = delete;
    TCompressionPool& operator=(const TCompressionPool&) = delete;

    // Waits for member i (taken in order); false when the main thread is to
    // add it itself.
    bool Take(std::size_t i, TPreparedMember& prepared);

private:
    struct TSlot {
        bool Ready = false;
        bool Done = false;  // prepared by a worker
        TPreparedMember Member;
    };
    void Work();
    const std::vector<TNewMember>& FMembers;
    std::string FScratchBeside;
    std::vector<TSlot> FSlots;
    std::size_t FNext = 0;
    std::size_t FTaken = 0;
    std::size_t FWindow;
    bool FStop = false;
    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<std::thread> FWorkers;
};

// A member's bytes compressed as the pack would store them: in memory up to
// limit bytes, else in a scratch file beside scratchBeside. False when the
// file cannot be read whole, or memory or the scratch file cannot be had.
bool PrepareMember(const std::string& path, int limit, const std::string& scratchBeside, TPreparedMember& prepared);

}  // namespace vopacktool
