// ToolFiles on POSIX systems: file descriptors, rename(2) and signal
// handlers that remove an unfinished temporary file.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "TempName.h"
#include "ToolFiles.h"
#include "VopackToolTexts.h"

namespace vopacktool {

namespace {

// ---- Removing temporary files on SIGINT, SIGTERM and SIGHUP ----------------

constexpr int CleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The pack being written and the compressing threads' scratch files.
constexpr int TempSlots = 64;

// Read by the handler: only fixed storage, and a path is complete before its
// slot is marked in use (both happen with the signals blocked).
char TempPaths[TempSlots][PATH_MAX];
volatile sig_atomic_t TempInUse[TempSlots];
bool HandlersInstalled = false;

extern "C" void RemoveTempsAndDie(int signal) {
    for (int i = 0; i < TempSlots; ++i)
        if (TempInUse[i]) unlink(TempPaths[i]);
    // SA_RESETHAND restored the default action; the signal, blocked while
    // this runs, ends the process once the handler returns.
    raise(signal);
}

void InstallHandlers() {
    if (HandlersInstalled) return;
    HandlersInstalled = true;
    for (const int signal : CleanupSignals) {
        struct sigaction old {};
        sigaction(signal, nullptr, &old);
        // A signal ignored by whoever started us (nohup) stays ignored.
        if (old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = RemoveTempsAndDie;
        action.sa_flags = SA_RESETHAND;
        sigfillset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

// Keeps the cleanup signals out while a temporary file is created, renamed
// or removed, so the handler never sees a path half-written, nor one that
// another file took over after a rename.
class TSignalBlock {
public:
    TSignalBlock() {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal : CleanupSignals) sigaddset(&set, signal);
        sigprocmask(SIG_BLOCK, &set, &FOld);
    }
    ~TSignalBlock() { sigprocmask(SIG_SETMASK, &FOld, nullptr); }
    TSignalBlock(const TSignalBlock&) = delete;
    TSignalBlock& operator=(const TSignalBlock&) = delete;

private:
    sigset_t FOld;
};

// With the signals blocked: false when no slot is free or the path too long.
// Threads take slots under this lock; the handler only reads them.
std::mutex SlotLock;

bool WatchTemp(const std::string& path) {
    if (path.size() >= PATH_MAX) return false;
    const std::lock_guard<std::mutex> hold(SlotLock);
    InstallHandlers();
    for (int i = 0; i < TempSlots; ++i) {
        if (TempInUse[i]) continue;
        std::memcpy(TempPaths[i], path.c_str(), path.size() + 1);
        TempInUse[i] = 1;
        return true;
    }
    return false;
}

void ForgetTemp(const std::string& path) {
    const std::lock_guard<std::mutex> hold(SlotLock);
    for (int i = 0; i < TempSlots; ++i)
        if (TempInUse[i] && path == TempPaths[i]) TempInUse[i] = 0;
}

// ---- Files ----------------------------------------------------------------

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

// A file that ends early leaves errno 0: no system call failed.
bool ReadFully(int fd, unsigned char* buffer, std::size_t count, off_t offset = -1) {
    while (count > 0) {
        const ssize_t n = offset < 0 ? read(fd, buffer, count) : pread(fd, buffer, count, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = 0;
        if (n <= 0) return false;
        if (offset >= 0) offset += n;
        buffer += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteFully(int fd, const unsigned char* data, std::size_t count, off_t offset = -1) {
    while (count > 0) {
        const ssize_t n = offset < 0 ? write(fd, data, count) : pwrite(fd, data, count, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return false;
        if (offset >= 0) offset += n;
        data += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

// The folder part of a path, with its slash: "" for a name in the current
// folder.
std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

unsigned NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
}

std::uint64_t Seed(unsigned attempt) {
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return (static_cast<std::uint64_t>(getpid()) << 40) ^ (static_cast<std::uint64_t>(now.tv_sec) << 20) ^
           static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(attempt) << 56);
}

}  // namespace

// ---- TInputFile -------------------------------------------------------------

TInputFile::~TInputFile() { Close(); }

void TInputFile::Close() {
    if (FHandle >= 0) close(Fd(FHandle));
    FHandle = -1;
}

bool TInputFile::Open(const std::string& path) {
    FPath = path;
    // O_NONBLOCK: a FIFO without a writer must not hold us in open(); it is
    // refused below like every other kind of file but a regular one.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        ReportSystemError(texts::CannotOpen, path);
        return false;
    }
    FHandle = fd;
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        ReportSystemError(texts::CannotOpen, path);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        ReportError(texts::NotRegularFile, path);
        return false;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ReportError(texts::CannotOpen, path);
        return false;
    }
    if (info.st_size > INT_MAX) {
        ReportError(texts::TooLarge, path);
        return false;
    }
    FSize = static_cast<int>(info.st_size);
    FTime = static_cast<std::uint64_t>(static_cast<std::int64_t>(info.st_mtim.tv_sec) * 10000000 +
                                       info.st_mtim.tv_nsec / 100 + 116444736000000000LL);
    FDevice = static_cast<std::uint64_t>(info.st_dev);
    FFileId = static_cast<std::uint64_t>(info.st_ino);
    return true;
}

bool TInputFile::Read(unsigned char* buffer, int count) {
    if (count > 0 && (FHandle < 0 || !ReadFully(Fd(FHandle), buffer, static_cast<std::size_t>(count)))) {
        ReportSystemError(texts::CannotRead, FPath);
        return false;
    }
    return true;
}

bool TInputFile::ReadAt(std::int64_t offset, unsigned char* buffer, int count) {
    if (count > 0 &&
        (FHandle < 0 || offset < 0 ||
         !ReadFully(Fd(FHandle), buffer, static_cast<std::size_t>(count), static_cast<off_t>(offset)))) {
        ReportSystemError(texts::CannotRead, FPath);
        return false;
    }
    return true;
}

// ---- TOutputFile ------------------------------------------------------------

TOutputFile::~TOutputFile() { Discard(); }

bool TOutputFile::Create(const std::string& path, TInputFile& input) { return Prepare(path, &input); }

bool TOutputFile::Create(const std::string& path, bool followLinks) {
    FFollowLinks = followLinks;
    return Prepare(path, nullptr);
}

bool TOutputFile::Prepare(const std::string& path, TInputFile* input) {
    FPath = path;
    FTargetPath = path;
    FMode = NewFileMode();
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) {
        if (S_ISLNK(info.st_mode) && !FFollowLinks) {
            ReportError(texts::NotRegularFile, path);
            return false;
        }
        if (S_ISLNK(info.st_mode)) {
            // Written through: the temporary file goes beside the file the
            // link names, so the rename replaces that file and keeps the link.
            char* resolved = realpath(path.c_str(), nullptr);
            if (!resolved || stat(resolved, &info) != 0) {
                std::free(resolved);
                ReportError(texts::CannotCreate, path);
                return false;
            }
            FTargetPath = resolved;
            std::free(resolved);
        }
        if (!S_ISREG(info.st_mode)) {
            ReportError(texts::NotRegularFile, path);
            return false;
        }
        FMode = static_cast<unsigned>(info.st_mode) & 0777u;
        if (input && static_cast<std::uint64_t>(info.st_dev) == input->Device() &&
            static_cast<std::uint64_t>(info.st_ino) == input->FileId())
            FReplacedInput = input;
    } else if (errno != ENOENT) {
        ReportSystemError(texts::CannotCreate, path);
        return false;
    }

    const std::string folder = FolderOf(FTargetPath);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = folder + TempFileName(Seed(attempt));
        TSignalBlock block;
        const int fd = open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) break;
        if (!WatchTemp(temp)) {
            close(fd);
            unlink(temp.c_str());
            break;
        }
        FHandle = fd;
        FTempPath = temp;
        return true;
    }
    ReportSystemError(texts::CannotCreate, path);
    return false;
}

bool TOutputFile::Write(const unsigned char* data, int count) {
    if (count > 0 && (FHandle < 0 || !WriteFully(Fd(FHandle), data, static_cast<std::size_t>(count)))) {
        ReportSystemError(texts::CannotWrite, FPath);
        return false;
    }
    return true;
}

bool TOutputFile::WriteAt(std::int64_t offset, const unsigned char* data, int count) {
    if (count > 0 && (FHandle < 0 || offset < 0 ||
                      !WriteFully(Fd(FHandle), data, static_cast<std::size_t>(count), static_cast<off_t>(offset)))) {
        ReportSystemError(texts::CannotWrite, FPath);
        return false;
    }
    return true;
}

bool TOutputFile::ReadAt(std::int64_t offset, unsigned char* buffer, int count) {
    if (count > 0 && (FHandle < 0 || offset < 0 ||
                      !ReadFully(Fd(FHandle), buffer, static_cast<std::size_t>(count), static_cast<off_t>(offset)))) {
        ReportSystemError(texts::CannotRead, FPath);
        return false;
    }
    return true;
}

bool TOutputFile::Commit(bool replace, bool durable) {
    if (FHandle < 0) return false;
    const int fd = Fd(FHandle);
    FHandle = -1;
    bool written = fchmod(fd, static_cast<mode_t>(FMode)) == 0;
    if (FHasTime) {
        // 100 ns units since 1601 to the Unix epoch; times before 1970 come out negative.
        const auto ticks = static_cast<std::int64_t>(FTime) - 116444736000000000LL;
        timespec times[2] {};
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(ticks / 10000000 - (ticks % 10000000 < 0 ? 1 : 0));
        times[1].tv_nsec = static_cast<long>(((ticks % 10000000) + 10000000) % 10000000 * 100);
        // A time the file system cannot hold (a hostile entry) is said, not fatal:
        // the file itself is whole.
        if (futimens(fd, times) != 0) ReportSystemError(texts::CannotSetTime, FPath);
    }
    written = written && (!durable || fsync(fd) == 0);
    if (close(fd) != 0 || !written) {
        ReportSystemError(texts::CannotWrite, FPath);
        Discard();
        return false;
    }
    if (FReplacedInput) FReplacedInput->Close();
    // What the target is may have changed since Create: never rename over a
    // directory, device or link that appeared meanwhile.
    struct stat info {};
    const bool replaceable = lstat(FTargetPath.c_str(), &info) == 0 ? S_ISREG(info.st_mode) : errno == ENOENT;
    if (!replaceable) {
        ReportError(texts::NotRegularFile, FPath);
        Discard();
        return false;
    }
    {
        TSignalBlock block;
        // Without replace: link(2) fails on an existing target, whatever
        // appeared since Create, and the temporary name is removed after.
        const bool moved = replace ? rename(FTempPath.c_str(), FTargetPath.c_str()) == 0
                                   : link(FTempPath.c_str(), FTargetPath.c_str()) == 0;
        if (moved) {
            if (!replace) unlink(FTempPath.c_str());
            ForgetTemp(FTempPath);
            FTempPath.clear();
            return true;
        }
    }
    if (!replace && errno == EEXIST) {
        ReportError(texts::Exists, FPath);
        Discard();
        return false;
    }
    ReportSystemError(texts::CannotReplace, FPath);
    Discard();
    return false;
}

void TOutputFile::Discard() {
    if (FHandle >= 0) close(Fd(FHandle));
    FHandle = -1;
    if (FTempPath.empty()) return;
    TSignalBlock block;
    unlink(FTempPath.c_str());
    ForgetTemp(FTempPath);
    FTempPath.clear();
}

// ---- The rest ----------------------------------------------------------------

void ReportSystemError(const char* what, const std::string& detail) {
    const int error = errno;
    ReportError(what, detail + ": " + (error != 0 ? std::strerror(error) : texts::EndedEarly));
}

void PrepareStandardStreams() { signal(SIGXFSZ, SIG_IGN); }

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return {argv, argv + argc}; }

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

int TerminalColumns() {
    winsize size {};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

TPathKind InspectPath(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return errno == ENOENT ? TPathKind::pkAbsent : TPathKind::pkUnknown;
    if (S_ISREG(info.st_mode)) return TPathKind::pkRegular;
    return S_ISDIR(info.st_mode) ? TPathKind::pkFolder : TPathKind::pkOther;
}

bool MakeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0) return true;
    ReportSystemError(texts::CannotCreate, path);
    return false;
}

}  // namespace vopacktool
