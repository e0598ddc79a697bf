#include "SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>

namespace qel {

namespace {

constexpr const char* kLockName = "QEL1Monitor";

bool IsOwnPrivateFolder(const std::string& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 0077) == 0;
}

// /tmp/qel1-agent-<uid>, made private to the user; a folder that someone else owns or
// that others may write into is not used.
std::string FallbackFolder() {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<unsigned long>(::getuid())).ptr;
    const std::string folder = "/tmp/qel1-agent-" + std::string(digits, end);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return IsOwnPrivateFolder(folder) ? folder : std::string();
}

}  // namespace

std::string SingleInstanceLock::DefaultLockFilePath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        struct stat st {};
        if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return std::string(runtime) + "/" + kLockName;
    }
    const std::string folder = FallbackFolder();
    return folder.empty() ? std::string() : folder + "/" + kLockName;
}

SingleInstanceLock::SingleInstanceLock() : SingleInstanceLock(DefaultLockFilePath()) {}

SingleInstanceLock::SingleInstanceLock(const std::string& lockFilePath) {
    if (lockFilePath.empty()) return;
    fd_ = ::open(lockFilePath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) return;
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        held_ = true;
    } else if (errno == EWOULDBLOCK) {
        first_ = false;
    }
}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace qel
