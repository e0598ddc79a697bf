#include "PosixFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace qel {

PosixFile::~PosixFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool PosixFile::OpenWith(const std::string& path, int flags) {
    if (fd_ >= 0) Close();
    do {
        fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    error_ = fd_ < 0 ? errno : 0;
    return fd_ >= 0;
}

bool PosixFile::OpenForReading(const std::string& path) { return OpenWith(path, O_RDONLY); }
bool PosixFile::OpenForAppending(const std::string& path) { return OpenWith(path, O_WRONLY | O_APPEND); }
bool PosixFile::CreateForAppending(const std::string& path) {
    return OpenWith(path, O_WRONLY | O_APPEND | O_CREAT);
}
bool PosixFile::CreateTruncated(const std::string& path) { return OpenWith(path, O_WRONLY | O_CREAT | O_TRUNC); }

bool PosixFile::CreateUnique(std::string& pathPattern) {
    if (fd_ >= 0) Close();
    fd_ = ::mkostemp(pathPattern.data(), O_CLOEXEC);
    error_ = fd_ < 0 ? errno : 0;
    return fd_ >= 0;
}

bool PosixFile::IsDirectory() const {
    struct stat st {};
    return fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFile::IsRegularFile() const {
    struct stat st {};
    return fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixFile::ReadAll(std::string& bytes) {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    std::vector<char> buffer(65536);
    for (;;) {
        const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
        if (n > 0) {
            bytes.append(buffer.data(), static_cast<std::size_t>(n));
        } else if (n == 0) {
            return true;
        } else if (errno != EINTR) {
            error_ = errno;  // a folder, or a failing disk
            return false;
        }
    }
}

bool PosixFile::WriteAll(std::string_view bytes) {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return false;
        }
        if (n == 0) {  // no progress and no reason given: treat as a full device
            error_ = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool PosixFile::Sync() {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    int rc;
    do {
        rc = ::fsync(fd_);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool PosixFile::SetMode(mode_t mode) {
    if (fd_ >= 0 && ::fchmod(fd_, mode) == 0) return true;
    error_ = fd_ < 0 ? EBADF : errno;
    return false;
}

bool PosixFile::SetOwner(uid_t owner, gid_t group) {
    if (fd_ >= 0 && ::fchown(fd_, owner, group) == 0) return true;
    error_ = fd_ < 0 ? EBADF : errno;
    return false;
}

bool PosixFile::Close() {
    if (fd_ < 0) return true;
    // Never retried: on Linux the descriptor is released whatever close returns, and an
    // interrupted close counts as a failure because the outcome of the write is unknown.
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool IsExistingFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ContainingFolder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string SystemErrorText(int error) { return std::generic_category().message(error); }

}  // namespace qel
