#pragma once
// The far end of a simulator's line in tests: plain POSIX reads and writes on the slave side,
// every wait bounded.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "Simulator.h"

namespace qel::test {

class PtyPeer {
public:
    explicit PtyPeer(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    explicit PtyPeer(int fd) : fd_(fd) {}
    ~PtyPeer() {
        if (fd_ >= 0) close(fd_);
    }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    void Write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd p{fd_, POLLOUT, 0};
                if (poll(&p, 1, 1000) <= 0) return;
            }
        }
    }

    // Up to `count` bytes; returns early when `timeoutMs` passes with no new byte.
    std::string Read(std::size_t count, int timeoutMs) { return ReadNoting(count, timeoutMs, nullptr); }

    // Like Read, noting when each byte arrived (CLOCK_MONOTONIC ns).
    std::string ReadTimed(std::size_t count, int timeoutMs, std::vector<int64_t>& arrivals) {
        return ReadNoting(count, timeoutMs, &arrivals);
    }

private:
    std::string ReadNoting(std::size_t count, int timeoutMs, std::vector<int64_t>* arrivals) {
        std::string got;
        while (got.size() < count) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0) break;
            char buffer[512];
            const ssize_t n = read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) break;
            if (arrivals != nullptr) arrivals->insert(arrivals->end(), static_cast<std::size_t>(n), MonotonicNowNs());
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

    int fd_;
};

}  // namespace qel::test
