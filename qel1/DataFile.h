#pragma once
#include <string>

namespace qel {

// The three options of the settings window that decide where a record goes; read live.
class DataFileOptions {
public:
    virtual ~DataFileOptions() = default;
    virtual std::string DataFilePath() = 0;             // Edit1 (UTF-8)
    virtual void SetDataFilePath(const std::string&) = 0;  // per-record name written back
    virtual bool RewriteFile() = 0;                      // CB_Rewrite
    virtual bool MultipleFiles() = 0;                    // CB_MultyFiles
};

inline constexpr const char* kDataFileNotAccessible = "Ошибка при записи данных в файл, файл не доступен";

// Save2File and its write hold-off: the one place where records reach the disk.
class DataFileWriter {
public:
    explicit DataFileWriter(DataFileOptions& options) : options_(options) {}

    // Writes line + CR LF as the options say; a failure sets the hold-off (see HoldOffTick).
    void Save2File(const std::string& line);

    // The countdown at the start of every Timer1 tick. Returns true when the hold-off
    // ended on this tick (it was reported, and the rest of the tick is skipped).
    bool HoldOffTick();

    bool WriteBlocked() const { return writeBlocked_; }
    int WriteBlockedTicks() const { return writeBlockedTicks_; }

private:
    void Fail();
    DataFileOptions& options_;
    bool writeBlocked_ = false;
    int writeBlockedTicks_ = 0;
};

}  // namespace qel
