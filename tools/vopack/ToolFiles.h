// Files for the tool's commands: whole-file input of known size, and output
// that appears under its name only when complete.
#pragma once

#include <cstdio>
#include <string>

namespace vopacktool {

// Prints "vopack: what: detail" on stderr.
void ReportError(const char* what, const std::string& detail);

// A file opened for reading in binary mode, with its size (below 2 GiB).
class TInputFile {
public:
    TInputFile() = default;
    ~TInputFile();
    TInputFile(const TInputFile&) = delete;
    TInputFile& operator=(const TInputFile&) = delete;

    // False, reported, when the file cannot be opened, sized or is too large.
    bool Open(const std::string& path);
    // Reads exactly count bytes; false, reported, when they are not there.
    bool Read(unsigned char* buffer, int count);
    int Size() const { return FSize; }

private:
    std::FILE* FFile = nullptr;
    std::string FPath;
    int FSize = 0;
};

// Writes to a temporary file beside the target; Commit renames it into
// place, and anything short of Commit removes it, so a failed command leaves
// no half-written output.
class TOutputFile {
public:
    TOutputFile() = default;
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    bool Create(const std::string& path);
    bool Write(const unsigned char* data, int count);
    bool Commit();

private:
    void Discard();
    std::FILE* FFile = nullptr;
    std::string FPath;
    std::string FTempPath;
};

}  // namespace vopacktool
