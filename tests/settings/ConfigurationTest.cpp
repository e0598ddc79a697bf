#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "Configuration.h"
#include "FileEvents.h"
#include "TestFiles.h"

namespace qel {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;
namespace fs = std::filesystem;

// The options as the settings window's controls start (the three option boxes checked,
// connection 2 set to QEL-1M).
ProgramOptions Designed() {
    ProgramOptions o;
    o.connections[0] = {false, 0, 1, 0};
    o.connections[1] = {false, 1, 1, 1};
    o.screenMessages = o.rewrite = o.multipleFiles = true;
    o.dataFile = "Data.qel";
    return o;
}

class ConfigurationTest : public ::testing::Test {
protected:
    // Loads an INI holding the given bytes.
    ProgramOptions LoadFrom(const std::string& bytes) {
        WriteBytes(path, bytes);
        return LoadSettings(ini);
    }

    TempFolder dir;
    std::string path = dir / "QEL1_Agent.ini";
    IniFile ini{path};
    ProgramOptions options = Designed();
};

TEST_F(ConfigurationTest, SaveIntoAnEmptyFolderWritesTheFifteenKeysInOrder) {
    options.connections[0] = {true, 2, 0, 1};
    options.connections[1].portIndex = -1;
    options.connections[1].typeIndex = -1;
    options.lastRecordIfError = true;
    options.screenMessages = false;
    options.multipleFiles = false;
    options.dataFile = "C:\\Данные\\Data.qel";
    options.deviceNames[0] = "Кабинет 1";

    ASSERT_TRUE(SaveSettings(ini, options));
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

    // A second save replaces every key in place.
    ASSERT_TRUE(SaveSettings(ini, options));
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST_F(ConfigurationTest, WithoutAFileTheDefaultsOverrideTheDesignedState) {
    const ProgramOptions o = LoadSettings(ini);
    EXPECT_FALSE(o.Connection(1).inUse);
    EXPECT_FALSE(o.Connection(2).inUse);
    EXPECT_EQ(o.Connection(1).portIndex, 0);  // COM1
    EXPECT_EQ(o.Connection(2).portIndex, 1);  // COM2
    EXPECT_EQ(o.Connection(1).speedIndex, 1);  // 9600 Bd
    EXPECT_EQ(o.Connection(2).speedIndex, 1);
    EXPECT_EQ(o.Connection(1).typeIndex, 0);  // QEL-1
    EXPECT_EQ(o.Connection(2).typeIndex, 0);
    EXPECT_FALSE(o.lastRecordIfError);
    EXPECT_FALSE(o.screenMessages);
    EXPECT_FALSE(o.rewrite);
    EXPECT_FALSE(o.multipleFiles);
    EXPECT_EQ(o.dataFile, "Data.qel");
    EXPECT_EQ(o.deviceNames[0], "");
    EXPECT_EQ(o.deviceNames[1], "");
    EXPECT_FALSE(fs::exists(path));  // reading creates nothing
}

TEST_F(ConfigurationTest, PortNumbersOutsideTheListSelectNothingAndSaveAsZero) {
    const ProgramOptions o = LoadFrom("[QEL1_Agent]\r\nCon1numCOM=9\r\nCon2numCOM=0\r\n");
    EXPECT_EQ(o.Connection(1).portIndex, -1);
    EXPECT_EQ(o.Connection(2).portIndex, -1);
    ASSERT_TRUE(SaveSettings(ini, o));
    const std::string saved = ReadBytes(path);
    EXPECT_NE(saved.find("Con1numCOM=0\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Con2numCOM=0\r\n"), std::string::npos);
}

TEST_F(ConfigurationTest, PortNumberBoundsAndHexadecimal) {
    ProgramOptions o = LoadFrom("[QEL1_Agent]\r\nCon1numCOM=0x3\r\nCon2numCOM=0X8\r\n");
    EXPECT_EQ(o.Connection(1).portIndex, 2);  // COM3
    EXPECT_EQ(o.Connection(2).portIndex, 7);  // COM8
    o = LoadFrom("[QEL1_Agent]\r\nCon1numCOM=1\r\nCon2numCOM=-2147483648\r\n");
    EXPECT_EQ(o.Connection(1).portIndex, 0);
    EXPECT_EQ(o.Connection(2).portIndex, -1);
    o = LoadFrom("[QEL1_Agent]\r\nCon1numCOM=COM3\r\nCon2numCOM=\r\n");  // no number: the defaults
    EXPECT_EQ(o.Connection(1).portIndex, 0);
    EXPECT_EQ(o.Connection(2).portIndex, 1);
}

TEST_F(ConfigurationTest, SpeedAndTypeAreIndicesNotValues) {
    const ProgramOptions o =
        LoadFrom("[QEL1_Agent]\r\nCon1Speed=9600\r\nCon2Speed=0\r\nCon1QELType=1\r\nCon2QELType=2\r\n");
    EXPECT_EQ(o.Connection(1).speedIndex, -1);
    EXPECT_EQ(o.Connection(2).speedIndex, 0);
    EXPECT_EQ(o.Connection(1).typeIndex, 1);
    EXPECT_EQ(o.Connection(2).typeIndex, -1);
    ASSERT_TRUE(SaveSettings(ini, o));
    const std::string saved = ReadBytes(path);
    EXPECT_NE(saved.find("Con1Speed=-1\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Con2QELType=-1\r\n"), std::string::npos);
}

TEST_F(ConfigurationTest, BooleansAreIntegers) {
    const ProgramOptions o = LoadFrom("[QEL1_Agent]\r\nCon1check=true\r\nCon2check=2\r\nGetLastRecordIfError=-1\r\n"
                                      "ScreenMessages=0x1\r\nRewrite=0\r\nMultyFiles=yes\r\n");
    EXPECT_FALSE(o.Connection(1).inUse);
    EXPECT_TRUE(o.Connection(2).inUse);
    EXPECT_TRUE(o.lastRecordIfError);
    EXPECT_TRUE(o.screenMessages);
    EXPECT_FALSE(o.rewrite);
    EXPECT_FALSE(o.multipleFiles);
}

TEST_F(ConfigurationTest, StringsEmptyValueAndCyrillicNames) {
    const ProgramOptions o = LoadFrom(
        "[QEL1_Agent]\r\nSaveFile=\r\nName1=\xCA\xE0\xE1\xE8\xED\xE5\xF2 1\r\nName2=\xD0\xE5\xED\xF2\xE3\xE5\xED\r\n");
    EXPECT_EQ(o.dataFile, "");
    EXPECT_EQ(o.deviceNames[0], "Кабинет 1");
    EXPECT_EQ(o.deviceNames[1], "Рентген");
}

TEST_F(ConfigurationTest, NameTypedIntoConnectionTwoSurvivesARestart) {
    options.deviceNames[1] = "Рентген 2";
    ASSERT_TRUE(SaveSettings(ini, options));
    const ProgramOptions o = LoadSettings(ini);
    EXPECT_EQ(o.deviceNames[1], "Рентген 2");
    EXPECT_EQ(o.deviceNames[0], "");
}

TEST_F(ConfigurationTest, OneReadingPerLoadAndOneWritePerSave) {
    WriteBytes(path, "[QEL1_Agent]\r\nCon1check=1\r\nName2=x\r\n");
    test::FileEvents events(dir.Path(), "QEL1_Agent.ini");
    const ProgramOptions o = LoadSettings(ini);
    EXPECT_EQ(events.Take(), std::make_pair(1, 0));
    EXPECT_TRUE(o.Connection(1).inUse);
    ASSERT_TRUE(SaveSettings(ini, o));
    EXPECT_EQ(events.Take(), std::make_pair(1, 1));  // read once, replaced once
    EXPECT_EQ(test::IniSection(path, "QEL1_Agent").size(), 15u);
}

TEST_F(ConfigurationTest, ARefusedSaveLeavesTheFileAsItWas) {
    fs::create_directory(dir / "conf");
    IniFile file(dir / "conf/QEL1_Agent.ini");
    WriteBytes(dir / "conf/QEL1_Agent.ini", "[QEL1_Agent]\r\nCon1check=0\r\n");
    // The folder goes away after the options were taken, before the one write of the file.
    fs::rename(dir / "conf", dir / "moved");
    std::string reason;
    EXPECT_FALSE(SaveSettings(file, options, &reason));
    EXPECT_EQ(reason, "нет такой папки");
    EXPECT_EQ(ReadBytes(dir / "moved/QEL1_Agent.ini"), "[QEL1_Agent]\r\nCon1check=0\r\n");
    EXPECT_FALSE(fs::exists(dir / "conf"));
}

}  // namespace
}  // namespace qel
