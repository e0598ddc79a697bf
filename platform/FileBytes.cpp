#include "FileBytes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

FileReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    if (path.empty()) return FileReadResult::Missing;
    PosixFile file;
    if (!file.OpenForReading(path))
        return file.Error() == ENOENT && file.Refusal() == FileRefusal::None ? FileReadResult::Missing
                                                                              : FileReadResult::Failed;
    if (file.ReadAll(bytes)) return FileReadResult::Ok;
    bytes.clear();
    return FileReadResult::Failed;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
    return ReplaceFileAtomically(path, std::vector<std::string_view>{bytes});
}

bool ReplaceFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces) {
    if (path.empty()) return false;
    std::string target;
    FileRefusal refusal = FileRefusal::None;
    int error = 0;
    if (!FollowOwnLinks(path, target, refusal, error)) return false;

    struct stat st {};
    bool exists = false;
    if (::stat(target.c_str(), &st) == 0) {
        // Root passes every access test: a file without any write bit is read-only to all.
        if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return false;
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
    bool ok = true;
    for (const std::string_view piece : pieces) ok = ok && file.WriteAll(piece);
    ok = ok && file.SetMode(mode);
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
