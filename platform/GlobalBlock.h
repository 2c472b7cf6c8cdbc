// TGlobalBlock: owns one block of platform global memory for a scope. A
// moveable block is kept locked while owned, so Data() stays valid.
#pragma once

#include <cstddef>
#include <utility>

#include "platform/Platform.h"

namespace plat {

class TGlobalBlock {
public:
    TGlobalBlock() = default;
    // GMEM_FIXED or GMEM_MOVEABLE (with GMEM_ZEROINIT if wanted); Data() is
    // null when the block cannot be had.
    TGlobalBlock(UINT flags, SIZE_T bytes) {
        FHandle = GlobalAlloc(flags, bytes);
        if (!FHandle) return;
        FMoveable = (flags & GMEM_MOVEABLE) != 0;
        FData = FMoveable ? GlobalLock(FHandle) : FHandle;
        if (!FData) Reset();
    }
    ~TGlobalBlock() { Reset(); }
    TGlobalBlock(TGlobalBlock&& other) noexcept { *this = std::move(other); }
    TGlobalBlock& operator=(TGlobalBlock&& other) noexcept {
        if (this != &other) {
            Reset();
            FHandle = std::exchange(other.FHandle, nullptr);
            FData = std::exchange(other.FData, nullptr);
            FMoveable = other.FMoveable;
        }
        return *this;
    }
    TGlobalBlock(const TGlobalBlock&) = delete;
    TGlobalBlock& operator=(const TGlobalBlock&) = delete;

    void* Data() const { return FData; }
    template <class T>
    T* As() const {
        return static_cast<T*>(FData);
    }
    explicit operator bool() const { return FData != nullptr; }

    // Gives up ownership and returns the address; a moveable block stays
    // locked, to be freed later with FreeLockedBlock.
    void* Release() {
        FHandle = nullptr;
        return std::exchange(FData, nullptr);
    }
    void Reset() {
        if (!FHandle) return;
        if (FMoveable && FData) GlobalUnlock(FHandle);
        GlobalFree(FHandle);
        FHandle = nullptr;
        FData = nullptr;
    }

private:
    HGLOBAL FHandle = nullptr;
    void* FData = nullptr;
    bool FMoveable = false;
};

// For fixed blocks held in fields across calls (the codec's buffers), where a
// scope owner does not fit: take one as T*, null when it cannot be had ...
template <class T = unsigned char>
T* TakeFixed(SIZE_T bytes) {
    return static_cast<T*>(GlobalAlloc(GMEM_FIXED, bytes));
}
// ... and give it back, leaving the field null.
template <class T>
void GiveBack(T*& block) {
    if (block) GlobalFree(block);
    block = nullptr;
}

// Frees a locked moveable block known only by its address: the handle comes
// back through GlobalHandle, then the lock is dropped and the block freed.
inline void FreeLockedBlock(void* address) {
    if (!address) return;
    HGLOBAL handle = GlobalHandle(address);
    if (!handle) return;
    GlobalUnlock(handle);
    GlobalFree(handle);
}

}  // namespace plat
