// Owns one file descriptor.
#pragma once

#include <unistd.h>

#include <utility>

namespace plat::posix {

class TUniqueFd {
public:
    TUniqueFd() = default;
    explicit TUniqueFd(int fd) : FFd(fd) {}
    TUniqueFd(TUniqueFd&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.FFd, -1));
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;
    ~TUniqueFd() { Reset(); }

    int Get() const { return FFd; }
    bool Valid() const { return FFd >= 0; }
    int Release() { return std::exchange(FFd, -1); }
    void Reset(int fd = -1) {
        if (FFd >= 0) ::close(FFd);
        FFd = fd;
    }
    // Closes now and reports whether the close succeeded (errno on failure).
    bool Close() {
        const int fd = std::exchange(FFd, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int FFd = -1;
};

}  // namespace plat::posix
