#include "Configuration.h"

#include <vector>

#include "ProfileFile.h"
#include "ProgramFolders.h"

namespace qel {

std::string ConfigurationFilePath() { return SettingsFilePath(); }

namespace {

// A stored number becomes a selection index only when it names an entry of the list;
// anything else, however large, means no selection.
int IndexOrNone(int value, int offset, int count) {
    return value >= offset && value < offset + count ? value - offset : -1;
}

// The fifteen keys in the order in which both LoadSettings and SaveSettings take them.
const std::vector<std::string> kKeys{
    "Con1check",   "Con2check",   "Con1numCOM",           "Con2numCOM",     "Con1Speed",
    "Con2Speed",   "Con1QELType", "Con2QELType",          "GetLastRecordIfError",
    "ScreenMessages", "Rewrite",  "MultyFiles",           "SaveFile",       "Name1",
    "Name2"};

}  // namespace

ProgramOptions LoadSettings(const IniFile& file, std::string* readProblem) {
    // One reading of the file for all fifteen keys.
    const IniValues v = file.ReadSection(kConfigurationSection, kKeys);
    if (readProblem != nullptr) *readProblem = v.ReadProblem();
    ProgramOptions o;
    o.Connection(1).inUse = v.ReadBool("Con1check", false);
    o.Connection(2).inUse = v.ReadBool("Con2check", false);
    o.Connection(1).portIndex = IndexOrNone(v.ReadInteger("Con1numCOM", 1), 1, kPortCount);
    o.Connection(2).portIndex = IndexOrNone(v.ReadInteger("Con2numCOM", 2), 1, kPortCount);
    o.Connection(1).speedIndex = IndexOrNone(v.ReadInteger("Con1Speed", 1), 0, kSpeedCount);
    o.Connection(2).speedIndex = IndexOrNone(v.ReadInteger("Con2Speed", 1), 0, kSpeedCount);
    o.Connection(1).typeIndex = IndexOrNone(v.ReadInteger("Con1QELType", 0), 0, kDeviceTypeCount);
    o.Connection(2).typeIndex = IndexOrNone(v.ReadInteger("Con2QELType", 0), 0, kDeviceTypeCount);
    o.lastRecordIfError = v.ReadBool("GetLastRecordIfError", false);
    o.screenMessages = v.ReadBool("ScreenMessages", false);
    o.rewrite = v.ReadBool("Rewrite", false);
    o.multipleFiles = v.ReadBool("MultyFiles", false);
    o.dataFile = v.ReadString("SaveFile", "Data.qel");
    o.deviceNames[0] = v.ReadString("Name1", "");
    o.deviceNames[1] = v.ReadString("Name2", "");
    return o;
}

void SaveSettings(IniFile& file, const ProgramOptions& o) {
    IniWrites w;
    w.WriteBool("Con1check", o.Connection(1).inUse);
    w.WriteBool("Con2check", o.Connection(2).inUse);
    // The port is stored as its number: no selection (-1) becomes 0.
    w.WriteInteger("Con1numCOM", o.Connection(1).portIndex + 1);
    w.WriteInteger("Con2numCOM", o.Connection(2).portIndex + 1);
    w.WriteInteger("Con1Speed", o.Connection(1).speedIndex);
    w.WriteInteger("Con2Speed", o.Connection(2).speedIndex);
    w.WriteInteger("Con1QELType", o.Connection(1).typeIndex);
    w.WriteInteger("Con2QELType", o.Connection(2).typeIndex);
    w.WriteBool("GetLastRecordIfError", o.lastRecordIfError);
    w.WriteBool("ScreenMessages", o.screenMessages);
    w.WriteBool("Rewrite", o.rewrite);
    w.WriteBool("MultyFiles", o.multipleFiles);
    w.WriteString("SaveFile", o.dataFile);
    w.WriteString("Name1", o.deviceNames[0]);
    w.WriteString("Name2", o.deviceNames[1]);
    // One write of the file, keys in the order above, byte for byte as fifteen single writes.
    file.WriteSection(kConfigurationSection, w);
}

std::vector<UnkeptValue> KeepValuesTheFileCannotHold(const std::string& settingsFile, ProgramOptions& wanted,
                                                     const ProgramOptions& stored) {
    std::vector<UnkeptValue> unkept;
    const auto check = [&](const char* key, std::string& value, const std::string& kept) {
        if (value == kept) return;
        std::string characters = CharactersSettingsCannotHold(settingsFile, value);
        if (characters.empty()) return;
        unkept.push_back({key, kept, value, std::move(characters)});
        value = kept;
    };
    check("SaveFile", wanted.dataFile, stored.dataFile);
    check("Name1", wanted.deviceNames[0], stored.deviceNames[0]);
    check("Name2", wanted.deviceNames[1], stored.deviceNames[1]);
    return unkept;
}

std::string SettingsNotSavedText(const std::string& path, const std::string& reason) {
    return "Настройки не записаны в файл " + path + ": " + reason + "; файл остался прежним";
}

std::string SettingsNotReadText(const std::string& path, const std::string& reason) {
    return "Файл настроек " + path + " не читается (" + reason + "): взяты настройки по умолчанию";
}

std::string ValueNotKeptText(const std::string& path, const UnkeptValue& value) {
    return "Символы \"" + value.characters + "\" нельзя сохранить в файле настроек " + path +
           " (кодовая страница 1251): для " + value.key + " оставлено прежнее значение \"" + value.kept + "\"";
}

}  // namespace qel
