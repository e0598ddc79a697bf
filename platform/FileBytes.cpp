#include "FileBytes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "PosixFile.h"

namespace qel {

namespace {

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
    PosixFile file;
    if (!file.OpenForReading(path)) return file.Error() == ENOENT ? FileReadResult::Missing : FileReadResult::Failed;
    if (file.IsRegularFile() && file.ReadAll(bytes)) return FileReadResult::Ok;
    bytes.clear();
    return FileReadResult::Failed;
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
    const std::string folder = ContainingFolder(target);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return false;

    std::string temp = folder + "/." + BaseNameOf(target) + ".XXXXXX";
    PosixFile file;
    if (!file.CreateUnique(temp)) return false;
    const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    bool ok = file.WriteAll(bytes) && file.SetMode(mode);
    if (ok && exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        // Keeps the owner where the system allows it; an unprivileged user cannot give a
        // file away, and the replaced file is then owned by the writer, as a new one is.
        const bool ownerKept = file.SetOwner(st.st_uid, st.st_gid);
        static_cast<void>(ownerKept);
    }
    ok = ok && file.Sync();
    ok = file.Close() && ok;
    if (ok && ::rename(temp.c_str(), target.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

}  // namespace qel
