// Settings files saved as UTF-8 by a Linux editor read like the program's own code page
// 1251 files; what the program writes is code page 1251.
#include <gtest/gtest.h>

#include "Cp1251.h"
#include "IniFile.h"
#include "ProfileFile.h"
#include "SettingsText.h"
#include "TestFiles.h"

namespace qel {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

const std::string kBom = "\xEF\xBB\xBF";

TEST(SettingsText, UTF8IsToldFromCodePage1251) {
    struct Case {
        std::string bytes;
        bool utf8;
    };
    const Case cases[] = {
        {"", false},
        {"[QEL1_Agent]\r\nSaveFile=Data.qel\r\n", false},  // ASCII: the same either way
        {kBom, true},
        {kBom + "SaveFile=Data.qel", true},
        {"Name1=Рентген-кабинет 1", true},
        {Utf8ToCp1251("Name1=Рентген-кабинет 1"), false},
        {Utf8ToCp1251("Данные"), false},
        {Utf8ToCp1251("ёЁ№"), false},
        {"Name1=\xD0\x94\xD0", false},      // UTF-8 cut in the middle of a character
        {"Name1=\xC3\xA9t\xC3\xA9 \xE9", false},  // one stray byte spoils it
        {"x=\xF0\x9F\x99\x82", true},       // valid UTF-8 beyond code page 1251
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(IsUtf8SettingsText(c.bytes), c.utf8);
    }
    EXPECT_EQ(SettingsTextAsCp1251(kBom + "Name1=Данные"), Utf8ToCp1251("Name1=Данные"));
    EXPECT_EQ(SettingsTextAsCp1251(Utf8ToCp1251("Name1=Данные")), Utf8ToCp1251("Name1=Данные"));
    EXPECT_EQ(SettingsTextAsCp1251("x=\xF0\x9F\x99\x82"), "x=?");
}

// The same settings in the three forms a clinic's machine may hold them.
std::vector<std::pair<std::string, std::string>> Forms(const std::string& utf8Text) {
    return {{"cp1251", Utf8ToCp1251(utf8Text)}, {"utf-8", utf8Text}, {"utf-8 with mark", kBom + utf8Text}};
}

const std::string kSettings =
    "[Ports]\r\nCOM1=/dev/serial/by-id/usb-Прибор_1-if00\r\n"
    "[QEL1_Agent]\r\nCon1check=1\r\nCon1numCOM=0x3\r\nSaveFile=/srv/Данные/Данные.qel\r\n"
    "Name1=Рентген-кабинет №1 «Ёлка»\r\nName2=\r\n";

TEST(SettingsText, EachFormReadsToTheSameValues) {
    for (const auto& [form, bytes] : Forms(kSettings)) {
        SCOPED_TRACE(form);
        TempFolder dir;
        const std::string path = dir / "QEL1_Agent.ini";
        WriteBytes(path, bytes);
        const IniFile ini(path);
        EXPECT_EQ(ini.ReadString("QEL1_Agent", "SaveFile", "Data.qel"), "/srv/Данные/Данные.qel");
        EXPECT_EQ(ini.ReadString("QEL1_Agent", "Name1", ""), "Рентген-кабинет №1 «Ёлка»");
        EXPECT_EQ(ini.ReadString("QEL1_Agent", "Name2", "x"), "");
        EXPECT_EQ(ini.ReadInteger("QEL1_Agent", "Con1numCOM", 1), 3);
        EXPECT_TRUE(ini.ReadBool("QEL1_Agent", "Con1check", false));
        EXPECT_EQ(GetProfileString(path, "Ports", "COM1", ""), "/dev/serial/by-id/usb-Прибор_1-if00");
        // The first key after a mark is found too.
        EXPECT_EQ(GetProfileString(path, "ports", "com1", ""), "/dev/serial/by-id/usb-Прибор_1-if00");
    }
}

TEST(SettingsText, WritingAFileSavedAsUTF8LeavesItInCodePage1251) {
    const std::string expected = Utf8ToCp1251(
        "[Ports]\r\nCOM1=/dev/serial/by-id/usb-Прибор_1-if00\r\n"
        "[QEL1_Agent]\r\nCon1check=1\r\nCon1numCOM=0x3\r\nSaveFile=/srv/Данные/Данные.qel\r\n"
        "Name1=Кабинет 2\r\nName2=\r\nName3=Ещё\r\n");
    for (const auto& [form, bytes] : Forms(kSettings)) {
        SCOPED_TRACE(form);
        TempFolder dir;
        const std::string path = dir / "QEL1_Agent.ini";
        WriteBytes(path, bytes);
        IniFile ini(path);
        ini.WriteString("QEL1_Agent", "Name1", "Кабинет 2");
        ini.WriteString("QEL1_Agent", "Name3", "Ещё");
        EXPECT_EQ(ReadBytes(path), expected);
        EXPECT_EQ(ini.ReadString("QEL1_Agent", "SaveFile", ""), "/srv/Данные/Данные.qel");
    }
}

TEST(SettingsText, AnASCIIFileIsWrittenByteForByteAsBefore) {
    TempFolder dir;
    const std::string path = dir / "QEL1_Agent.ini";
    WriteBytes(path, "; comment\n[QEL1_Agent]\nCon1check=0\n");
    IniFile ini(path);
    ini.WriteString("QEL1_Agent", "Name1", "Кабинет");
    EXPECT_EQ(ReadBytes(path), "; comment\n[QEL1_Agent]\nCon1check=0\n" + Utf8ToCp1251("Name1=Кабинет") + "\r\n");
    // Now a code page 1251 file: a further write leaves its Cyrillic as it is.
    ini.WriteString("QEL1_Agent", "Name2", "Ёж");
    EXPECT_EQ(ini.ReadString("QEL1_Agent", "Name1", ""), "Кабинет");
    EXPECT_EQ(ini.ReadString("QEL1_Agent", "Name2", ""), "Ёж");
}

}  // namespace
}  // namespace qel
