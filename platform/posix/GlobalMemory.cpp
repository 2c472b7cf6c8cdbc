// Global memory blocks. Every block is known to one table, so a stale or
// made-up handle is refused rather than followed. A fixed block's handle is
// its address; a moveable block's handle is the address of a small cell of
// its own, so it can never equal any block's address.
#include <sys/sysinfo.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/GlobalMemoryFaults.h"
#include "platform/Platform.h"
#include "platform/posix/Errors.h"

namespace plat {

using namespace plat::posix;

namespace {

struct TBlock {
    void* Data = nullptr;
    SIZE_T Size = 0;
    SIZE_T Capacity = 0;  // bytes allocated; a shrunk block keeps its memory
    bool Moveable = false;
    UINT Locks = 0;
};

struct TMoveableCell {
    void* Data;
};

struct TGlobalHeap {
    std::mutex Lock;
    std::unordered_map<const void*, TBlock> Blocks;       // by handle
    std::unordered_map<const void*, HGLOBAL> HandleOf;    // by block address
};

TGlobalHeap& Heap() {
    static TGlobalHeap heap;
    return heap;
}

// No request larger than physical memory plus swap can ever be backed; such
// a request fails at once instead of reaching the allocator (which, under a
// sanitizer, would abort rather than return null).
SIZE_T LargestBlock() {
    static const SIZE_T largest = [] {
        constexpr SIZE_T kFallback = SIZE_T{1} << 40;
        struct sysinfo info {};
        if (::sysinfo(&info) != 0) return kFallback;
        SIZE_T units = 0;
        SIZE_T total = 0;
        if (__builtin_add_overflow(info.totalram, info.totalswap, &units) ||
            __builtin_mul_overflow(units, SIZE_T{info.mem_unit ? info.mem_unit : 1u}, &total) || total == 0 ||
            total > SIZE_T{PTRDIFF_MAX})
            return kFallback;
        return total;
    }();
    return largest;
}

void* Allocate(SIZE_T bytes, bool zeroed) {
    const SIZE_T real = bytes == 0 ? 1 : bytes;  // every block has an address of its own
    return zeroed ? std::calloc(real, 1) : std::malloc(real);
}

// The block behind handle, or null (the heap's lock is held by the caller).
TBlock* Find(TGlobalHeap& heap, HGLOBAL handle) {
    const auto found = heap.Blocks.find(handle);
    return found == heap.Blocks.end() ? nullptr : &found->second;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (internal::GlobalAllocFaultDue() || bytes > LargestBlock()) return Fail(HGLOBAL{nullptr}, ERROR_NOT_ENOUGH_MEMORY);
    return Guarded(HGLOBAL{nullptr}, [&]() -> HGLOBAL {
        const bool moveable = (flags & GMEM_MOVEABLE) != 0;
        void* data = Allocate(bytes, (flags & GMEM_ZEROINIT) != 0);
        TMoveableCell* cell = moveable ? static_cast<TMoveableCell*>(std::malloc(sizeof(TMoveableCell))) : nullptr;
        if (data == nullptr || (moveable && cell == nullptr)) {
            std::free(data);
            std::free(cell);
            return Fail(HGLOBAL{nullptr}, ERROR_NOT_ENOUGH_MEMORY);
        }
        HGLOBAL handle = moveable ? static_cast<HGLOBAL>(cell) : data;
        if (cell != nullptr) cell->Data = data;
        TGlobalHeap& heap = Heap();
        try {
            const std::lock_guard guard(heap.Lock);
            heap.Blocks.emplace(handle, TBlock{data, bytes, bytes, moveable, 0});
            try {
                heap.HandleOf.emplace(data, handle);
            } catch (...) {
                heap.Blocks.erase(handle);
                throw;
            }
        } catch (...) {
            std::free(data);
            std::free(cell);
            throw;
        }
        return handle;
    });
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) {
    if (internal::GlobalAllocFaultDue()) return Fail(HGLOBAL{nullptr}, ERROR_NOT_ENOUGH_MEMORY);
    return Guarded(HGLOBAL{nullptr}, [&]() -> HGLOBAL {
        TGlobalHeap& heap = Heap();
        const std::lock_guard guard(heap.Lock);
        TBlock* block = Find(heap, mem);
        if (block == nullptr) return Fail(HGLOBAL{nullptr}, ERROR_INVALID_HANDLE);
        if (bytes > LargestBlock()) return Fail(HGLOBAL{nullptr}, ERROR_NOT_ENOUGH_MEMORY);
        const SIZE_T oldSize = block->Size;

        if (bytes <= block->Capacity) {
            if ((flags & GMEM_ZEROINIT) != 0 && bytes > oldSize)
                std::memset(static_cast<char*>(block->Data) + oldSize, 0, bytes - oldSize);
            block->Size = bytes;
            return mem;
        }

        const bool mayMove = (flags & GMEM_MOVEABLE) != 0 || (block->Moveable && block->Locks == 0);
        if (!mayMove) return Fail(HGLOBAL{nullptr}, ERROR_NOT_ENOUGH_MEMORY);
        void* moved = std::realloc(block->Data, bytes);
        if (moved == nullptr) return Fail(HGLOBAL{nullptr}, ERROR_NOT_ENOUGH_MEMORY);
        if ((flags & GMEM_ZEROINIT) != 0) std::memset(static_cast<char*>(moved) + oldSize, 0, bytes - oldSize);

        // From here on nothing allocates: the table entries are re-keyed in place.
        auto byAddress = heap.HandleOf.extract(block->Data);
        block->Data = moved;
        block->Size = bytes;
        block->Capacity = bytes;
        HGLOBAL handle = mem;
        if (block->Moveable) {
            static_cast<TMoveableCell*>(mem)->Data = moved;
        } else {
            auto byHandle = heap.Blocks.extract(mem);
            handle = moved;
            byHandle.key() = handle;
            heap.Blocks.insert(std::move(byHandle));
        }
        byAddress.key() = moved;
        byAddress.mapped() = handle;
        heap.HandleOf.insert(std::move(byAddress));
        return handle;
    });
}

HGLOBAL GlobalFree(HGLOBAL mem) {
    if (mem == nullptr) return nullptr;
    return Guarded(mem, [&]() -> HGLOBAL {
        TGlobalHeap& heap = Heap();
        const std::lock_guard guard(heap.Lock);
        TBlock* block = Find(heap, mem);
        if (block == nullptr) return Fail(mem, ERROR_INVALID_HANDLE);
        std::free(block->Data);
        heap.HandleOf.erase(block->Data);
        if (block->Moveable) std::free(mem);
        heap.Blocks.erase(mem);
        return nullptr;
    });
}

void* GlobalLock(HGLOBAL mem) {
    return Guarded(static_cast<void*>(nullptr), [&]() -> void* {
        TGlobalHeap& heap = Heap();
        const std::lock_guard guard(heap.Lock);
        TBlock* block = Find(heap, mem);
        if (block == nullptr) return Fail(static_cast<void*>(nullptr), ERROR_INVALID_HANDLE);
        if (block->Moveable) ++block->Locks;
        return block->Data;
    });
}

BOOL GlobalUnlock(HGLOBAL mem) {
    return Guarded(FALSE, [&]() -> BOOL {
        TGlobalHeap& heap = Heap();
        const std::lock_guard guard(heap.Lock);
        TBlock* block = Find(heap, mem);
        if (block == nullptr) return Fail(FALSE, ERROR_INVALID_HANDLE);
        if (!block->Moveable) return TRUE;  // a fixed block is never locked
        if (block->Locks == 0) return Fail(FALSE, ERROR_NOT_LOCKED);
        if (--block->Locks > 0) return TRUE;
        return Fail(FALSE, ERROR_SUCCESS);  // unlocked now
    });
}

HGLOBAL GlobalHandle(const void* address) {
    return Guarded(HGLOBAL{nullptr}, [&]() -> HGLOBAL {
        TGlobalHeap& heap = Heap();
        const std::lock_guard guard(heap.Lock);
        if (const auto found = heap.HandleOf.find(address); found != heap.HandleOf.end()) return found->second;
        if (heap.Blocks.count(address) != 0) return const_cast<void*>(address);  // a handle already
        return Fail(HGLOBAL{nullptr}, ERROR_INVALID_HANDLE);
    });
}

SIZE_T GlobalSize(HGLOBAL mem) {
    return Guarded(SIZE_T{0}, [&]() -> SIZE_T {
        TGlobalHeap& heap = Heap();
        const std::lock_guard guard(heap.Lock);
        const TBlock* block = Find(heap, mem);
        return block != nullptr ? block->Size : Fail(SIZE_T{0}, ERROR_INVALID_HANDLE);
    });
}

}  // namespace plat
