#include "DataFile.h"

#include <cerrno>

#include "Cp1251.h"
#include "DiagnosticLog.h"
#include "PosixFile.h"
#include "RecordLine.h"

namespace qel {

namespace {

// Everything up to and including the last "\", ":" or "/" (nothing when none occurs).
std::string DirectoryPart(const std::string& path) {
    const auto last = path.find_last_of("\\:/");
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

enum class OpenOutcome { Opened, Failed, FailedReportNow };

// Append mode: an existing file is appended to, a missing file in an existing folder is
// created; anything else (missing folder, a folder in place of the file, no access) is a
// failure that is reported at once.
OpenOutcome OpenForAppend(PosixFile& file, const std::string& path) {
    if (file.OpenForReading(path)) {
        const bool isFolder = file.IsDirectory();
        file.Close();
        if (isFolder) return OpenOutcome::FailedReportNow;
        return file.OpenForAppending(path) ? OpenOutcome::Opened : OpenOutcome::Failed;
    }
    // ENOENT stands both for a missing file and for a missing folder on the way to it.
    if (file.Error() == ENOENT && IsExistingFolder(ContainingFolder(path)))
        return file.CreateForAppending(path) ? OpenOutcome::Opened : OpenOutcome::Failed;
    return OpenOutcome::FailedReportNow;
}

}  // namespace

void DataFileWriter::Save2File(const std::string& line) {
    if (options_.MultipleFiles()) {
        const std::string named =
            DirectoryPart(options_.DataFilePath()) + RecordFields.FileDateText + "." + RecordFields.FileNumberText;
        options_.SetDataFilePath(named);
    }
    const std::string path = options_.DataFilePath();
    // An empty name can be neither opened nor created; it is a plain write failure.
    if (path.empty()) {
        Fail();
        return;
    }

    PosixFile file;
    if (options_.RewriteFile()) {
        if (!file.CreateTruncated(path)) {
            Fail();
            return;
        }
    } else {
        switch (OpenForAppend(file, path)) {
            case OpenOutcome::Opened:
                break;
            case OpenOutcome::Failed:
                Fail();
                return;
            case OpenOutcome::FailedReportNow:
                Fail();
                ReportDiagnostic(kDataFileNotAccessible);
                return;
        }
    }

    // The line only counts as written once it is on stable storage and the file closed.
    const bool written = file.WriteAll(Utf8ToCp1251(line) + "\r\n") && file.Sync();
    const bool closed = file.Close();
    if (!written || !closed) Fail();
}

bool DataFileWriter::HoldOffTick() {
    if (!writeBlocked_) return false;
    ++writeBlockedTicks_;
    if (writeBlockedTicks_ <= 9) return false;
    writeBlockedTicks_ = 0;
    writeBlocked_ = false;
    ReportDiagnostic(kDataFileNotAccessible);
    return true;
}

void DataFileWriter::Fail() {
    writeBlockedTicks_ = 0;
    writeBlocked_ = true;
}

}  // namespace qel
