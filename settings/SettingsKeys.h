#pragma once
// The keys of the configuration section, in the order in which the settings file is read
// and written: the one table that loading, saving and the key list walk. A new key is
// one line here and the control that shows it.
#include <array>
#include <string>

#include "Configuration.h"

namespace qel {

enum class KeyType { Flag, Index, Text };

struct SettingsKey {
    const char* name;
    KeyType type;
    // Flag and Index: the stored default. Index: the stored number of the first entry
    // (`offset`) and the number of entries; anything outside them means no selection.
    int byDefault = 0;
    int offset = 0;
    int count = 0;
    const char* textByDefault = "";
    // The member of ProgramOptions, by type (only the one of `type` is set).
    bool& (*flag)(ProgramOptions&) = nullptr;
    int& (*index)(ProgramOptions&) = nullptr;
    std::string& (*text)(ProgramOptions&) = nullptr;
};

constexpr SettingsKey FlagKey(const char* name, bool& (*member)(ProgramOptions&), bool byDefault) {
    SettingsKey key{name, KeyType::Flag};
    key.byDefault = byDefault ? 1 : 0;
    key.flag = member;
    return key;
}

constexpr SettingsKey IndexKey(const char* name, int& (*member)(ProgramOptions&), int byDefault, int offset,
                               int count) {
    SettingsKey key{name, KeyType::Index};
    key.byDefault = byDefault;
    key.offset = offset;
    key.count = count;
    key.index = member;
    return key;
}

constexpr SettingsKey TextKey(const char* name, std::string& (*member)(ProgramOptions&), const char* byDefault) {
    SettingsKey key{name, KeyType::Text};
    key.textByDefault = byDefault;
    key.text = member;
    return key;
}

// Ports are stored as their number (COM1 is 1), speeds and device types as their index.
inline constexpr std::array kSettingsKeys{
    FlagKey("Con1check", [](ProgramOptions& o) -> bool& { return o.Connection(1).inUse; }, false),
    FlagKey("Con2check", [](ProgramOptions& o) -> bool& { return o.Connection(2).inUse; }, false),
    IndexKey("Con1numCOM", [](ProgramOptions& o) -> int& { return o.Connection(1).portIndex; }, 1, 1, kPortCount),
    IndexKey("Con2numCOM", [](ProgramOptions& o) -> int& { return o.Connection(2).portIndex; }, 2, 1, kPortCount),
    IndexKey("Con1Speed", [](ProgramOptions& o) -> int& { return o.Connection(1).speedIndex; }, 1, 0, kSpeedCount),
    IndexKey("Con2Speed", [](ProgramOptions& o) -> int& { return o.Connection(2).speedIndex; }, 1, 0, kSpeedCount),
    IndexKey("Con1QELType", [](ProgramOptions& o) -> int& { return o.Connection(1).typeIndex; }, 0, 0,
             kDeviceTypeCount),
    IndexKey("Con2QELType", [](ProgramOptions& o) -> int& { return o.Connection(2).typeIndex; }, 0, 0,
             kDeviceTypeCount),
    FlagKey("GetLastRecordIfError", [](ProgramOptions& o) -> bool& { return o.lastRecordIfError; }, false),
    FlagKey("ScreenMessages", [](ProgramOptions& o) -> bool& { return o.screenMessages; }, false),
    FlagKey("Rewrite", [](ProgramOptions& o) -> bool& { return o.rewrite; }, false),
    FlagKey("MultyFiles", [](ProgramOptions& o) -> bool& { return o.multipleFiles; }, false),
    TextKey("SaveFile", [](ProgramOptions& o) -> std::string& { return o.dataFile; }, "Data.qel"),
    TextKey("Name1", [](ProgramOptions& o) -> std::string& { return o.deviceNames[0]; }, ""),
    TextKey("Name2", [](ProgramOptions& o) -> std::string& { return o.deviceNames[1]; }, ""),
};

}  // namespace qel
