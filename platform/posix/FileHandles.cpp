#include "platform/posix/FileHandles.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace plat::posix {

namespace {

// Multiples of 4 from 0x1000 up, like Win32 kernel handles, so that neither
// null nor INVALID_HANDLE_VALUE can ever be a live handle.
constexpr std::uintptr_t kFirstHandle = 0x1000;
constexpr std::uintptr_t kHandleStep = 4;

struct TFileTable {
    std::mutex Lock;
    std::uintptr_t Next = kFirstHandle;
    std::unordered_map<std::uintptr_t, std::shared_ptr<TOpenFile>> Files;
};

TFileTable& Table() {
    static TFileTable table;
    return table;
}

}  // namespace

HANDLE RegisterOpenFile(std::shared_ptr<TOpenFile> file) {
    TFileTable& table = Table();
    const std::lock_guard guard(table.Lock);
    const std::uintptr_t handle = table.Next;
    table.Files.emplace(handle, std::move(file));
    table.Next += kHandleStep;
    return reinterpret_cast<HANDLE>(handle);
}

std::shared_ptr<TOpenFile> FindOpenFile(HANDLE handle) {
    TFileTable& table = Table();
    const std::lock_guard guard(table.Lock);
    const auto found = table.Files.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == table.Files.end() ? nullptr : found->second;
}

bool UnregisterOpenFile(HANDLE handle) {
    std::shared_ptr<TOpenFile> closing;  // released outside the lock
    TFileTable& table = Table();
    const std::lock_guard guard(table.Lock);
    const auto found = table.Files.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == table.Files.end()) return false;
    closing = std::move(found->second);
    table.Files.erase(found);
    return true;
}

}  // namespace plat::posix
