#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "IniFile.h"
#include "ProgramFolders.h"

namespace qel {

inline constexpr const char* kConfigurationSection = "QEL1_Agent";
inline constexpr const char* kConfigurationWriteError = "Ошибка при записи текущей конфигурации в реестр";

// Entries of the selection lists the configuration refers to.
inline constexpr int kPortCount = 8;        // COM1 .. COM8
inline constexpr int kSpeedCount = 2;       // 4800, 9600 Bd
inline constexpr int kDeviceTypeCount = 2;  // QEL-1, QEL-1M
// Selection indices of the device-type lists.
inline constexpr int kQel1TypeIndex = 0;
inline constexpr int kQel1mTypeIndex = 1;

// The settings file of a program with these folders.
std::string ConfigurationFilePath(const ProgramFolders& folders);

// One connection's controls in the settings window. Selection indices count from 0; -1
// means no selection.
struct ConnectionOptions {
    bool inUse = false;    // CheckBox1, CheckBox2
    int portIndex = -1;    // ComboBox1, ComboBox2: COM1 .. COM8
    int speedIndex = -1;   // CB_Spead1, CB_Spead2: 4800, 9600 Bd
    int typeIndex = -1;    // CB_QELType1, CB_QELType2: QEL-1, QEL-1M
};

// The index of connection 1 or 2 in the per-connection arrays; anything else counts as
// connection 2, as the settings window's second column does.
constexpr std::size_t ConnectionIndex(int connection) { return connection == 1 ? 0 : 1; }

// The program's options as the settings window holds them at one moment: its controls,
// the flag GetLastRecordIfError that no control shows, and the device names, which are
// edited in the QEL-1M control windows and outlive them. Each is one key of the
// configuration (SettingsKeys.h).
struct ProgramOptions {
    std::array<ConnectionOptions, 2> connections;  // connection 1 and 2
    bool lastRecordIfError = false;  // GetLastRecordIfError
    bool screenMessages = false;     // CB_ErrMes
    bool rewrite = false;            // CB_Rewrite
    bool multipleFiles = false;      // CB_MultyFiles
    std::string dataFile;            // Edit1 (UTF-8)
    std::array<std::string, 2> deviceNames;  // connection 1 and 2

    // `connection` is 1 or 2.
    const ConnectionOptions& Connection(int connection) const { return connections[ConnectionIndex(connection)]; }
    ConnectionOptions& Connection(int connection) { return connections[ConnectionIndex(connection)]; }
};

// Where code below the windows reads the options: at the moment of use, never cached.
class OptionsSource {
public:
    virtual ~OptionsSource() = default;
    // The options as they stand now.
    virtual ProgramOptions Current() const = 0;
    // One connection's options as they stand now; `connection` is 1 or 2. A source may give
    // them without reading everything else (the polling tick needs nothing more).
    virtual ConnectionOptions ConnectionNow(int connection) const { return Current().Connection(connection); }
    // A per-record data file name is written back where the data file's name is kept.
    virtual void SetDataFile(const std::string& path) = 0;
    // A device name edited in a control window is kept with the options; `connection` is
    // 1 or 2.
    virtual void SetDeviceName(int connection, const std::string& name) = 0;
};

// The keys of SettingsKeys.h, from one reading of the file. A file that exists but cannot
// be read gives the defaults, and `readProblem` (if given) says why; it is empty otherwise.
ProgramOptions LoadSettings(const IniFile& file, std::string* readProblem = nullptr);
// Writes the keys of SettingsKeys.h in order with one write of the file. A refused write
// gives false, with the reason in `reason` if given, and leaves the file as it was.
[[nodiscard]] bool SaveSettings(IniFile& file, const ProgramOptions& options, std::string* reason = nullptr);

// The texts (UTF-8) of the settings that a value of the file could not keep, and the keys
// of the file's values in the settings window.
struct UnkeptValue {
    std::string key;     // "SaveFile", "Name1", "Name2"; "COM1" .. for [Ports]
    std::string kept;    // the value the file keeps
    std::string wanted;  // the value that could not be written
    std::string characters;  // what the file cannot hold
};
// The strings of `wanted` that the settings file cannot hold (CharactersSettingsCannotHold),
// each with the value the file keeps instead (`stored`, as last read). `wanted` comes back
// with those values in their place.
std::vector<UnkeptValue> KeepValuesTheFileCannotHold(const std::string& settingsFile, ProgramOptions& wanted,
                                                     const ProgramOptions& stored);

// The list's texts of the settings file's problems.
std::string SettingsNotSavedText(const std::string& path, const std::string& reason);
std::string SettingsNotReadText(const std::string& path, const std::string& reason);
std::string ValueNotKeptText(const std::string& path, const UnkeptValue& value);

}  // namespace qel
