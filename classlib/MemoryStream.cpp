#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>

#include "ClassLibTexts.h"
#include "classlib/Streams.h"

namespace {

// The target of a seek, or -1 when it lies outside 0 .. kMaxStreamSize.
int SeekTarget(std::int64_t base, int offset) {
    const std::int64_t target = base + offset;
    return target < 0 || target > kMaxStreamSize ? -1 : static_cast<int>(target);
}

}  // namespace

int TMemoryStream::Read(void* buffer, int count) {
    if (count <= 0 || !buffer || FPosition >= Size()) return 0;
    const int n = std::min(count, Size() - FPosition);
    std::memcpy(buffer, FData.data() + FPosition, std::size_t(n));
    FPosition += n;
    return n;
}

int TMemoryStream::Write(const void* buffer, int count) {
    if (count <= 0 || !buffer || count > kMaxStreamSize - FPosition) return 0;
    const int end = FPosition + count;
    // The source may lie inside this stream's own memory, which growing moves.
    const auto* source = static_cast<const unsigned char*>(buffer);
    const bool inside = !FData.empty() && std::less_equal<>()(FData.data(), source) &&
                        std::less<>()(source, FData.data() + FData.size());
    const std::size_t offset = inside ? std::size_t(source - FData.data()) : 0;
    if (end > Size()) SetSize(end);
    if (inside) source = FData.data() + offset;
    std::memmove(FData.data() + FPosition, source, std::size_t(count));
    FPosition = end;
    return count;
}

int TMemoryStream::Seek(int offset, int origin) {
    int target = -1;
    switch (origin) {
        case soFromBeginning: target = SeekTarget(0, offset); break;
        case soFromCurrent: target = SeekTarget(FPosition, offset); break;
        case soFromEnd: target = SeekTarget(Size(), offset); break;
        default: break;
    }
    if (target >= 0) FPosition = target;
    return target;
}

void TMemoryStream::SetSize(int newSize) {
    if (newSize < 0) throw EStreamError(ClassLibText::SetSizeError);
    try {
        FData.resize(std::size_t(newSize));
    } catch (const std::bad_alloc&) {
        throw EStreamError(ClassLibText::OutOfMemory);
    }
    if (FPosition > newSize) FPosition = newSize;
}

void TMemoryStream::Clear() {
    std::vector<unsigned char>().swap(FData);
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    const int size = stream.Size();
    std::vector<unsigned char> data;
    try {
        data.resize(std::size_t(std::max(size, 0)));
    } catch (const std::bad_alloc&) {
        throw EStreamError(ClassLibText::OutOfMemory);
    }
    stream.ReadBuffer(data.data(), size);
    FData.swap(data);
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const AnsiString& fileName) {
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& stream) const {
    if (!FData.empty()) stream.WriteBuffer(FData.data(), static_cast<int>(FData.size()));
}

void TMemoryStream::SaveToFile(const AnsiString& fileName) const {
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}
