#include "ToolFiles.h"

#include <climits>
#include <filesystem>
#include <system_error>

#include "VopackToolTexts.h"

namespace vopacktool {

namespace fs = std::filesystem;

void ReportError(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s%s%s%s\n", texts::ErrorPrefix, what, detail.empty() ? "" : ": ", detail.c_str());
}

TInputFile::~TInputFile() {
    if (FFile) std::fclose(FFile);
}

bool TInputFile::Open(const std::string& path) {
    FPath = path;
    FFile = std::fopen(path.c_str(), "rb");
    std::error_code ec;
    const auto size = FFile ? fs::file_size(fs::path(path), ec) : 0;
    if (!FFile || ec) {
        ReportError(texts::CannotOpen, path);
        return false;
    }
    if (size > static_cast<std::uintmax_t>(INT_MAX)) {
        ReportError(texts::TooLarge, path);
        return false;
    }
    FSize = static_cast<int>(size);
    return true;
}

bool TInputFile::Read(unsigned char* buffer, int count) {
    if (count > 0 && std::fread(buffer, 1, static_cast<std::size_t>(count), FFile) != static_cast<std::size_t>(count)) {
        ReportError(texts::CannotRead, FPath);
        return false;
    }
    return true;
}

TOutputFile::~TOutputFile() { Discard(); }

bool TOutputFile::Create(const std::string& path) {
    FPath = path;
    FTempPath = path + ".vopack-part";
    FFile = std::fopen(FTempPath.c_str(), "wb");
    if (!FFile) {
        ReportError(texts::CannotCreate, FTempPath);
        return false;
    }
    return true;
}

bool TOutputFile::Write(const unsigned char* data, int count) {
    if (count > 0 && std::fwrite(data, 1, static_cast<std::size_t>(count), FFile) != static_cast<std::size_t>(count)) {
        ReportError(texts::CannotWrite, FTempPath);
        return false;
    }
    return true;
}

bool TOutputFile::Commit() {
    const bool closed = std::fclose(FFile) == 0;
    FFile = nullptr;
    if (!closed) {
        ReportError(texts::CannotWrite, FTempPath);
        Discard();
        return false;
    }
    std::error_code ec;
    fs::rename(fs::path(FTempPath), fs::path(FPath), ec);
    if (ec) {
        // Some systems refuse to rename over an existing file.
        fs::remove(fs::path(FPath), ec);
        fs::rename(fs::path(FTempPath), fs::path(FPath), ec);
    }
    if (ec) {
        ReportError(texts::CannotReplace, FPath);
        Discard();
        return false;
    }
    FTempPath.clear();
    return true;
}

void TOutputFile::Discard() {
    if (FFile) std::fclose(FFile);
    FFile = nullptr;
    if (!FTempPath.empty()) {
        std::error_code ec;
        fs::remove(fs::path(FTempPath), ec);
        FTempPath.clear();
    }
}

}  // namespace vopacktool
