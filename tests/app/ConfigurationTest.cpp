#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

#include "Configuration.h"
#include "TestFiles.h"

namespace qel {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;
namespace fs = std::filesystem;

// The controls of the settings window, in their designed initial state (the three option
// boxes checked, connection 2 set to QEL-1M). A list takes an index outside its entries as
// no selection, as a drop-down does.
class Panel : public SettingsTarget {
public:
    bool ConnectionInUse(int c) const override { return Get("InUse", c, inUse[c - 1]); }
    void SetConnectionInUse(int c, bool v) override { Set("InUse", c), inUse[c - 1] = v; }
    int PortIndex(int c) const override { return Get("Port", c, port[c - 1]); }
    void SetPortIndex(int c, int v) override { Set("Port", c), port[c - 1] = Select(v, 8); }
    int SpeedIndex(int c) const override { return Get("Speed", c, speed[c - 1]); }
    void SetSpeedIndex(int c, int v) override { Set("Speed", c), speed[c - 1] = Select(v, 2); }
    int TypeIndex(int c) const override { return Get("Type", c, type[c - 1]); }
    void SetTypeIndex(int c, int v) override { Set("Type", c), type[c - 1] = Select(v, 2); }
    bool ScreenMessages() const override { return Get("Screen", 0, screen); }
    void SetScreenMessages(bool v) override { Set("Screen", 0), screen = v; }
    bool Rewrite() const override { return Get("Rewrite", 0, rewrite); }
    void SetRewrite(bool v) override { Set("Rewrite", 0), rewrite = v; }
    bool MultipleFiles() const override { return Get("Multi", 0, multi); }
    void SetMultipleFiles(bool v) override { Set("Multi", 0), multi = v; }
    std::string DataFileText() const override { return Get("Edit", 0, edit); }
    void SetDataFileText(const std::string& v) override { Set("Edit", 0), edit = v; }
    bool LastRecordIfErrorFlag() const override { return Get("Flag", 0, SettingsTarget::LastRecordIfErrorFlag()); }
    void SetLastRecordIfErrorFlag(bool v) override { Set("Flag", 0), SettingsTarget::SetLastRecordIfErrorFlag(v); }
    std::string DeviceName(int c) const override { return Get("Name", c, SettingsTarget::DeviceName(c)); }
    void SetDeviceName(int c, const std::string& v) override { Set("Name", c), SettingsTarget::SetDeviceName(c, v); }
    void DeviceTypeChanged(int c) override { Set("TypeChanged", c); }

    bool inUse[2] = {false, false};
    int port[2] = {0, 1};
    int speed[2] = {1, 1};
    int type[2] = {0, 1};
    bool screen = true, rewrite = true, multi = true;
    std::string edit = "Data.qel";

    mutable std::vector<std::string> calls;
    // Called with the name of each control as it is read or assigned.
    std::function<void(const std::string&)> onAccess;

private:
    static int Select(int index, int count) { return index >= 0 && index < count ? index : -1; }
    static std::string Name(const char* what, int c) { return c ? what + std::to_string(c) : what; }
    template <typename T>
    T Get(const char* what, int c, T value) const {
        calls.push_back(Name(what, c));
        if (onAccess) onAccess(Name(what, c));
        return value;
    }
    void Set(const char* what, int c) {
        calls.push_back(Name(what, c));
        if (onAccess) onAccess(Name(what, c));
    }
};

const std::vector<std::string> kKeyOrder = {"InUse1", "InUse2", "Port1", "Port2", "Speed1", "Speed2",
                                            "Type1",  "Type2",  "Flag",  "Screen", "Rewrite", "Multi",
                                            "Edit",   "Name1",  "Name2"};

class ConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetLastRecordIfError = false;
        DeviceNames = {};
    }
    void TearDown() override {
        GetLastRecordIfError = false;
        DeviceNames = {};
    }
    // Loads an INI holding the section with the given lines (UTF-8, stored as cp1251 by the caller).
    void LoadFrom(const std::string& bytes) {
        WriteBytes(path, bytes);
        LoadSettings(ini, panel);
    }

    TempFolder dir;
    std::string path = dir / kConfigurationFileName;
    IniFile ini{path};
    Panel panel;
};

TEST_F(ConfigurationTest, SaveIntoAnEmptyFolderWritesTheFifteenKeysInOrder) {
    panel.inUse[0] = true;
    panel.port[0] = 2;
    panel.port[1] = -1;
    panel.speed[0] = 0;
    panel.type[0] = 1;
    panel.type[1] = -1;
    GetLastRecordIfError = true;
    panel.screen = false;
    panel.multi = false;
    panel.edit = "C:\\Данные\\Data.qel";
    DeviceNames[0] = "Кабинет 1";

    SaveSettings(ini, panel);
    const std::string expected =
        "[QEL1_Agent]\r\n"
        "Con1check=1\r\n"
        "Con2check=0\r\n"
        "Con1numCOM=3\r\n"
        "Con2numCOM=0\r\n"
        "Con1Speed=0\r\n"
        "Con2Speed=1\r\n"
        "Con1QELType=1\r\n"
        "Con2QELType=-1\r\n"
        "GetLastRecordIfError=1\r\n"
        "ScreenMessages=0\r\n"
        "Rewrite=1\r\n"
        "MultyFiles=0\r\n"
        "SaveFile=C:\\\xC4\xE0\xED\xED\xFB\xE5\\Data.qel\r\n"
        "Name1=\xCA\xE0\xE1\xE8\xED\xE5\xF2 1\r\n"
        "Name2=\r\n";
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(panel.calls, kKeyOrder);

    // A second save replaces every key in place.
    SaveSettings(ini, panel);
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST_F(ConfigurationTest, WithoutAFileTheDefaultsOverrideTheDesignedState) {
    DeviceNames = {"old 1", "old 2"};
    GetLastRecordIfError = true;
    LoadSettings(ini, panel);
    EXPECT_FALSE(panel.inUse[0]);
    EXPECT_FALSE(panel.inUse[1]);
    EXPECT_EQ(panel.port[0], 0);  // COM1
    EXPECT_EQ(panel.port[1], 1);  // COM2
    EXPECT_EQ(panel.speed[0], 1);  // 9600 Bd
    EXPECT_EQ(panel.speed[1], 1);
    EXPECT_EQ(panel.type[0], 0);  // QEL-1
    EXPECT_EQ(panel.type[1], 0);
    EXPECT_FALSE(GetLastRecordIfError);
    EXPECT_FALSE(panel.screen);
    EXPECT_FALSE(panel.rewrite);
    EXPECT_FALSE(panel.multi);
    EXPECT_EQ(panel.edit, "Data.qel");
    EXPECT_EQ(DeviceNames[0], "");
    EXPECT_EQ(DeviceNames[1], "");
    EXPECT_FALSE(fs::exists(path));  // reading creates nothing
}

TEST_F(ConfigurationTest, LoadReadsInOrderThenRunsBothDeviceTypeChanges) {
    LoadSettings(ini, panel);
    std::vector<std::string> expected = kKeyOrder;
    expected.push_back("TypeChanged1");
    expected.push_back("TypeChanged2");
    EXPECT_EQ(panel.calls, expected);
}

TEST_F(ConfigurationTest, PortNumbersOutsideTheListSelectNothingAndSaveAsZero) {
    LoadFrom("[QEL1_Agent]\r\nCon1numCOM=9\r\nCon2numCOM=0\r\n");
    EXPECT_EQ(panel.port[0], -1);
    EXPECT_EQ(panel.port[1], -1);
    SaveSettings(ini, panel);
    const std::string saved = ReadBytes(path);
    EXPECT_NE(saved.find("Con1numCOM=0\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Con2numCOM=0\r\n"), std::string::npos);
}

TEST_F(ConfigurationTest, PortNumberBoundsAndHexadecimal) {
    LoadFrom("[QEL1_Agent]\r\nCon1numCOM=0x3\r\nCon2numCOM=0X8\r\n");
    EXPECT_EQ(panel.port[0], 2);  // COM3
    EXPECT_EQ(panel.port[1], 7);  // COM8
    LoadFrom("[QEL1_Agent]\r\nCon1numCOM=1\r\nCon2numCOM=-2147483648\r\n");
    EXPECT_EQ(panel.port[0], 0);
    EXPECT_EQ(panel.port[1], -1);
    LoadFrom("[QEL1_Agent]\r\nCon1numCOM=COM3\r\nCon2numCOM=\r\n");  // no number: the defaults
    EXPECT_EQ(panel.port[0], 0);
    EXPECT_EQ(panel.port[1], 1);
}

TEST_F(ConfigurationTest, SpeedAndTypeAreIndicesNotValues) {
    LoadFrom("[QEL1_Agent]\r\nCon1Speed=9600\r\nCon2Speed=0\r\nCon1QELType=1\r\nCon2QELType=2\r\n");
    EXPECT_EQ(panel.speed[0], -1);
    EXPECT_EQ(panel.speed[1], 0);
    EXPECT_EQ(panel.type[0], 1);
    EXPECT_EQ(panel.type[1], -1);
    SaveSettings(ini, panel);
    const std::string saved = ReadBytes(path);
    EXPECT_NE(saved.find("Con1Speed=-1\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Con2QELType=-1\r\n"), std::string::npos);
}

TEST_F(ConfigurationTest, BooleansAreIntegers) {
    LoadFrom("[QEL1_Agent]\r\nCon1check=true\r\nCon2check=2\r\nGetLastRecordIfError=-1\r\n"
             "ScreenMessages=0x1\r\nRewrite=0\r\nMultyFiles=yes\r\n");
    EXPECT_FALSE(panel.inUse[0]);
    EXPECT_TRUE(panel.inUse[1]);
    EXPECT_TRUE(GetLastRecordIfError);
    EXPECT_TRUE(panel.screen);
    EXPECT_FALSE(panel.rewrite);
    EXPECT_FALSE(panel.multi);
}

TEST_F(ConfigurationTest, StringsEmptyValueAndCyrillicNames) {
    LoadFrom("[QEL1_Agent]\r\nSaveFile=\r\nName1=\xCA\xE0\xE1\xE8\xED\xE5\xF2 1\r\nName2=\xD0\xE5\xED\xF2\xE3\xE5\xED\r\n");
    EXPECT_EQ(panel.edit, "");
    EXPECT_EQ(DeviceNames[0], "Кабинет 1");
    EXPECT_EQ(DeviceNames[1], "Рентген");
}

TEST_F(ConfigurationTest, NameTypedIntoConnectionTwoSurvivesARestart) {
    DeviceNames[1] = "Рентген 2";
    SaveSettings(ini, panel);
    DeviceNames = {};
    Panel fresh;
    LoadSettings(ini, fresh);
    EXPECT_EQ(DeviceNames[1], "Рентген 2");
    EXPECT_EQ(fresh.DeviceName(2), "Рентген 2");
    EXPECT_EQ(DeviceNames[0], "");
}

// What happens to the settings file while a step runs, as the kernel tells it.
class FileEvents {
public:
    FileEvents(const std::string& folder, std::string name) : name_(std::move(name)) {
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ::inotify_add_watch(fd_, folder.c_str(), IN_OPEN | IN_MOVED_TO);
    }
    ~FileEvents() { ::close(fd_); }
    FileEvents(const FileEvents&) = delete;
    FileEvents& operator=(const FileEvents&) = delete;

    // Openings and replacements (a file renamed onto the name) since the last call.
    std::pair<int, int> Take() {
        int opened = 0, replaced = 0;
        alignas(inotify_event) char buffer[65536];
        ssize_t n;
        while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(p);
                if (e->len > 0 && name_ == e->name) {
                    opened += (e->mask & IN_OPEN) ? 1 : 0;
                    replaced += (e->mask & IN_MOVED_TO) ? 1 : 0;
                }
                p += sizeof(inotify_event) + e->len;
            }
        }
        return {opened, replaced};
    }

private:
    int fd_ = -1;
    std::string name_;
};

TEST_F(ConfigurationTest, OneReadingPerLoadAndOneWritePerSave) {
    WriteBytes(path, "[QEL1_Agent]\r\nCon1check=1\r\nName2=x\r\n");
    FileEvents events(dir.Path(), "QEL1_Agent.ini");
    LoadSettings(ini, panel);
    EXPECT_EQ(events.Take(), std::make_pair(1, 0));
    EXPECT_TRUE(panel.inUse[0]);
    SaveSettings(ini, panel);
    EXPECT_EQ(events.Take(), std::make_pair(1, 1));  // read once, replaced once
    EXPECT_EQ(test::IniSection(path, "QEL1_Agent").size(), 15u);
}

TEST_F(ConfigurationTest, ARefusedSaveLeavesTheFileAsItWas) {
    fs::create_directory(dir / "conf");
    IniFile file(dir / "conf/QEL1_Agent.ini");
    WriteBytes(dir / "conf/QEL1_Agent.ini", "[QEL1_Agent]\r\nCon1check=0\r\n");
    // The folder goes away while the controls are read, before the one write of the file.
    panel.onAccess = [&](const std::string& control) {
        if (control == "Edit") fs::rename(dir / "conf", dir / "moved");
    };
    EXPECT_THROW(SaveSettings(file, panel), IniWriteError);
    EXPECT_EQ(ReadBytes(dir / "moved/QEL1_Agent.ini"), "[QEL1_Agent]\r\nCon1check=0\r\n");
    EXPECT_FALSE(fs::exists(dir / "conf"));
    ASSERT_FALSE(panel.calls.empty());
    EXPECT_EQ(panel.calls.back(), "Name2");  // every control read, in the order of the keys
}

TEST_F(ConfigurationTest, AWriteIntoAMissingFolderWritesNothing) {
    IniFile file(dir / "missing/QEL1_Agent.ini");
    EXPECT_THROW(SaveSettings(file, panel), IniWriteError);
    EXPECT_EQ(panel.calls.size(), 15u);
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST_F(ConfigurationTest, AnErrorWhileLoadingStopsAtThatKey) {
    WriteBytes(path, "[QEL1_Agent]\r\nCon1check=1\r\nCon1Speed=0\r\nRewrite=0\r\n");
    panel.onAccess = [](const std::string& control) {
        if (control == "Speed1") throw std::runtime_error("control refused the value");
    };
    EXPECT_THROW(LoadSettings(ini, panel), std::runtime_error);
    EXPECT_TRUE(panel.inUse[0]);   // before the failing key
    EXPECT_EQ(panel.speed[0], 1);  // the failing key is not assigned
    EXPECT_TRUE(panel.rewrite);    // later keys keep the designed state
    EXPECT_EQ(panel.calls.back(), "Speed1");
}

}  // namespace
}  // namespace qel
