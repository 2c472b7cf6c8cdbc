// Compression of the members of a create or add on several threads. Each
// worker has its own encoder and shares nothing but the queue; the members
// come out in order, and the main thread appends them through the pack
// (AddStored), so the pack is byte for byte the one a single thread makes.
// Files above a size limit, and files a worker cannot read, are left to the
// main thread (AddFile), which keeps memory bounded whatever the file sizes
// and reports a failure once, in order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

#include "NewMembers.h"
#include "ToolPackWriter.h"

namespace vopacktool {

class TCompressionPool {
public:
    // The largest file a worker takes; with at most 2 * jobs members ready
    // ahead of the main thread, memory stays below 4 * jobs times this.
    static constexpr int WorkerLimit = 4 << 20;

    TCompressionPool(const std::vector<TNewMember>& members, int jobs);
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
    std::vector<TSlot> FSlots;
    std::size_t FNext = 0;
    std::size_t FTaken = 0;
    std::size_t FWindow;
    bool FStop = false;
    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<std::thread> FWorkers;
};

// A member's bytes compressed as the pack would store them; false when the
// file cannot be read whole, is larger than limit, or memory runs out.
bool PrepareMember(const std::string& path, int limit, TPreparedMember& prepared);

}  // namespace vopacktool
