#include "Configuration.h"

#include <stdexcept>

#include "ExecutableFolder.h"

namespace qel {

bool GetLastRecordIfError = false;
std::array<std::string, 2> DeviceNames;

std::string ConfigurationFilePath() { return ExecutableFolder() + kConfigurationFileName; }

namespace {

std::size_t NameSlot(int connection) {
    if (connection != 1 && connection != 2) throw std::out_of_range("connection must be 1 or 2");
    return static_cast<std::size_t>(connection - 1);
}

// A stored number becomes a selection index only when it names an entry of the list;
// anything else, however large, means no selection.
int IndexOrNone(int value, int offset, int count) {
    return value >= offset && value < offset + count ? value - offset : -1;
}

}  // namespace

std::string SettingsTarget::DeviceName(int connection) const { return DeviceNames[NameSlot(connection)]; }

void SettingsTarget::SetDeviceName(int connection, const std::string& name) {
    DeviceNames[NameSlot(connection)] = name;
}

void LoadSettings(const IniFile& file, SettingsTarget& target) {
    const std::string s = kConfigurationSection;
    target.SetConnectionInUse(1, file.ReadBool(s, "Con1check", false));
    target.SetConnectionInUse(2, file.ReadBool(s, "Con2check", false));
    target.SetPortIndex(1, IndexOrNone(file.ReadInteger(s, "Con1numCOM", 1), 1, kPortCount));
    target.SetPortIndex(2, IndexOrNone(file.ReadInteger(s, "Con2numCOM", 2), 1, kPortCount));
    target.SetSpeedIndex(1, IndexOrNone(file.ReadInteger(s, "Con1Speed", 1), 0, kSpeedCount));
    target.SetSpeedIndex(2, IndexOrNone(file.ReadInteger(s, "Con2Speed", 1), 0, kSpeedCount));
    target.SetTypeIndex(1, IndexOrNone(file.ReadInteger(s, "Con1QELType", 0), 0, kDeviceTypeCount));
    target.SetTypeIndex(2, IndexOrNone(file.ReadInteger(s, "Con2QELType", 0), 0, kDeviceTypeCount));
    target.SetLastRecordIfErrorFlag(file.ReadBool(s, "GetLastRecordIfError", false));
    target.SetScreenMessages(file.ReadBool(s, "ScreenMessages", false));
    target.SetRewrite(file.ReadBool(s, "Rewrite", false));
    target.SetMultipleFiles(file.ReadBool(s, "MultyFiles", false));
    target.SetDataFileText(file.ReadString(s, "SaveFile", "Data.qel"));
    target.SetDeviceName(1, file.ReadString(s, "Name1", ""));
    target.SetDeviceName(2, file.ReadString(s, "Name2", ""));
    target.DeviceTypeChanged(1);
    target.DeviceTypeChanged(2);
}

void SaveSettings(IniFile& file, const SettingsTarget& target) {
    const std::string s = kConfigurationSection;
    file.WriteBool(s, "Con1check", target.ConnectionInUse(1));
    file.WriteBool(s, "Con2check", target.ConnectionInUse(2));
    // The port is stored as its number: no selection (-1) becomes 0.
    file.WriteInteger(s, "Con1numCOM", target.PortIndex(1) + 1);
    file.WriteInteger(s, "Con2numCOM", target.PortIndex(2) + 1);
    file.WriteInteger(s, "Con1Speed", target.SpeedIndex(1));
    file.WriteInteger(s, "Con2Speed", target.SpeedIndex(2));
    file.WriteInteger(s, "Con1QELType", target.TypeIndex(1));
    file.WriteInteger(s, "Con2QELType", target.TypeIndex(2));
    file.WriteBool(s, "GetLastRecordIfError", target.LastRecordIfErrorFlag());
    file.WriteBool(s, "ScreenMessages", target.ScreenMessages());
    file.WriteBool(s, "Rewrite", target.Rewrite());
    file.WriteBool(s, "MultyFiles", target.MultipleFiles());
    file.WriteString(s, "SaveFile", target.DataFileText());
    file.WriteString(s, "Name1", target.DeviceName(1));
    file.WriteString(s, "Name2", target.DeviceName(2));
}

}  // namespace qel
