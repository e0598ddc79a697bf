#pragma once
#include <string>
#include <string_view>

#include "Configuration.h"
#include "DiagnosticLog.h"
#include "RecordLine.h"

namespace qel {

inline constexpr const char* kDataFileNotAccessible = "Ошибка при записи данных в файл, файл не доступен";
// Begins the list line that names a record the moment its write failed.
inline constexpr const char* kRecordNotWrittenPrefix = "Запись не сделана: ";

// Where the next record goes, as a full path: a relative data path is taken from
// `currentFolder` (the folder relative paths are opened from: an installed program's data
// folder). With one file per record the record's name, made from its date and number, is
// shown as `namePattern` in the folder it goes to.
std::string NextRecordPath(const ProgramOptions& options, const std::string& currentFolder,
                           const std::string& namePattern);

// The write hold-off: after a failed write, further records are refused until ten Timer1
// ticks have passed.
struct WriteHoldOff {
    bool blocked = false;  // WriteBlocked
    int ticks = 0;         // WriteBlockedTicks
};

// Save2File and its write hold-off: the one place where records reach the disk. Where a
// record goes (Edit1, CB_Rewrite, CB_MultyFiles) is read from the options at each write.
class DataFileWriter {
public:
    DataFileWriter(OptionsSource& options, DiagnosticLog& log, WriteHoldOff& holdOff)
        : options_(options), log_(log), holdOff_(holdOff) {}

    // Writes line + CR LF as the options say, into the record's own file when every record
    // has one; a failure sets the hold-off (see HoldOffTick) and is named in the list at
    // once: the line, the file and the reason. True when the line is on stable storage.
    // In rewrite mode the file is replaced whole, so a reader never finds it empty.
    bool Save2File(const std::string& line, const RecordFileName& name);

    // The countdown at the start of every Timer1 tick. Returns true when the hold-off
    // ended on this tick (it was reported, and the rest of the tick is skipped).
    bool HoldOffTick();

    bool WriteBlocked() const { return holdOff_.blocked; }
    int WriteBlockedTicks() const { return holdOff_.ticks; }

private:
    // Names the record that was not written, reports the failure at once when asked to, and
    // sets the hold-off; always false.
    bool Fail(const std::string& line, const std::string& path, const std::string& reason, bool reportNow = false);
    bool Rewrite(const std::string& path, std::string_view bytes, std::string& reason);
    OptionsSource& options_;
    DiagnosticLog& log_;
    WriteHoldOff& holdOff_;
    // The folder of a rewritten file could not take a file beside it, so the file was
    // rewritten in place; noted once.
    bool inPlaceNoted_ = false;
};

}  // namespace qel
