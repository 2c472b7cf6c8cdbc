// The tool's commands. Each takes its parsed options (Options.h) and returns
// the exit status: 0 success, 1 failure (reported on stderr), 2 bad usage.
#pragma once

#include "Options.h"

namespace vopacktool {

inline constexpr int ExitOk = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

int RunCompress(const TOptions& options);
int RunDecompress(const TOptions& options);
int RunCrc(const TOptions& options);
int RunList(const TOptions& options);
int RunTest(const TOptions& options);
int RunExtract(const TOptions& options);
int RunCat(const TOptions& options);
int RunCreate(const TOptions& options);
int RunAdd(const TOptions& options);
int RunDelete(const TOptions& options);
int RunCopy(const TOptions& options);

}  // namespace vopacktool
