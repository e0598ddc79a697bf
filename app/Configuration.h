#pragma once
#include <array>
#include <string>

#include "IniFile.h"

namespace qel {

inline constexpr const char* kConfigurationFileName = "QEL1_Agent.ini";
inline constexpr const char* kConfigurationSection = "QEL1_Agent";
inline constexpr const char* kConfigurationReadError = "Ошибка при доступе к записанной конфигурации";
inline constexpr const char* kConfigurationWriteError = "Ошибка при записи текущей конфигурации в реестр";

// Entries of the selection lists the configuration refers to.
inline constexpr int kPortCount = 8;        // COM1 .. COM8
inline constexpr int kSpeedCount = 2;       // 4800, 9600 Bd
inline constexpr int kDeviceTypeCount = 2;  // QEL-1, QEL-1M

// Program-wide: read by the QEL-1 receive handler; no control shows it.
extern bool GetLastRecordIfError;
// Program-wide device names of connections 1 and 2 (index 0 and 1), edited in the
// control windows.
extern std::array<std::string, 2> DeviceNames;

// "QEL1_Agent.ini" in the folder of the running executable, or in the user's settings
// folder for an installed program (ProgramFolders).
std::string ConfigurationFilePath();

// What the configuration reads from and writes into: the controls of the settings window.
// `connection` is 1 or 2. Selection indices count from 0; -1 means no selection, and
// assigning an index outside the list leaves the list with no selection.
class SettingsTarget {
public:
    virtual ~SettingsTarget() = default;

    virtual bool ConnectionInUse(int connection) const = 0;          // CheckBox1, CheckBox2
    virtual void SetConnectionInUse(int connection, bool inUse) = 0;
    virtual int PortIndex(int connection) const = 0;                 // ComboBox1, ComboBox2
    virtual void SetPortIndex(int connection, int index) = 0;
    virtual int SpeedIndex(int connection) const = 0;                // CB_Spead1, CB_Spead2
    virtual void SetSpeedIndex(int connection, int index) = 0;
    virtual int TypeIndex(int connection) const = 0;                 // CB_QELType1, CB_QELType2
    virtual void SetTypeIndex(int connection, int index) = 0;

    virtual bool ScreenMessages() const = 0;                         // CB_ErrMes
    virtual void SetScreenMessages(bool on) = 0;
    virtual bool Rewrite() const = 0;                                // CB_Rewrite
    virtual void SetRewrite(bool on) = 0;
    virtual bool MultipleFiles() const = 0;                          // CB_MultyFiles
    virtual void SetMultipleFiles(bool on) = 0;
    virtual std::string DataFileText() const = 0;                    // Edit1
    virtual void SetDataFileText(const std::string& text) = 0;

    // The program-wide flag and device names unless the window keeps them elsewhere.
    virtual bool LastRecordIfErrorFlag() const { return GetLastRecordIfError; }
    virtual void SetLastRecordIfErrorFlag(bool on) { GetLastRecordIfError = on; }
    virtual std::string DeviceName(int connection) const;
    virtual void SetDeviceName(int connection, const std::string& name);

    // The change handler of a device-type list (opens or closes the control window).
    virtual void DeviceTypeChanged(int connection) = 0;
};

// Reads the fifteen keys (from one reading of the file) in order into the target, then
// runs the device-type change of connection 1 and of connection 2. An error stops the
// reading at that key and leaves this function; the caller reports it.
void LoadSettings(const IniFile& file, SettingsTarget& target);
// Writes the fifteen keys in order with one write of the file. A refused write
// (IniWriteError) leaves the file as it was.
void SaveSettings(IniFile& file, const SettingsTarget& target);

}  // namespace qel
