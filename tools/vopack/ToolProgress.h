// A progress bar on stderr for long operations: bytes done and total, rate
// and time left, redrawn at most ten times a second and cleared at the end.
// Shown only when stderr is a terminal and the user did not ask for quiet.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace vopacktool {

class TProgress {
public:
    // enabled: the caller's wish (not -q); the bar still shows only on a terminal.
    explicit TProgress(bool enabled);
    ~TProgress();
    TProgress(const TProgress&) = delete;
    TProgress& operator=(const TProgress&) = delete;

    // Starts a bar over total bytes (the clock starts now).
    void Start(const std::string& label, std::int64_t total);
    // done bytes out of the total, so far.
    void Set(std::int64_t done);
    void Add(std::int64_t bytes) { Set(FDone + bytes); }
    // Clears the bar's line.
    void Finish();

    bool Shown() const { return FActive; }

    // The bar's text, for a width of columns; public for tests.
    static std::string Line(const std::string& label, std::int64_t done, std::int64_t total, double seconds,
                            int columns);

private:
    void Draw();
    bool FEnabled;
    bool FActive = false;
    std::string FLabel;
    std::int64_t FTotal = 0;
    std::int64_t FDone = 0;
    std::chrono::steady_clock::time_point FStart;
    std::chrono::steady_clock::time_point FLastDraw;
};

}  // namespace vopacktool
