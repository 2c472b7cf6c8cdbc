#include "ToolFiles.h"

#include <cstdio>

#include "VopackToolTexts.h"

namespace vopacktool {

void ReportError(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s%s%s%s\n", texts::ErrorPrefix, what, detail.empty() ? "" : ": ", detail.c_str());
}

bool FlushStandardOutput() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    ReportError(texts::CannotWrite, texts::StandardOutput);
    return false;
}

}  // namespace vopacktool
