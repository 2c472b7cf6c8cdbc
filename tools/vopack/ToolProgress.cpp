#include "ToolProgress.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "ToolFiles.h"

namespace vopacktool {

namespace {

constexpr auto RedrawInterval = std::chrono::milliseconds(100);

std::string Bytes(std::int64_t n) {
    std::array<char, 32> text{};
    const double value = static_cast<double>(n);
    if (n < 1024)
        std::snprintf(text.data(), text.size(), "%lld B", static_cast<long long>(n));
    else if (n < 1024 * 1024)
        std::snprintf(text.data(), text.size(), "%.1f KiB", value / 1024);
    else if (n < 1024LL * 1024 * 1024)
        std::snprintf(text.data(), text.size(), "%.1f MiB", value / (1024.0 * 1024));
    else
        std::snprintf(text.data(), text.size(), "%.2f GiB", value / (1024.0 * 1024 * 1024));
    return text.data();
}

std::string Duration(double seconds) {
    std::array<char, 32> text{};
    const long long s = std::llround(seconds);
    if (s >= 3600)
        std::snprintf(text.data(), text.size(), "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text.data(), text.size(), "%lld:%02lld", s / 60, s % 60);
    return text.data();
}

}  // namespace

TProgress::TProgress(bool enabled) : FEnabled(enabled && StandardErrorIsTerminal()) {}

TProgress::~TProgress() { Finish(); }

std::string TProgress::Line(const std::string& label, std::int64_t done, std::int64_t total, double seconds,
                            int columns) {
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    // Appended piece by piece: g++ 12 warns (-Wrestrict, wrongly) on a "literal" + string chain.
    std::string figures(1, ' ');
    figures.append(Bytes(done)).append(" / ").append(Bytes(total));
    figures.append("  ").append(Bytes(static_cast<std::int64_t>(rate))).append("/s");
    if (rate > 0 && total >= done) figures += "  " + Duration(static_cast<double>(total - done) / rate) + " left";
    std::string head = label.size() > 24 ? label.substr(0, 23) + "~" : label;
    const int barWidth = std::max(0, columns - 1 - static_cast<int>(head.size() + figures.size()) - 3);
    std::string bar;
    if (barWidth >= 8) {
        const int filled = total > 0 ? static_cast<int>(std::min<std::int64_t>(done, total) * barWidth / total) : barWidth;
        bar = " [" + std::string(static_cast<std::size_t>(filled), '#') +
              std::string(static_cast<std::size_t>(barWidth - filled), '.') + "]";
    }
    return head + bar + figures;
}

void TProgress::Start(const std::string& label, std::int64_t total) {
    if (!FEnabled) return;
    FActive = true;
    FLabel = label;
    FTotal = total;
    FDone = 0;
    FStart = std::chrono::steady_clock::now();
    FLastDraw = FStart - RedrawInterval;
    Draw();
}

void TProgress::Set(std::int64_t done) {
    FDone = done;
    if (!FActive) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - FLastDraw < RedrawInterval) return;
    FLastDraw = now;
    Draw();
}

void TProgress::Draw() {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
    const std::string line = Line(FLabel, FDone, FTotal, seconds, TerminalColumns());
    // "\r" to the line's start, the text, then erase what an older, longer line left.
    std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
    std::fflush(stderr);
}

void TProgress::Finish() {
    if (!FActive) return;
    FActive = false;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
}

}  // namespace vopacktool
