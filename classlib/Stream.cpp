#include <algorithm>
#include <vector>

#include "ClassLibTexts.h"
#include "classlib/Streams.h"

int TStream::Size() {
    const int position = Seek(0, soFromCurrent);
    const int size = Seek(0, soFromEnd);
    Seek(position, soFromBeginning);
    return size;
}

void TStream::SetSize(int) { throw EStreamError(ClassLibText::SetSizeError); }

void TStream::ReadBuffer(void* buffer, int count) {
    if (count != 0 && Read(buffer, count) != count) throw EReadError(ClassLibText::ReadError);
}

void TStream::WriteBuffer(const void* buffer, int count) {
    if (count != 0 && Write(buffer, count) != count) throw EWriteError(ClassLibText::WriteError);
}

int TStream::CopyFrom(TStream& source, int count) {
    if (count < 0) throw EReadError(ClassLibText::ReadError);
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr int kChunk = 64 * 1024;
    std::vector<unsigned char> buffer(std::size_t(std::min(count, kChunk)));
    for (int left = count; left > 0;) {
        const int n = std::min(left, kChunk);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return count;
}
