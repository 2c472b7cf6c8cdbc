// Opening a document or starting a program. Programs are started and left
// running (a detached thread reaps them); documents go to xdg-open, the
// desktop's way to find the associated program.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "platform/posix/Errors.h"
#include "platform/posix/NativePath.h"

extern char** environ;

namespace plat {

using namespace plat::posix;

namespace {

constexpr std::intptr_t kStarted = 42;  // any value above 32 means success

HINSTANCE Result(std::intptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string DirectoryOf(const std::string& path) {
    const std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Splits a command line at blanks; double quotes group blanks into an argument.
std::vector<std::string> SplitParameters(const char* parameters) {
    std::vector<std::string> arguments;
    if (parameters == nullptr) return arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (const char* p = parameters; *p != '\0'; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((*p == ' ' || *p == '\t') && !quoted) {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
        } else {
            current += *p;
            inArgument = true;
        }
    }
    if (inArgument) arguments.push_back(current);
    return arguments;
}

std::string FindOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    const std::string directories(path);
    std::string::size_type start = 0;
    while (start <= directories.size()) {
        std::string::size_type end = directories.find(':', start);
        if (end == std::string::npos) end = directories.size();
        const std::string directory = end == start ? "." : directories.substr(start, end - start);
        std::string candidate = directory + "/" + program;  // moved out on return
        if (::access(candidate.c_str(), X_OK) == 0 && !IsDirectory(candidate)) return candidate;
        start = end + 1;
    }
    return {};
}

// Starts program; errno-style code on failure, 0 and the child's id on success.
int Spawn(const std::string& program, const std::vector<std::string>& arguments, const std::string& directory,
          pid_t& child) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (const int error = ::posix_spawn_file_actions_init(&actions); error != 0) return error;
    int error = 0;
#if defined(__GLIBC__)
    if (!directory.empty()) error = ::posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
#else
    (void)directory;
#endif
    if (error == 0) error = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    return error;
}

int WaitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

void ReapLater(pid_t child) {
    try {
        std::thread([child] { WaitFor(child); }).detach();
    } catch (...) {
        // Without a thread the child stays a zombie until we exit; it runs all the same.
    }
}

std::intptr_t CodeForSpawnError(int error) {
    switch (error) {
        case ENOEXEC: return ERROR_BAD_FORMAT;
        case ENOENT: return SE_ERR_FNF;
        case ENOMEM:
        case EAGAIN: return SE_ERR_OOM;
        default: return SE_ERR_ACCESSDENIED;
    }
}

std::intptr_t Execute(const char* operation, const char* file, const char* parameters, const char* directory) {
    if (file == nullptr || *file == '\0') return SE_ERR_FNF;
    const std::string verb = operation != nullptr ? operation : "";
    if (!verb.empty() && verb != "open") return SE_ERR_NOASSOC;

    const std::string workingDirectory = directory != nullptr ? NativePath(directory) : std::string();
    if (!workingDirectory.empty() && !IsDirectory(workingDirectory)) return SE_ERR_PNF;

    std::string path = NativePath(file);
    if (path.front() != '/' && !workingDirectory.empty()) path = workingDirectory + "/" + path;
    if (!IsDirectory(DirectoryOf(path))) return SE_ERR_PNF;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno == ENOENT ? SE_ERR_FNF : SE_ERR_PNF;

    pid_t child = 0;
    if (S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0) {
        if (const int error = Spawn(path, SplitParameters(parameters), workingDirectory, child); error != 0)
            return CodeForSpawnError(error);
        ReapLater(child);
        return kStarted;
    }

    const std::string opener = FindOnPath("xdg-open");
    if (opener.empty()) return SE_ERR_NOASSOC;
    if (Spawn(opener, {path}, workingDirectory, child) != 0) return SE_ERR_NOASSOC;
    const int status = WaitFor(child);
    return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? kStarted : SE_ERR_NOASSOC;
}

}  // namespace

HINSTANCE ShellExecuteA(HWND /*owner*/, const char* operation, const char* file, const char* parameters,
                        const char* directory, int /*show*/) {
    try {
        return Result(Execute(operation, file, parameters, directory));
    } catch (...) {
        return Result(SE_ERR_OOM);
    }
}

}  // namespace plat
