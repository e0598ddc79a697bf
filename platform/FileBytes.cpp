#include "FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace qel {

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Get() const { return fd_; }
    // Closes now and tells whether the close succeeded.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// The path to replace: the file a symbolic link names, or the path itself. Empty when a
// link leads nowhere.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return {};
    return resolved;
}

}  // namespace

FileReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    if (path.empty()) return FileReadResult::Missing;
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) return errno == ENOENT ? FileReadResult::Missing : FileReadResult::Failed;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return FileReadResult::Failed;
    std::vector<char> buf(65536);
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buf.data(), buf.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            bytes.clear();
            return FileReadResult::Failed;
        }
        if (n == 0) return FileReadResult::Ok;
        bytes.append(buf.data(), static_cast<std::size_t>(n));
    }
}

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
    if (path.empty()) return false;
    const std::string target = ResolveTarget(path);
    if (target.empty()) return false;

    struct stat st {};
    bool exists = false;
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) != 0) return false;
        exists = true;
    } else if (errno != ENOENT) {
        return false;  // for example a regular file standing where a folder should be
    }
    const std::string folder = FolderOf(target);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return false;

    std::string temp = folder + "/." + BaseNameOf(target) + ".XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.Get() < 0) return false;
    const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    bool ok = WriteAll(fd.Get(), bytes) && ::fchmod(fd.Get(), mode) == 0;
    if (ok && exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        // Keeps the owner where the system allows it; an unprivileged user cannot give a
        // file away, and the replaced file is then owned by the writer, as a new one is.
        const bool ownerKept = ::fchown(fd.Get(), st.st_uid, st.st_gid) == 0;
        static_cast<void>(ownerKept);
    }
    ok = ok && ::fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    if (ok && ::rename(temp.c_str(), target.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

}  // namespace qel
