#include "PosixFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "PosixFileFaults_p.h"

namespace qel {

namespace {

constexpr int kMaxLinks = 40;  // as the system's own limit for one path

FileWriteCall g_writeCall = nullptr;

ssize_t SystemWrite(int fd, const void* data, std::size_t size) {
    return g_writeCall != nullptr ? g_writeCall(fd, data, size) : ::write(fd, data, size);
}

FileSyncCall g_syncCall = nullptr;

// The kernel's rule for links, applied to every folder: in a folder that someone other
// than this user (or root) may write - sticky, writable by group or others, or owned by
// another user - a link is followed only when it belongs to this user or to the folder's
// owner; a link in a folder that only this user (or root) can write was put there by one
// of them, and is followed.
bool MayFollow(const struct stat& link, const std::string& folder) {
    const uid_t user = ::geteuid();
    if (link.st_uid == user) return true;
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return false;
    const bool shared = (st.st_mode & (S_ISVTX | S_IWGRP | S_IWOTH)) != 0 || (st.st_uid != user && st.st_uid != 0);
    return !shared || link.st_uid == st.st_uid;
}

bool ReadLink(const std::string& path, std::string& target) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0) return false;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            target.assign(buffer.data(), static_cast<std::size_t>(n));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

int ErrorFor(FileRefusal refusal) {
    switch (refusal) {
        case FileRefusal::Folder: return EISDIR;
        case FileRefusal::Pipe:
        case FileRefusal::Device:
        case FileRefusal::Socket: return ENXIO;
        case FileRefusal::ForeignLink:
        case FileRefusal::ReadOnly: return EACCES;
        case FileRefusal::None: break;
    }
    return 0;
}

}  // namespace

FileRefusal RefusalForMode(mode_t mode) {
    if (S_ISREG(mode)) return FileRefusal::None;
    if (S_ISDIR(mode)) return FileRefusal::Folder;
    if (S_ISFIFO(mode)) return FileRefusal::Pipe;
    if (S_ISSOCK(mode)) return FileRefusal::Socket;
    return FileRefusal::Device;
}

bool FollowOwnLinks(const std::string& path, std::string& target, FileRefusal& refusal, int& error) {
    std::string current = path;
    target.clear();
    refusal = FileRefusal::None;
    error = 0;
    for (int links = 0;; ++links) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;  // the opening tells the rest
        if (links == kMaxLinks) {
            error = ELOOP;
            return false;
        }
        if (!MayFollow(st, ContainingFolder(current))) {
            refusal = FileRefusal::ForeignLink;
            error = EACCES;
            return false;
        }
        std::string next;
        if (!ReadLink(current, next)) {
            error = errno;
            return false;
        }
        current = (!next.empty() && next.front() == '/') ? next : ContainingFolder(current) + "/" + next;
    }
    target = current;
    return true;
}

PosixFile::~PosixFile() {
    if (fd_ >= 0) ::close(fd_);
}

void SetFileWriteCall(FileWriteCall call) { g_writeCall = call; }

void SetFileSyncCall(FileSyncCall call) { g_syncCall = call; }

bool PosixFile::Fail(int error, FileRefusal refusal) {
    error_ = error;
    refusal_ = refusal;
    return false;
}

bool PosixFile::OpenWith(const std::string& path, int flags, bool truncate) {
    if (fd_ >= 0) Close();
    error_ = 0;
    refusal_ = FileRefusal::None;
    const bool writing = (flags & O_ACCMODE) != O_RDONLY;
    // Each pass looks at what stands at the path, then opens without following a link and
    // without waiting; a link planted between the look and the opening makes another pass.
    for (int pass = 0; pass < kMaxLinks; ++pass) {
        std::string target;
        FileRefusal refusal = FileRefusal::None;
        int error = 0;
        if (!FollowOwnLinks(path, target, refusal, error)) return Fail(error, refusal);

        struct stat st {};
        const bool existed = ::lstat(target.c_str(), &st) == 0;
        // Nothing but a regular file is opened: opening a device or a pipe may have effects.
        if (existed && !S_ISLNK(st.st_mode)) {
            const FileRefusal kind = RefusalForMode(st.st_mode);
            if (kind != FileRefusal::None) return Fail(ErrorFor(kind), kind);
        }

        int fd;
        do {
            fd = ::open(target.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            if (errno == ELOOP) continue;
            return Fail(errno);
        }
        if (::fstat(fd, &st) != 0) {
            const int e = errno;
            ::close(fd);
            return Fail(e);
        }
        FileRefusal kind = RefusalForMode(st.st_mode);
        if (kind == FileRefusal::None && writing && existed && (st.st_mode & 0222) == 0) kind = FileRefusal::ReadOnly;
        if (kind != FileRefusal::None) {
            ::close(fd);
            return Fail(ErrorFor(kind), kind);
        }
        if (truncate && ::ftruncate(fd, 0) != 0) {
            const int e = errno;
            ::close(fd);
            return Fail(e);
        }
        fd_ = fd;
        return true;
    }
    return Fail(ELOOP);
}

bool PosixFile::OpenForReading(const std::string& path) { return OpenWith(path, O_RDONLY, false); }
bool PosixFile::OpenForAppending(const std::string& path) { return OpenWith(path, O_WRONLY | O_APPEND, false); }
bool PosixFile::CreateForAppending(const std::string& path) {
    return OpenWith(path, O_WRONLY | O_APPEND | O_CREAT, false);
}
bool PosixFile::CreateTruncated(const std::string& path) { return OpenWith(path, O_WRONLY | O_CREAT, true); }

bool PosixFile::CreateUnique(std::string& pathPattern) {
    if (fd_ >= 0) Close();
    refusal_ = FileRefusal::None;
    fd_ = ::mkostemp(pathPattern.data(), O_CLOEXEC);
    error_ = fd_ < 0 ? errno : 0;
    return fd_ >= 0;
}

bool PosixFile::ReadAll(std::string& bytes) {
    if (fd_ < 0) return Fail(EBADF);
    // One allocation for the whole file where its size is known.
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && st.st_size > 0) bytes.reserve(bytes.size() + static_cast<std::size_t>(st.st_size) + 1);
    char spill[16384];
    for (;;) {
        // Into the string while it has room, so a known size costs no copy; past that
        // (a file that grows while it is read, or one of unknown size) through a buffer.
        const std::size_t room = bytes.capacity() - bytes.size();
        ssize_t n;
        if (room >= sizeof spill) {
            const std::size_t before = bytes.size();
            bytes.resize(before + room);
            n = ::read(fd_, bytes.data() + before, room);
            bytes.resize(before + (n > 0 ? static_cast<std::size_t>(n) : 0));
        } else {
            n = ::read(fd_, spill, sizeof spill);
            if (n > 0) bytes.append(spill, static_cast<std::size_t>(n));
        }
        if (n == 0) return true;
        if (n < 0 && errno != EINTR) return Fail(errno);  // a failing disk
    }
}

bool PosixFile::WriteAll(std::string_view bytes, std::size_t* written) {
    if (written != nullptr) *written = 0;
    if (fd_ < 0) return Fail(EBADF);
    while (!bytes.empty()) {
        const ssize_t n = SystemWrite(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(errno);
        }
        if (n == 0) return Fail(ENOSPC);  // no progress and no reason given: treat as a full device
        bytes.remove_prefix(static_cast<std::size_t>(n));
        if (written != nullptr) *written += static_cast<std::size_t>(n);
    }
    return true;
}

bool PosixFile::Position(off_t& offset) {
    if (fd_ < 0) return Fail(EBADF);
    offset = ::lseek(fd_, 0, SEEK_CUR);
    return offset >= 0 || Fail(errno);
}

bool PosixFile::Truncate(off_t size) {
    if (fd_ < 0) return Fail(EBADF);
    int rc;
    do {
        rc = ::ftruncate(fd_, size);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 || Fail(errno);
}

bool PosixFile::Sync() {
    if (fd_ < 0) return Fail(EBADF);
    int rc;
    do {
        rc = g_syncCall != nullptr ? g_syncCall(fd_) : ::fsync(fd_);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 || Fail(errno);
}

bool PosixFile::SetMode(mode_t mode) {
    if (fd_ >= 0 && ::fchmod(fd_, mode) == 0) return true;
    return Fail(fd_ < 0 ? EBADF : errno);
}

bool PosixFile::SetOwner(uid_t owner, gid_t group) {
    if (fd_ >= 0 && ::fchown(fd_, owner, group) == 0) return true;
    return Fail(fd_ < 0 ? EBADF : errno);
}

bool PosixFile::Close() {
    if (fd_ < 0) return true;
    // Never retried: on Linux the descriptor is released whatever close returns, and an
    // interrupted close counts as a failure because the outcome of the write is unknown.
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0 || Fail(errno);
}

std::string PosixFile::FailureText() const {
    switch (refusal_) {
        case FileRefusal::Pipe: return "a named pipe stands at this path";
        case FileRefusal::Device: return "a device stands at this path";
        case FileRefusal::Socket: return "a socket stands at this path";
        case FileRefusal::ForeignLink: return "the symbolic link at this path belongs to another user";
        case FileRefusal::ReadOnly: return "the file is read-only";
        case FileRefusal::Folder:  // the system's own words: "Is a directory"
        case FileRefusal::None: break;
    }
    return SystemErrorText(error_);
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
