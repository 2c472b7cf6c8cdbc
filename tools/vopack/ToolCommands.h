// The tool's commands. Each takes the arguments after its name and returns
// the exit code: 0 success, 1 failure (reported on stderr), 2 bad usage.
#pragma once

namespace vopacktool {

inline constexpr int ExitOk = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

int RunCompress(int argc, char** argv);
int RunDecompress(int argc, char** argv);
int RunCrc(int argc, char** argv);

}  // namespace vopacktool
