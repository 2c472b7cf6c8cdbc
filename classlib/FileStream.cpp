#include <cstdint>

#include "ClassLibTexts.h"
#include "classlib/Streams.h"
#include "classlib/internal/TextFormat.h"
#include "platform/Platform.h"

namespace {

[[noreturn]] void RaiseOpenFailure(bool create, const char* pattern, const AnsiString& fileName) {
    const AnsiString message = FormatText(pattern, {fileName});
    if (create) throw EFCreateError(message);
    throw EFOpenError(message);
}

struct TOpenArguments {
    plat::DWORD Access;
    plat::DWORD Share;
    plat::DWORD Creation;
};

// false for a mode that is neither fmCreate nor one access mode with one
// share mode.
bool OpenArguments(unsigned short mode, TOpenArguments& out) {
    using namespace plat;
    if (mode == fmCreate) {
        out = {GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS};
        return true;
    }
    static constexpr DWORD kAccess[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    // Compat, exclusive, deny write, deny read, deny none.
    static constexpr DWORD kShare[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
    const unsigned access = mode & 0x0F;
    const unsigned share = (mode & 0xF0) >> 4;
    if ((mode & 0xFF00) != 0 || access > 2 || share > 4) return false;
    out = {kAccess[access], kShare[share], OPEN_EXISTING};
    return true;
}

}  // namespace

TFileStream::TFileStream(const AnsiString& fileName, unsigned short mode)
    : FFileName(fileName), FHandle(plat::INVALID_HANDLE_VALUE) {
    const bool create = mode == fmCreate;
    const char* failure = create ? ClassLibText::FCreateError : ClassLibText::FOpenError;
    TOpenArguments arguments{};
    if (!OpenArguments(mode, arguments)) RaiseOpenFailure(create, ClassLibText::InvalidFileMode, fileName);
    // A zero byte would cut the name short and open another file.
    if (fileName.IsEmpty() || fileName.view().find('\0') != std::string_view::npos)
        RaiseOpenFailure(create, failure, fileName);
    FHandle = plat::CreateFileA(fileName.c_str(), arguments.Access, arguments.Share, nullptr, arguments.Creation,
                                plat::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (FHandle == plat::INVALID_HANDLE_VALUE) RaiseOpenFailure(create, failure, fileName);
    plat::DWORD high = 0;
    const plat::DWORD low = plat::GetFileSize(FHandle, &high);
    if (high != 0 || low > plat::DWORD(kMaxStreamSize)) {
        plat::CloseHandle(FHandle);
        FHandle = plat::INVALID_HANDLE_VALUE;
        RaiseOpenFailure(create, ClassLibText::FileTooLarge, fileName);
    }
}

TFileStream::~TFileStream() {
    if (FHandle != plat::INVALID_HANDLE_VALUE) plat::CloseHandle(FHandle);
}

int TFileStream::Read(void* buffer, int count) {
    if (count <= 0 || !buffer) return 0;
    plat::DWORD done = 0;
    if (!plat::ReadFile(FHandle, buffer, plat::DWORD(count), &done, nullptr)) return 0;
    return static_cast<int>(done);
}

int TFileStream::Write(const void* buffer, int count) {
    if (count <= 0 || !buffer) return 0;
    const int position = Seek(0, soFromCurrent);
    if (position < 0 || count > kMaxStreamSize - position) return 0;
    plat::DWORD done = 0;
    if (!plat::WriteFile(FHandle, buffer, plat::DWORD(count), &done, nullptr)) return 0;
    return static_cast<int>(done);
}

int TFileStream::Seek(int offset, int origin) {
    std::int64_t base = 0;
    if (origin == soFromCurrent) {
        const plat::DWORD current = plat::SetFilePointer(FHandle, 0, nullptr, plat::FILE_CURRENT);
        if (current == plat::INVALID_SET_FILE_POINTER) return -1;
        base = current;
    } else if (origin == soFromEnd) {
        plat::DWORD high = 0;
        const plat::DWORD size = plat::GetFileSize(FHandle, &high);
        if (size == 0xFFFFFFFFu && plat::GetLastError() != plat::ERROR_SUCCESS) return -1;
        base = (std::int64_t(high) << 32) | size;
    } else if (origin != soFromBeginning) {
        return -1;
    }
    const std::int64_t target = base + offset;
    if (target < 0 || target > kMaxStreamSize) return -1;
    if (offset == 0 && origin == soFromCurrent) return static_cast<int>(target);
    if (plat::SetFilePointer(FHandle, static_cast<plat::LONG>(target), nullptr, plat::FILE_BEGIN) ==
        plat::INVALID_SET_FILE_POINTER)
        return -1;
    return static_cast<int>(target);
}

int TFileStream::Size() {
    plat::DWORD high = 0;
    const plat::DWORD low = plat::GetFileSize(FHandle, &high);
    // Another program may have grown the file beyond what a stream can address.
    if (high != 0 || low > plat::DWORD(kMaxStreamSize)) throw EStreamError(ClassLibText::StreamTooLarge);
    return static_cast<int>(low);
}

void TFileStream::SetSize(int newSize) {
    if (newSize < 0) throw EStreamError(ClassLibText::SetSizeError);
    const int position = Seek(0, soFromCurrent);
    if (Seek(newSize, soFromBeginning) < 0 || !plat::SetEndOfFile(FHandle)) {
        Seek(position, soFromBeginning);
        throw EStreamError(ClassLibText::SetSizeError);
    }
    Seek(position < newSize ? position : newSize, soFromBeginning);
}
