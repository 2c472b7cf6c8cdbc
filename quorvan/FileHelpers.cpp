#include "platform/Platform.h"
#include "quorvan/Quorvan.h"

namespace {

// Keeps the system from showing error boxes of its own (a drive without a
// medium, say) while a query runs; restores the previous mode on every path.
class TQuietErrorMode {
public:
    TQuietErrorMode()
        : FPrevious(plat::SetErrorMode(plat::SEM_FAILCRITICALERRORS | plat::SEM_NOOPENFILEERRORBOX)) {}
    ~TQuietErrorMode() { plat::SetErrorMode(FPrevious); }
    TQuietErrorMode(const TQuietErrorMode&) = delete;
    TQuietErrorMode& operator=(const TQuietErrorMode&) = delete;

private:
    plat::UINT FPrevious;
};

}  // namespace

bool FileIsExist(char* path) {
    if (!path) return false;
    const TQuietErrorMode quiet;
    plat::OFSTRUCT scratch{};
    if (plat::OpenFile(path, &scratch, plat::OF_EXIST) <= 0) return false;
    const plat::DWORD attributes = plat::GetFileAttributesA(path);
    if (attributes == plat::INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & plat::FILE_ATTRIBUTE_DIRECTORY) == 0;
}
