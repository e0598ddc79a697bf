#include "DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "Cp1251.h"
#include "FileReason.h"
#include "PosixFile.h"

namespace qel {

namespace {

// Everything up to and including the last "\", ":" or "/" (nothing when none occurs).
std::string DirectoryPart(const std::string& path) {
    const auto last = path.find_last_of("\\:/");
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Why a record did not reach the file, in the list's language.
std::string ReasonText(FileRefusal refusal, int error) { return FileReasonText(refusal, error); }

std::string ReasonOf(const PosixFile& file) { return ReasonText(file.Refusal(), file.Error()); }

enum class OpenOutcome { Opened, Failed, FailedReportNow };

// Append mode: an existing file is appended to, a missing file in an existing folder is
// created; anything else (missing folder, something other than a file at the path, a
// link of another user, no access) is a failure that is reported at once. A file that
// exists and can be read but not written (read-only, a read-only disk) fails without
// the immediate report. The common case, an existing file, costs one open.
OpenOutcome OpenForAppend(PosixFile& file, const std::string& path) {
    if (file.OpenForAppending(path)) return OpenOutcome::Opened;
    if (file.Refusal() == FileRefusal::ReadOnly) return OpenOutcome::Failed;
    if (file.Refusal() != FileRefusal::None) return OpenOutcome::FailedReportNow;
    switch (file.Error()) {
        case ENOENT:
            // A missing file, or a missing folder on the way to it.
            if (!IsExistingFolder(ContainingFolder(path))) return OpenOutcome::FailedReportNow;
            return file.CreateForAppending(path) ? OpenOutcome::Opened : OpenOutcome::Failed;
        case EROFS: return OpenOutcome::Failed;
        case EACCES:
        case EPERM: return ::access(path.c_str(), R_OK) == 0 ? OpenOutcome::Failed : OpenOutcome::FailedReportNow;
        default: return OpenOutcome::FailedReportNow;
    }
}

// Writes the bytes and puts them on stable storage. When that fails part-way (a full
// disk), the file is cut back to where the bytes began: no fragment stays for the next
// line to be glued onto.
bool WriteLine(PosixFile& file, std::string_view bytes) {
    std::size_t written = 0;
    if (file.WriteAll(bytes, &written) && file.Sync()) return true;
    off_t end = 0;
    if (written > 0 && file.Position(end) && file.Truncate(end - static_cast<off_t>(written))) {
        const bool synced = file.Sync();
        static_cast<void>(synced);
    }
    return false;
}

// The mode a new file gets from open(…, 0666): the process's umask applied.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Puts a rename in the folder on stable storage; a failure only costs durability.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    static_cast<void>(::fsync(fd));
    ::close(fd);
}

}  // namespace

std::string NextRecordPath(const ProgramOptions& options, const std::string& currentFolder,
                           const std::string& namePattern) {
    const std::string name =
        options.multipleFiles ? DirectoryPart(options.dataFile) + namePattern : options.dataFile;
    if (name.empty()) return {};
    std::filesystem::path path(name);
    if (path.is_relative()) path = std::filesystem::path(currentFolder) / path;
    return path.lexically_normal().string();
}

bool DataFileWriter::Save2File(const std::string& line, const RecordFileName& name) {
    ProgramOptions options = options_.Current();
    if (options.multipleFiles) {
        options_.SetDataFile(DirectoryPart(options.dataFile) + name.date + "." + name.number);
        // As the options keep it now.
        options = options_.Current();
    }
    const std::string& path = options.dataFile;
    // An empty name can be neither opened nor created; it is a plain write failure.
    if (path.empty()) return Fail(line, path, "имя файла не задано");

    const std::string bytes = Utf8ToCp1251(line) + "\r\n";
    if (options.rewrite) {
        std::string reason;
        return Rewrite(path, bytes, reason) || Fail(line, path, reason);
    }

    PosixFile file;
    switch (OpenForAppend(file, path)) {
        case OpenOutcome::Opened:
            break;
        case OpenOutcome::Failed:
            return Fail(line, path, ReasonOf(file));
        case OpenOutcome::FailedReportNow:
            return Fail(line, path, ReasonOf(file), true);
    }

    // The line only counts as written once it is on stable storage and the file closed.
    const bool written = WriteLine(file, bytes);
    const std::string reason = ReasonOf(file);
    if (!file.Close()) return Fail(line, path, ReasonOf(file));
    return written || Fail(line, path, reason);
}

// The new content goes into a file beside the old one, reaches stable storage and then
// takes the old one's place in one rename: a reader sees the old line or the new one,
// never an empty or partial file. Through a link the link's target is replaced. Where the
// folder takes no new file but the file itself can be written, it is rewritten in place.
bool DataFileWriter::Rewrite(const std::string& path, std::string_view bytes, std::string& reason) {
    std::string target;
    FileRefusal refusal = FileRefusal::None;
    int error = 0;
    if (!FollowOwnLinks(path, target, refusal, error)) {
        reason = ReasonText(refusal, error);
        return false;
    }
    struct stat old {};
    const bool exists = ::lstat(target.c_str(), &old) == 0;
    if (exists) {
        refusal = RefusalForMode(old.st_mode);
        // Without a write bit the file is read-only, also for root, whom the system would let write it.
        if (refusal == FileRefusal::None && (old.st_mode & 0222) == 0) refusal = FileRefusal::ReadOnly;
        // Replacing must not overwrite a file that this user could not write.
        if (refusal == FileRefusal::None && ::access(target.c_str(), W_OK) != 0) error = errno;
        if (refusal != FileRefusal::None || error != 0) {
            reason = ReasonText(refusal, error);
            return false;
        }
    }

    const std::string folder = ContainingFolder(target);
    std::string temporary = folder + "/." + BaseName(target) + ".XXXXXX";
    PosixFile file;
    if (!file.CreateUnique(temporary)) {
        const int e = file.Error();
        if (!exists || (e != EACCES && e != EPERM)) {
            reason = ReasonText(FileRefusal::None, e);
            return false;
        }
        if (!inPlaceNoted_) {
            inPlaceNoted_ = true;
            log_.Note("Файл данных \"" + path + "\" перезаписывается на месте: в его папке нельзя создать файл");
        }
        PosixFile inPlace;
        const bool written = inPlace.CreateTruncated(target) && WriteLine(inPlace, bytes);
        reason = ReasonOf(inPlace);
        const bool closed = inPlace.Close();
        if (written && !closed) reason = ReasonOf(inPlace);
        return written && closed;
    }

    // The old file's permissions and owner (where this user may give them), else those
    // a newly created file gets.
    bool ok = file.SetMode(exists ? (old.st_mode & 07777) : NewFileMode());
    if (ok && exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
        static_cast<void>(file.SetOwner(old.st_uid, old.st_gid));
    ok = ok && WriteLine(file, bytes);
    reason = ReasonOf(file);
    if (!file.Close() && ok) {
        ok = false;
        reason = ReasonOf(file);
    }
    if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        reason = ReasonText(FileRefusal::None, errno);
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

bool DataFileWriter::HoldOffTick() {
    if (!holdOff_.blocked) return false;
    ++holdOff_.ticks;
    // The hold-off lasts ten ticks: nine pass quietly, the tenth ends it with the report.
    if (holdOff_.ticks <= 9) return false;
    holdOff_.ticks = 0;
    holdOff_.blocked = false;
    log_.Report(kDataFileNotAccessible);
    return true;
}

bool DataFileWriter::Fail(const std::string& line, const std::string& path, const std::string& reason,
                          bool reportNow) {
    const std::string note = kRecordNotWrittenPrefix + line + " - файл \"" + path + "\": " + reason;
    log_.Note(note);
    // A lost record also reaches the session's journal, as a port that fails does.
    std::fprintf(stderr, "qel1-agent: %s\n", note.c_str());
    std::fflush(stderr);
    // Reported before the hold-off is set: a record filed from inside the report's box is
    // written on its own, and this call still ends as a failure.
    if (reportNow) log_.Report(kDataFileNotAccessible);
    holdOff_.ticks = 0;
    holdOff_.blocked = true;
    return false;
}

}  // namespace qel
