#include "Configuration.h"

#include <stdexcept>
#include <vector>

#include "ProgramFolders.h"

namespace qel {

bool GetLastRecordIfError = false;
std::array<std::string, 2> DeviceNames;

std::string ConfigurationFilePath() { return SettingsFilePath(); }

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

// The fifteen keys in the order in which both LoadSettings and SaveSettings take them.
const std::vector<std::string> kKeys{
    "Con1check",   "Con2check",   "Con1numCOM",           "Con2numCOM",     "Con1Speed",
    "Con2Speed",   "Con1QELType", "Con2QELType",          "GetLastRecordIfError",
    "ScreenMessages", "Rewrite",  "MultyFiles",           "SaveFile",       "Name1",
    "Name2"};

void LoadSettings(const IniFile& file, SettingsTarget& target) {
    // One reading of the file for all fifteen keys.
    const IniValues v = file.ReadSection(kConfigurationSection, kKeys);
    target.SetConnectionInUse(1, v.ReadBool("Con1check", false));
    target.SetConnectionInUse(2, v.ReadBool("Con2check", false));
    target.SetPortIndex(1, IndexOrNone(v.ReadInteger("Con1numCOM", 1), 1, kPortCount));
    target.SetPortIndex(2, IndexOrNone(v.ReadInteger("Con2numCOM", 2), 1, kPortCount));
    target.SetSpeedIndex(1, IndexOrNone(v.ReadInteger("Con1Speed", 1), 0, kSpeedCount));
    target.SetSpeedIndex(2, IndexOrNone(v.ReadInteger("Con2Speed", 1), 0, kSpeedCount));
    target.SetTypeIndex(1, IndexOrNone(v.ReadInteger("Con1QELType", 0), 0, kDeviceTypeCount));
    target.SetTypeIndex(2, IndexOrNone(v.ReadInteger("Con2QELType", 0), 0, kDeviceTypeCount));
    target.SetLastRecordIfErrorFlag(v.ReadBool("GetLastRecordIfError", false));
    target.SetScreenMessages(v.ReadBool("ScreenMessages", false));
    target.SetRewrite(v.ReadBool("Rewrite", false));
    target.SetMultipleFiles(v.ReadBool("MultyFiles", false));
    target.SetDataFileText(v.ReadString("SaveFile", "Data.qel"));
    target.SetDeviceName(1, v.ReadString("Name1", ""));
    target.SetDeviceName(2, v.ReadString("Name2", ""));
    target.DeviceTypeChanged(1);
    target.DeviceTypeChanged(2);
}

void SaveSettings(IniFile& file, const SettingsTarget& target) {
    IniWrites w;
    w.WriteBool("Con1check", target.ConnectionInUse(1));
    w.WriteBool("Con2check", target.ConnectionInUse(2));
    // The port is stored as its number: no selection (-1) becomes 0.
    w.WriteInteger("Con1numCOM", target.PortIndex(1) + 1);
    w.WriteInteger("Con2numCOM", target.PortIndex(2) + 1);
    w.WriteInteger("Con1Speed", target.SpeedIndex(1));
    w.WriteInteger("Con2Speed", target.SpeedIndex(2));
    w.WriteInteger("Con1QELType", target.TypeIndex(1));
    w.WriteInteger("Con2QELType", target.TypeIndex(2));
    w.WriteBool("GetLastRecordIfError", target.LastRecordIfErrorFlag());
    w.WriteBool("ScreenMessages", target.ScreenMessages());
    w.WriteBool("Rewrite", target.Rewrite());
    w.WriteBool("MultyFiles", target.MultipleFiles());
    w.WriteString("SaveFile", target.DataFileText());
    w.WriteString("Name1", target.DeviceName(1));
    w.WriteString("Name2", target.DeviceName(2));
    // One write of the file, keys in the order above, byte for byte as fifteen single writes.
    file.WriteSection(kConfigurationSection, w);
}

}  // namespace qel
