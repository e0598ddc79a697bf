// The serial port on POSIX terminals (real ports, USB adapters, pseudo-terminals).
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <vector>

#include "Clock.h"
#include "PortBackend.h"
#include "PosixLineSettings.h"

namespace qel {

namespace {

int PollTimeout(uint32_t ms) { return ms > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(ms); }

// Errors by which a terminal tells that its device has gone: a hung-up line answers EIO,
// a removed USB adapter ENODEV or ENXIO.
bool DeviceGoneError(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

// Name of the group that owns the file at `path` (links followed); empty when unknown.
std::string OwningGroup(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    long size = sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 1024);
    group entry{};
    group* found = nullptr;
    while (getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE && buffer.size() < 65536)
        buffer.resize(buffer.size() * 2);
    return found != nullptr && found->gr_name != nullptr ? std::string(found->gr_name) : std::string();
}

PortOpenFailure OpenFailure(int error, const std::string& path) {
    PortOpenFailure failure;
    failure.systemError = error;
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENXIO:
        case ENODEV:
            failure.reason = PortOpenError::Missing;
            break;
        case EACCES:
        case EPERM:
            failure.reason = PortOpenError::NoPermission;
            failure.group = OwningGroup(path);
            break;
        case EBUSY:
        case EWOULDBLOCK:
            failure.reason = PortOpenError::Busy;
            break;
        case ENOTTY:
        case EINVAL:
        case EISDIR:
            failure.reason = PortOpenError::NotTerminal;
            break;
        default:
            failure.reason = PortOpenError::Other;
            break;
    }
    return failure;
}

class PosixPortBackend final : public PortBackend {
public:
    ~PosixPortBackend() override { Close(); }

    bool Open(const std::string& devicePath) override {
        if (fd_ >= 0) {
            failure_ = PortOpenFailure{PortOpenError::Busy, EBUSY, {}};
            return false;
        }
        failure_ = {};
        const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            failure_ = OpenFailure(errno, devicePath);
            return false;
        }
        termios probe{};
        // A non-terminal is no port; flock makes the open exclusive even for root,
        // who is not stopped by TIOCEXCL.
        if (tcgetattr(fd, &probe) != 0) {
            failure_ = OpenFailure(errno == ENOTTY || errno == EINVAL ? ENOTTY : errno, devicePath);
            ::close(fd);
            return false;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            failure_ = OpenFailure(errno, devicePath);
            ::close(fd);
            return false;
        }
        (void)ioctl(fd, TIOCEXCL);
        fd_ = fd;
        gone_ = false;
        lastNodeCheckMs_ = SystemClock().NowMs();
        return true;
    }

    void Close() override {
        if (fd_ < 0) return;
        (void)ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
        gone_ = false;
    }

    PortOpenFailure LastOpenFailure() const override { return failure_; }

    // Besides what the other calls have seen, asks the line itself: a hang-up shows in
    // poll, a removed device node as a link count of zero.
    bool LineGone() override {
        if (fd_ < 0 || gone_) return gone_;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) gone_ = true;
        struct stat st {};
        if (!gone_) {
            if (fstat(fd_, &st) != 0)
                Note(errno);
            else if (st.st_nlink == 0)
                gone_ = true;
        }
        return gone_;
    }

    // One poll when nothing has come and the line is up, the common case of an idle tick;
    // the input count only when poll says there is input, and the link count of the device
    // node once a second.
    bool ProbeLine(uint32_t& waiting) override {
        waiting = 0;
        if (fd_ < 0 || gone_) return gone_;
        pollfd p{fd_, POLLIN, 0};
        const int ready = poll(&p, 1, 0);
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            gone_ = true;
            return true;
        }
        const uint32_t now = SystemClock().NowMs();
        if (now - lastNodeCheckMs_ >= kNodeCheckPeriodMs) {
            lastNodeCheckMs_ = now;
            struct stat st {};
            if (fstat(fd_, &st) != 0)
                Note(errno);
            else if (st.st_nlink == 0)
                gone_ = true;
            if (gone_) return true;
        }
        if (ready > 0 && (p.revents & POLLIN) && !InputQueue(waiting)) waiting = 0;
        return gone_;
    }

    bool IsOpen() const override { return fd_ >= 0; }

    void Configure(const LineSettings& settings) override {
        if (fd_ >= 0) ApplyPosixLineSettings(fd_, settings);
    }

    void Purge(bool input, bool output) override {
        if (fd_ < 0 || (!input && !output)) return;
        (void)tcflush(fd_, input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH);
    }

    bool QueueCounts(uint32_t& inQueue, uint32_t& outQueue) override {
        inQueue = outQueue = 0;
        if (fd_ < 0) return false;
        int in = 0, out = 0;
        if (ioctl(fd_, TIOCINQ, &in) != 0 || ioctl(fd_, TIOCOUTQ, &out) != 0) {
            Note(errno);
            return false;
        }
        inQueue = in > 0 ? static_cast<uint32_t>(in) : 0;
        outQueue = out > 0 ? static_cast<uint32_t>(out) : 0;
        return true;
    }

    bool InputQueue(uint32_t& inQueue) override {
        inQueue = 0;
        if (fd_ < 0) return false;
        int in = 0;
        if (ioctl(fd_, TIOCINQ, &in) != 0) {
            Note(errno);
            return false;
        }
        inQueue = in > 0 ? static_cast<uint32_t>(in) : 0;
        return true;
    }

    bool ModemStatus(unsigned& lines) override {
        lines = 0;
        int bits = 0;
        if (fd_ < 0) return false;
        if (ioctl(fd_, TIOCMGET, &bits) != 0) {
            Note(errno);  // a pseudo-terminal has no modem lines (ENOTTY): that is no loss
            return false;
        }
        if (bits & TIOCM_CTS) lines |= kModemCTS;
        if (bits & TIOCM_DSR) lines |= kModemDSR;
        if (bits & TIOCM_RNG) lines |= kModemRING;
        if (bits & TIOCM_CD) lines |= kModemRLSD;
        return true;
    }

    std::size_t Read(uint8_t* buffer, std::size_t count) override {
        if (fd_ < 0 || count == 0) return 0;
        ssize_t n;
        do {
            n = ::read(fd_, buffer, count);
        } while (n < 0 && errno == EINTR);
        if (n < 0) Note(errno);
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }

    std::size_t Write(const uint8_t* data, std::size_t count) override {
        if (fd_ < 0 || count == 0) return 0;
        ssize_t n;
        do {
            n = ::write(fd_, data, count);
        } while (n < 0 && errno == EINTR);
        if (n < 0) Note(errno);
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }

    // Returns early only when bytes can really be read. A line whose far end is gone keeps
    // reporting "ready" (hang-up, or readable with nothing to read): that case sleeps out
    // the time, so a caller's loop does not spin.
    void WaitReadable(uint32_t timeoutMs) override {
        Wait(POLLIN, timeoutMs);
    }

    // Returns early only when the kernel would take bytes; a hung-up line sleeps instead.
    void WaitWritable(uint32_t timeoutMs) override {
        Wait(POLLOUT, timeoutMs);
    }

private:
    void Wait(short event, uint32_t timeoutMs) {
        Clock& clock = SystemClock();
        if (fd_ < 0) {
            clock.SleepMs(timeoutMs);
            return;
        }
        const uint32_t start = clock.NowMs();
        pollfd p{fd_, event, 0};
        const int ready = poll(&p, 1, PollTimeout(timeoutMs));
        if (ready == 0) return;  // the whole time has passed
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) gone_ = true;
        if (ready > 0 && (p.revents & event) && !(p.revents & (POLLERR | POLLNVAL)) && Usable(event, p.revents))
            return;
        const uint32_t spent = clock.NowMs() - start;
        if (spent < timeoutMs) clock.SleepMs(timeoutMs - spent);
    }

    bool Usable(short event, short revents) {
        if (event == POLLOUT) return !(revents & POLLHUP);
        int in = 0;
        return ioctl(fd_, TIOCINQ, &in) == 0 && in > 0;
    }

    void Note(int error) {
        if (DeviceGoneError(error)) gone_ = true;
    }

    // How often the polling tick looks whether the device node has been removed.
    static constexpr uint32_t kNodeCheckPeriodMs = 1000;

    int fd_ = -1;
    bool gone_ = false;
    uint32_t lastNodeCheckMs_ = 0;
    PortOpenFailure failure_;
};

}  // namespace

std::unique_ptr<PortBackend> MakeSystemPortBackend() { return std::make_unique<PosixPortBackend>(); }

}  // namespace qel
