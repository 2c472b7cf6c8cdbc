// The tool's files as the pack component's streams: an input file, read
// only, and the temporary file a new pack is built in (read back for its
// CRC). Failures are reported by the files and show as short counts.
#pragma once

#include <cstdint>

#include "ToolFiles.h"
#include "classlib/Streams.h"

namespace vopacktool {

class TInputStream : public TStream {
public:
    explicit TInputStream(TInputFile& file) : FFile(file) {}
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    int Seek(int offset, int origin) override;
    int Size() override { return FFile.Size(); }

private:
    TInputFile& FFile;
    int FPosition = 0;
};

class TOutputStream : public TStream {
public:
    // size: bytes the file already holds.
    TOutputStream(TOutputFile& file, int size) : FFile(file), FSize(size) {}
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    int Seek(int offset, int origin) override;
    int Size() override { return FSize; }

private:
    TOutputFile& FFile;
    int FSize;
    int FPosition = 0;
};

}  // namespace vopacktool
