#include "DataFile.h"

#include <cerrno>

#include "Cp1251.h"
#include "PosixFile.h"

namespace qel {

namespace {

// Everything up to and including the last "\", ":" or "/" (nothing when none occurs).
std::string DirectoryPart(const std::string& path) {
    const auto last = path.find_last_of("\\:/");
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

enum class OpenOutcome { Opened, Failed, FailedReportNow };

// Why the data file's path was refused, for the diagnostics list.
std::string RefusalNote(const std::string& path, FileRefusal refusal) {
    const char* reason = "";
    switch (refusal) {
        case FileRefusal::Folder: reason = "на его месте папка"; break;
        case FileRefusal::Pipe: reason = "на его месте именованный канал"; break;
        case FileRefusal::Device: reason = "на его месте устройство"; break;
        case FileRefusal::Socket: reason = "на его месте сокет"; break;
        case FileRefusal::ForeignLink: reason = "это символическая ссылка другого пользователя"; break;
        case FileRefusal::ReadOnly: reason = "файл только для чтения"; break;
        case FileRefusal::None: break;
    }
    return "Файл данных \"" + path + "\" не записан: " + reason;
}

// Append mode: an existing file is appended to, a missing file in an existing folder is
// created; anything else (missing folder, something other than a file at the path, a
// link of another user, no access) is a failure that is reported at once.
OpenOutcome OpenForAppend(PosixFile& file, const std::string& path) {
    if (file.OpenForReading(path)) {
        file.Close();
        return file.OpenForAppending(path) ? OpenOutcome::Opened : OpenOutcome::Failed;
    }
    // ENOENT stands both for a missing file and for a missing folder on the way to it.
    if (file.Refusal() == FileRefusal::None && file.Error() == ENOENT && IsExistingFolder(ContainingFolder(path)))
        return file.CreateForAppending(path) ? OpenOutcome::Opened : OpenOutcome::Failed;
    return OpenOutcome::FailedReportNow;
}

// Opens the data file as the mode says; a path refused for what stands at it is noted
// with its reason.
OpenOutcome OpenDataFile(PosixFile& file, const std::string& path, bool rewrite, DiagnosticLog& log) {
    const OpenOutcome outcome =
        rewrite ? (file.CreateTruncated(path) ? OpenOutcome::Opened : OpenOutcome::Failed) : OpenForAppend(file, path);
    if (outcome != OpenOutcome::Opened && file.Refusal() != FileRefusal::None)
        log.Note(RefusalNote(path, file.Refusal()));
    return outcome;
}

// Writes the line and puts it on stable storage. When that fails part-way (a full disk),
// the file is cut back to where the line began: no fragment stays for the next line to
// be glued onto.
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

}  // namespace

void DataFileWriter::Save2File(const std::string& line, const RecordFileName& name) {
    ProgramOptions options = options_.Current();
    if (options.multipleFiles) {
        options_.SetDataFile(DirectoryPart(options.dataFile) + name.date + "." + name.number);
        // As the options keep it now.
        options = options_.Current();
    }
    const std::string& path = options.dataFile;
    // An empty name can be neither opened nor created; it is a plain write failure.
    if (path.empty()) {
        Fail();
        return;
    }

    PosixFile file;
    switch (OpenDataFile(file, path, options.rewrite, log_)) {
        case OpenOutcome::Opened:
            break;
        case OpenOutcome::Failed:
            Fail();
            return;
        case OpenOutcome::FailedReportNow:
            // Reported first: a record filed from inside the report's box is written on
            // its own, and this call still ends as a write failure.
            log_.Report(kDataFileNotAccessible);
            Fail();
            return;
    }

    // The line only counts as written once it is on stable storage and the file closed.
    const bool written = WriteLine(file, Utf8ToCp1251(line) + "\r\n");
    const bool closed = file.Close();
    if (!written || !closed) Fail();
}

bool DataFileWriter::HoldOffTick() {
    if (!holdOff_.blocked) return false;
    ++holdOff_.ticks;
    if (holdOff_.ticks <= 9) return false;
    holdOff_.ticks = 0;
    holdOff_.blocked = false;
    log_.Report(kDataFileNotAccessible);
    return true;
}

void DataFileWriter::Fail() {
    holdOff_.ticks = 0;
    holdOff_.blocked = true;
}

}  // namespace qel
