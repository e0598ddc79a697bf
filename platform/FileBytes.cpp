#include "FileBytes.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "FileReason.h"
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

FileReadResult ReadWholeFile(const std::string& path, std::string& bytes, std::string* reason) {
    bytes.clear();
    if (path.empty()) return FileReadResult::Missing;
    PosixFile file;
    const auto failed = [&] {
        if (reason != nullptr)
            *reason = file.Error() == EACCES && file.Refusal() == FileRefusal::None
                          ? "нет прав на чтение"
                          : FileReasonText(file.Refusal(), file.Error());
        return FileReadResult::Failed;
    };
    if (!file.OpenForReading(path))
        return file.Error() == ENOENT && file.Refusal() == FileRefusal::None ? FileReadResult::Missing : failed();
    if (file.ReadAll(bytes)) return FileReadResult::Ok;
    bytes.clear();
    return failed();
}

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes, std::string* reason) {
    return ReplaceFileAtomically(path, std::vector<std::string_view>{bytes}, reason);
}

bool ReplaceFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces, std::string* reason) {
    const auto fail = [reason](FileRefusal refusal, int error) {
        if (reason != nullptr) *reason = FileReasonText(refusal, error);
        return false;
    };
    if (reason != nullptr) reason->clear();
    if (path.empty()) return fail(FileRefusal::None, ENOENT);
    std::string target;
    FileRefusal refusal = FileRefusal::None;
    int error = 0;
    if (!FollowOwnLinks(path, target, refusal, error)) return fail(refusal, error);

    struct stat st {};
    bool exists = false;
    if (::stat(target.c_str(), &st) == 0) {
        // Root passes every access test: a file without any write bit is read-only to all.
        if (!S_ISREG(st.st_mode)) return fail(RefusalForMode(st.st_mode), 0);
        if ((st.st_mode & 0222) == 0) return fail(FileRefusal::ReadOnly, EACCES);
        if (::access(target.c_str(), W_OK) != 0) return fail(FileRefusal::None, errno);
        exists = true;
    } else if (errno != ENOENT) {
        return fail(FileRefusal::None, errno);  // for example a regular file standing where a folder should be
    }
    const std::string folder = ContainingFolder(target);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return fail(FileRefusal::None, errno);

    std::string temp = folder + "/." + BaseNameOf(target) + ".XXXXXX";
    PosixFile file;
    if (!file.CreateUnique(temp)) return fail(FileRefusal::None, file.Error());
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
    int failure = file.Error();
    if (ok) {
        if (::rename(temp.c_str(), target.c_str()) == 0) return true;
        failure = errno;
    }
    ::unlink(temp.c_str());
    return fail(FileRefusal::None, failure);
}

void RemoveLeftoverTemporaries(const std::string& path) {
    std::string target;
    FileRefusal refusal = FileRefusal::None;
    int error = 0;
    if (path.empty() || !FollowOwnLinks(path, target, refusal, error)) return;
    const std::string folder = ContainingFolder(target);
    const std::string prefix = "." + BaseNameOf(target) + ".";
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
        bool madeName = true;
        for (std::size_t i = prefix.size(); i < name.size(); ++i)
            {
            const char c = name[i];
            madeName = madeName && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
        }
        const std::string leftover = folder + "/" + name;
        struct stat st {};
        if (madeName && ::lstat(leftover.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
            ::unlink(leftover.c_str());
    }
    ::closedir(dir);
}

}  // namespace qel
