// Files for the tool's commands: whole-file input of known size, and output
// that appears under its name only when complete. The POSIX and Windows back
// ends live in ToolFilesPosix.cpp and ToolFilesWin32.cpp.
#pragma once

#include <cstdint>
#include <string>

namespace vopacktool {

// Paths as the system's file functions take them: UTF-16 on Windows (the
// wide functions, which have no MAX_PATH limit), bytes elsewhere.
#ifdef _WIN32
using TSystemPath = std::wstring;
#else
using TSystemPath = std::string;
#endif

// Prints "vopack: what: detail" on stderr.
void ReportError(const char* what, const std::string& detail);

// Flushes standard output; false, reported, when anything written to it was
// lost (a full disk, a closed pipe).
bool FlushStandardOutput();

// A regular file opened for reading, with its size (below 2 GiB). Anything
// else (a directory, a FIFO, a device) is refused without waiting on it.
class TInputFile {
public:
    TInputFile() = default;
    ~TInputFile();
    TInputFile(const TInputFile&) = delete;
    TInputFile& operator=(const TInputFile&) = delete;

    // False, reported, when the file cannot be opened, is not a regular file,
    // or is too large.
    bool Open(const std::string& path);
    // Reads exactly count bytes; false, reported, when they are not there.
    bool Read(unsigned char* buffer, int count);
    void Close();
    int Size() const { return FSize; }

    // Which file this is (device and file number), to tell when an output
    // would replace it.
    std::uint64_t Device() const { return FDevice; }
    std::uint64_t FileId() const { return FFileId; }

private:
    std::intptr_t FHandle = -1;
    std::string FPath;
    int FSize = 0;
    std::uint64_t FDevice = 0;
    std::uint64_t FFileId = 0;
};

// Replaces a file safely. Create makes a new temporary file of a unique,
// short name beside the target, exclusively, so it can be neither an
// existing file (the input among them) nor another run's temporary file;
// Commit gives it the target's permissions and renames it over the target.
// Anything short of Commit removes it, and so does SIGINT, SIGTERM or SIGHUP
// (Ctrl+C on Windows) while it exists.
//
// The target must be absent or a regular file. A symbolic link to a regular
// file is written through: the file it points to is replaced and the link
// stays. Directories, devices, FIFOs and sockets are refused before anything
// is written.
//
// The target may be the input itself (compress s s): the input is read
// through its own open file, and Commit closes it before the rename.
class TOutputFile {
public:
    TOutputFile() = default;
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // False, reported, when the target is refused or no temporary file can
    // be made beside it.
    bool Create(const std::string& path, TInputFile& input);
    bool Write(const unsigned char* data, int count);
    // Flushes, closes and renames; false, reported, with the temporary file
    // removed and the target as it was.
    bool Commit();

private:
    void Discard();
    std::intptr_t FHandle = -1;
    std::string FPath;        // as the user named it, for messages
    TSystemPath FTargetPath;  // the file to replace (the link's target for a link)
    TSystemPath FTempPath;
    TInputFile* FReplacedInput = nullptr;
    unsigned FMode = 0;       // POSIX permission bits the result gets
};

}  // namespace vopacktool
