#pragma once
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace qel::test {

// The device end of a pseudo-terminal: the test plays the device on the master side while
// the driver opens the slave side as its port.
class PtyDevice {
public:
    PtyDevice() {
        fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        char name[128] = {};
        if (fd_ < 0 || ::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0 || ::ptsname_r(fd_, name, sizeof name) != 0)
            throw std::runtime_error("no pseudo-terminal");
        slave_ = name;
    }
    ~PtyDevice() { Close(); }
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    const std::string& SlavePath() const { return slave_; }

    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    // Writes all bytes, waiting for room at most `timeoutMs` in all; returns bytes written.
    std::size_t Send(const std::vector<uint8_t>& bytes, int timeoutMs = 2000) {
        std::size_t done = 0;
        const auto deadline = Now() + timeoutMs;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            const long left = deadline - Now();
            if (left <= 0) break;
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, static_cast<int>(left));
        }
        return done;
    }
    std::size_t Send(const std::string& bytes) { return Send(std::vector<uint8_t>(bytes.begin(), bytes.end())); }

    // Collects what the driver sent until `count` bytes are there or `timeoutMs` passed.
    std::vector<uint8_t> Receive(std::size_t count, int timeoutMs = 2000) {
        std::vector<uint8_t> got;
        const auto deadline = Now() + timeoutMs;
        while (got.size() < count) {
            uint8_t buf[256];
            const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - got.size()));
            if (n > 0) {
                got.insert(got.end(), buf, buf + n);
                continue;
            }
            const bool hungUp = n == 0 || errno != EAGAIN;  // no slave open: the master reports EIO
            const long left = deadline - Now();
            if (left <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (hungUp)
                ::usleep(1000);
            else
                ::poll(&p, 1, static_cast<int>(left));
        }
        return got;
    }

    static long Now() {
        using namespace std::chrono;
        return static_cast<long>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }

private:
    int fd_ = -1;
    std::string slave_;
};

// Ticks a driver every 2 ms until `done` holds or `maxMs` passed.
template <typename Driver, typename Pred>
bool PumpUntil(Driver& driver, Pred done, long maxMs = 3000) {
    const long deadline = PtyDevice::Now() + maxMs;
    while (!done()) {
        if (PtyDevice::Now() > deadline) return false;
        driver.PollTick();
        ::usleep(2000);
    }
    return true;
}

}  // namespace qel::test
