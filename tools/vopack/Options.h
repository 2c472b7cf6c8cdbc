// The command line of one command, parsed into one options struct. Each
// command says which options it takes and how many arguments; anything else
// is bad usage.
#pragma once

#include <string>
#include <vector>

#include "vopack/VoPackFormat.h"

namespace vopacktool {

// The options a command accepts (-q and --help every command does).
enum TOptionSet : unsigned {
    osForce = 1u << 0,     // --force: replace an existing file
    osSkip = 1u << 1,      // --skip: keep an existing file and go on
    osAll = 1u << 2,       // --all: deleted entries too
    osJson = 1u << 3,      // --json
    osDirectory = 1u << 4, // -C DIR
    osStore = 1u << 5,     // --store: no compression
    osName = 1u << 6,      // --name NAME
    osJobs = 1u << 7,      // -j N
    osCrcMode = 1u << 8,   // --crc-mode none|pack|each
};

struct TOptions {
    std::vector<std::string> Arguments;  // UTF-8
    bool Quiet = false;
    bool Force = false;
    bool Skip = false;
    bool All = false;
    bool Json = false;
    bool Store = false;
    std::string Directory;               // -C; empty: the current folder
    std::string Name;                    // --name; empty: the file's base name
    int Jobs = 0;                        // -j; 0: as many as the machine has cores
    TCrcMode CrcMode = cmPackAll;        // none = cmNon, pack = cmPackAll, each = cmEachFile
};

struct TVerb;

// Parses the arguments after the command's name. Returns -1 when the command
// should run; otherwise the exit status to end with: 0 after --help (the
// command's help printed on stdout), 2 for bad usage (reported on stderr
// with the command's synopsis).
int ParseOptions(const TVerb& verb, const std::vector<std::string>& arguments, TOptions& options);

}  // namespace vopacktool
