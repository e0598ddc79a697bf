#include "SimLine.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "PortBackend.h"

namespace qel {
namespace {

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

int PollTimeout(uint32_t ms) {
    return ms > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(ms);
}

class PtyLine final : public SimLine {
public:
    ~PtyLine() override {
        if (!linkPath_.empty()) {
            // Remove the link only while it still points at this terminal.
            char target[PATH_MAX];
            const ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
            if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath_) unlink(linkPath_.c_str());
        }
        for (const int fd : {wake_, slave_, master_}) {
            if (fd >= 0) close(fd);
        }
    }

    bool Open(const std::string& linkPath, std::string& error) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0) return Fail(error, "posix_openpt");
        if (grantpt(master_) != 0) return Fail(error, "grantpt");
        if (unlockpt(master_) != 0) return Fail(error, "unlockpt");
        char name[PATH_MAX];
        if (ptsname_r(master_, name, sizeof name) != 0) return Fail(error, "ptsname_r");
        slavePath_ = name;
        if (fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) return Fail(error, "fcntl");
        slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (slave_ < 0) return Fail(error, "open slave");
        termios t{};
        if (tcgetattr(slave_, &t) != 0) return Fail(error, "tcgetattr");
        cfmakeraw(&t);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
        t.c_cflag |= CS8 | CLOCAL | CREAD;
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        if (tcsetattr(slave_, TCSANOW, &t) != 0) return Fail(error, "tcsetattr");
        wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wake_ < 0) return Fail(error, "eventfd");
        if (!linkPath.empty()) {
            struct stat st{};
            if (lstat(linkPath.c_str(), &st) == 0) {
                if (!S_ISLNK(st.st_mode)) {
                    error = linkPath + ": exists and is not a symbolic link; left alone";
                    return false;
                }
                if (unlink(linkPath.c_str()) != 0) return Fail(error, linkPath.c_str());
            }
            if (symlink(slavePath_.c_str(), linkPath.c_str()) != 0) return Fail(error, linkPath.c_str());
            linkPath_ = linkPath;
        }
        return true;
    }

    const std::string& Path() const override { return slavePath_; }

    std::size_t Read(uint8_t* buffer, std::size_t count, bool& gone) override {
        ssize_t n;
        do {
            n = read(master_, buffer, count);
        } while (n < 0 && errno == EINTR);
        if (n > 0) return static_cast<std::size_t>(n);
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) gone = true;
        return 0;
    }

    std::size_t Write(const uint8_t* data, std::size_t count) override {
        ssize_t n;
        do {
            n = write(master_, data, count);
        } while (n < 0 && errno == EINTR);
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }

    void WaitReadable(uint32_t timeoutMs) override {
        pollfd fds[2] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (poll(fds, 2, PollTimeout(timeoutMs)) > 0 && (fds[1].revents & POLLIN)) {
            uint64_t drained = 0;
            (void)!read(wake_, &drained, sizeof drained);
        }
    }

    void WaitWritable(uint32_t timeoutMs) override {
        pollfd fd = {master_, POLLOUT, 0};
        (void)poll(&fd, 1, PollTimeout(timeoutMs));
    }

    void Wake() override {
        const uint64_t one = 1;
        (void)!write(wake_, &one, sizeof one);
    }

private:
    static bool Fail(std::string& error, const char* what) {
        error = ErrnoText(what);
        return false;
    }

    int master_ = -1;
    int slave_ = -1;
    int wake_ = -1;
    std::string slavePath_;
    std::string linkPath_;
};

// A real port through the program's own port backend. Its waits cannot be woken, so
// they are kept short.
class PortLine final : public SimLine {
public:
    static constexpr uint32_t kWaitSliceMs = 20;

    PortLine(std::unique_ptr<PortBackend> backend, std::string path)
        : backend_(std::move(backend)), path_(std::move(path)) {}
    ~PortLine() override { backend_->Close(); }

    const std::string& Path() const override { return path_; }
    std::size_t Read(uint8_t* buffer, std::size_t count, bool&) override { return backend_->Read(buffer, count); }
    std::size_t Write(const uint8_t* data, std::size_t count) override { return backend_->Write(data, count); }
    void WaitReadable(uint32_t timeoutMs) override { backend_->WaitReadable(std::min(timeoutMs, kWaitSliceMs)); }
    void WaitWritable(uint32_t timeoutMs) override { backend_->WaitWritable(std::min(timeoutMs, kWaitSliceMs)); }
    void Wake() override {}

private:
    std::unique_ptr<PortBackend> backend_;
    std::string path_;
};

}  // namespace

std::unique_ptr<SimLine> OpenPtyLine(const std::string& linkPath, std::string& error) {
    auto line = std::make_unique<PtyLine>();
    if (!line->Open(linkPath, error)) return nullptr;
    return line;
}

std::unique_ptr<SimLine> OpenPortLine(const std::string& device, uint32_t baud, std::string& error) {
    auto backend = MakeSystemPortBackend();
    if (!backend->Open(device)) {
        error = device + ": cannot open (missing, not a terminal, or held by another program)";
        return nullptr;
    }
    LineSettings settings;
    settings.baudRate = baud;
    backend->Configure(settings);
    return std::make_unique<PortLine>(std::move(backend), device);
}

}  // namespace qel
