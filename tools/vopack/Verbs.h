// An entry of the table of commands (Main.cpp): name, synopsis, what it does, its options and
// argument counts, and the function that runs it.
#pragma once

#include "Options.h"

namespace vopacktool {

struct TVerb {
    const char* Name;
    const char* Synopsis;  // the arguments after the name
    const char* Summary;
    unsigned Options;      // TOptionSet
    int MinArguments;
    int MaxArguments;      // -1: no limit
    int (*Run)(const TOptions& options);
};

}  // namespace vopacktool
