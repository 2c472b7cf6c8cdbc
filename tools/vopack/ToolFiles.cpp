#include "ToolFiles.h"

#include <cstdio>

#include "VopackToolTexts.h"

namespace vopacktool {

namespace {
thread_local bool Quiet = false;
}  // namespace

TQuietReports::TQuietReports() : FWas(Quiet) { Quiet = true; }
TQuietReports::~TQuietReports() { Quiet = FWas; }

void ReportError(const char* what, const std::string& detail) {
    if (Quiet) return;
    std::fprintf(stderr, "%s%s%s%s\n", texts::ErrorPrefix, what, detail.empty() ? "" : ": ", detail.c_str());
}

bool FlushStandardOutput() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    ReportError(texts::CannotWrite, texts::StandardOutput);
    return false;
}

}  // namespace vopacktool
