#include "ToolStreams.h"

#include <algorithm>

namespace vopacktool {

namespace {

// The target of a seek, or -1 when it falls outside 0..kMaxStreamSize.
int SeekTarget(int position, int size, int offset, int origin) {
    long long target = offset;
    if (origin == soFromCurrent) target += position;
    else if (origin == soFromEnd) target += size;
    else if (origin != soFromBeginning) return -1;
    return target < 0 || target > kMaxStreamSize ? -1 : static_cast<int>(target);
}

}  // namespace

int TInputStream::Read(void* buffer, int count) {
    const int n = std::min(count, FFile.Size() - FPosition);
    if (buffer == nullptr || n <= 0) return 0;
    if (!FFile.ReadAt(FPosition, static_cast<unsigned char*>(buffer), n)) return 0;
    FPosition += n;
    return n;
}

int TInputStream::Write(const void* /*buffer*/, int /*count*/) { return 0; }

int TInputStream::Seek(int offset, int origin) {
    const int target = SeekTarget(FPosition, FFile.Size(), offset, origin);
    if (target >= 0) FPosition = target;
    return target;
}

int TOutputStream::Read(void* buffer, int count) {
    const int n = std::min(count, FSize - FPosition);
    if (buffer == nullptr || n <= 0) return 0;
    if (!FFile.ReadAt(FPosition, static_cast<unsigned char*>(buffer), n)) return 0;
    FPosition += n;
    return n;
}

int TOutputStream::Write(const void* buffer, int count) {
    if (buffer == nullptr || count <= 0 || count > kMaxStreamSize - FPosition) return 0;
    if (!FFile.WriteAt(FPosition, static_cast<const unsigned char*>(buffer), count)) return 0;
    FPosition += count;
    FSize = std::max(FSize, FPosition);
    return count;
}

int TOutputStream::Seek(int offset, int origin) {
    const int target = SeekTarget(FPosition, FSize, offset, origin);
    if (target >= 0) FPosition = target;
    return target;
}

}  // namespace vopacktool
