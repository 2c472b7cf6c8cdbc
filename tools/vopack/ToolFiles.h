// Files for the tool's commands: whole-file input of known size, and output
// that appears under its name only when complete. The POSIX and Windows back
// ends live in ToolFilesPosix.cpp and ToolFilesWin32.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
// The same with the system's reason for the last failed call appended
// ("vopack: cannot write: x.pak: No space left on device").
void ReportSystemError(const char* what, const std::string& detail);

// While one lives, ReportError and ReportSystemError print nothing on this
// thread (a worker whose failure the main thread meets and reports again).
class TQuietReports {
public:
    TQuietReports();
    ~TQuietReports();
    TQuietReports(const TQuietReports&) = delete;
    TQuietReports& operator=(const TQuietReports&) = delete;

private:
    bool FWas;
};

// Standard streams made ready: on Windows console output in UTF-8 with
// terminal escapes, and standard output in binary mode. On POSIX a file
// size limit (ulimit -f) then fails a write with EFBIG instead of ending the
// process with SIGXFSZ, so the temporary file is still removed.
void PrepareStandardStreams();
// The arguments as UTF-8 (on Windows from the UTF-16 command line).
#ifdef _WIN32
std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv);
#else
std::vector<std::string> Utf8Arguments(int argc, char** argv);
#endif
bool StandardErrorIsTerminal();
// Width of the terminal on stderr; 80 when unknown.
int TerminalColumns();

enum class TPathKind { pkAbsent, pkRegular, pkFolder, pkOther, pkUnknown };
// What a path names, links not followed (a link is pkOther).
TPathKind InspectPath(const std::string& path);
// Creates a folder (its parent must exist); false, reported, on failure.
bool MakeFolder(const std::string& path);
// The separator of paths the tool builds.
#ifdef _WIN32
inline constexpr char PathSeparator = '\\';
#else
inline constexpr char PathSeparator = '/';
#endif

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
    // Reads exactly count bytes from offset, whatever Read has consumed;
    // false, reported, when they are not there.
    bool ReadAt(std::int64_t offset, unsigned char* buffer, int count);
    void Close();
    int Size() const { return FSize; }
    // Last-write time, 100 ns units since 1601 (UTC).
    std::uint64_t Time() const { return FTime; }

    // Which file this is (device and file number), to tell when an output
    // would replace it.
    std::uint64_t Device() const { return FDevice; }
    std::uint64_t FileId() const { return FFileId; }

private:
    std::intptr_t FHandle = -1;
    std::string FPath;
    int FSize = 0;
    std::uint64_t FTime = 0;
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
    // For a target that no input may be: with followLinks false a symbolic
    // link as target is refused like a directory (extraction never writes
    // through a link out of its folder).
    bool Create(const std::string& path, bool followLinks);
    bool Write(const unsigned char* data, int count);
    // Positioned access to what was written so far (a pack being built is
    // read back for its CRC); false, reported, on failure.
    bool WriteAt(std::int64_t offset, const unsigned char* data, int count);
    bool ReadAt(std::int64_t offset, unsigned char* buffer, int count);
    // The modification time the file gets at Commit: 100 ns units since 1601.
    void SetTime(std::uint64_t fileTime) {
        FTime = fileTime;
        FHasTime = true;
    }
    // Flushes, closes and renames; false, reported, with the temporary file
    // removed and the target as it was. With replace false an existing target
    // (even one that appeared since Create) is kept and the commit fails.
    // durable: the bytes reach the disk before the rename (fsync), as a pack
    // needs; extracted files skip it, which makes extraction of many small
    // files several times faster; after a crash such a file may be
    // incomplete, as with other archivers.
    bool Commit(bool replace = true, bool durable = true);

private:
    void Discard();
    std::intptr_t FHandle = -1;
    std::string FPath;        // as the user named it, for messages
    TSystemPath FTargetPath;  // the file to replace (the link's target for a link)
    TSystemPath FTempPath;
    TInputFile* FReplacedInput = nullptr;
    unsigned FMode = 0;       // POSIX permission bits the result gets
    std::uint64_t FTime = 0;
    bool FHasTime = false;
    bool FFollowLinks = true;
    bool Prepare(const std::string& path, TInputFile* input);
};

}  // namespace vopacktool
