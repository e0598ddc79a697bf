#include "SingleInstance.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace qel {

namespace {

constexpr const char* kLockName = "QEL1Monitor";

// A folder that no one but this user (and root) can change: the user's own, with no write
// bit for group or others. Another user's folder, or a shared one, would let them plant
// or remove the lock file.
bool IsPrivateFolder(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 022) == 0;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_dir != nullptr) return entry->pw_dir;
    return {};
}

// ~/.local/state/qel1-agent: the folders that are missing are made private to the user.
std::string StateFolder() {
    const std::string home = HomeFolder();
    if (home.empty()) return {};
    std::string folder;
    for (const char* part : {"/.local", "/.local/state", "/.local/state/qel1-agent"}) {
        folder = home + part;
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    }
    return IsPrivateFolder(folder) ? folder : std::string();
}

}  // namespace

std::string SingleInstanceLock::DefaultLockFilePath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && IsPrivateFolder(runtime)) return std::string(runtime) + "/" + kLockName;
    const std::string userRuntime = "/run/user/" + std::to_string(::geteuid());
    if (IsPrivateFolder(userRuntime)) return userRuntime + "/" + kLockName;
    const std::string state = StateFolder();
    return state.empty() ? std::string() : state + "/" + kLockName;
}

SingleInstanceLock::SingleInstanceLock() : SingleInstanceLock(DefaultLockFilePath()) {}

SingleInstanceLock::SingleInstanceLock(const std::string& lockFilePath) {
    if (lockFilePath.empty()) {
        problem_ = "нет папки для файла блокировки, которую мог бы менять только этот пользователь";
        return;
    }
    const std::string where = "файл блокировки " + lockFilePath;
    do {
        fd_ = ::open(lockFilePath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        if (errno == ELOOP)
            problem_ = where + " - символическая ссылка";
        else if (errno == EISDIR)
            problem_ = where + " - папка";
        else
            problem_ = where + " не открывается: " + std::strerror(errno);
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem_ = where + " - не обычный файл";
        return;
    }
    if (st.st_uid != ::geteuid()) {
        problem_ = where + " принадлежит другому пользователю";
        return;
    }
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0)
        held_ = true;
    else if (errno != EWOULDBLOCK)
        problem_ = where + " не запирается: " + std::strerror(errno);
    // EWOULDBLOCK: another copy holds it; no problem, just a second copy.
}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace qel
