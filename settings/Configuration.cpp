#include "Configuration.h"

#include <vector>

#include "ProfileFile.h"
#include "ProgramFolders.h"
#include "SettingsKeys.h"

namespace qel {

std::string ConfigurationFilePath(const ProgramFolders& folders) { return SettingsFilePath(folders); }

namespace {

// A stored number becomes a selection index only when it names an entry of the list;
// anything else, however large, means no selection.
int IndexOrNone(int value, int offset, int count) {
    return value >= offset && value < offset + count ? value - offset : -1;
}

std::vector<std::string> KeyNames() {
    std::vector<std::string> names;
    for (const SettingsKey& key : kSettingsKeys) names.emplace_back(key.name);
    return names;
}

}  // namespace

ProgramOptions LoadSettings(const IniFile& file, std::string* readProblem) {
    // One reading of the file for all the keys.
    static const std::vector<std::string> names = KeyNames();
    const IniValues v = file.ReadSection(kConfigurationSection, names);
    if (readProblem != nullptr) *readProblem = v.ReadProblem();
    ProgramOptions o;
    for (const SettingsKey& key : kSettingsKeys) {
        switch (key.type) {
            case KeyType::Flag: key.flag(o) = v.ReadBool(key.name, key.byDefault != 0); break;
            case KeyType::Index:
                key.index(o) = IndexOrNone(v.ReadInteger(key.name, key.byDefault), key.offset, key.count);
                break;
            case KeyType::Text: key.text(o) = v.ReadString(key.name, key.textByDefault); break;
        }
    }
    return o;
}

bool SaveSettings(IniFile& file, const ProgramOptions& options, std::string* reason) {
    ProgramOptions o = options;  // the table's members are reached through a mutable object
    IniWrites w;
    for (const SettingsKey& key : kSettingsKeys) {
        switch (key.type) {
            case KeyType::Flag: w.WriteBool(key.name, key.flag(o)); break;
            // No selection (-1) is stored as offset - 1: a port as 0, a speed or type as -1.
            case KeyType::Index: w.WriteInteger(key.name, key.index(o) + key.offset); break;
            case KeyType::Text: w.WriteString(key.name, key.text(o)); break;
        }
    }
    // One write of the file, keys in the table's order, byte for byte as single writes.
    return file.WriteSection(kConfigurationSection, w, reason);
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
    ProgramOptions kept = stored;
    for (const SettingsKey& key : kSettingsKeys)
        if (key.type == KeyType::Text) check(key.name, key.text(wanted), key.text(kept));
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
