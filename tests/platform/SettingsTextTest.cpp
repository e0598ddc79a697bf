// The settings file's encodings: each line is read in its own encoding (UTF-8 or code page
// 1251), a UTF-16 file as UTF-16, and a save changes the bytes of the lines it writes only,
// in the file's encoding; a value the file's code page cannot hold is never mangled.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Cp1251.h"
#include "IniFile.h"
#include "ProfileFile.h"
#include "SettingsText.h"
#include "TestFiles.h"
#include "Utf16.h"

namespace qel {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

const std::string kBom = "\xEF\xBB\xBF";

std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }
std::string Le(const std::string& utf8) { return Utf8ToUtf16(utf8, false); }
std::string Be(const std::string& utf8) { return Utf8ToUtf16(utf8, true); }

TEST(SettingsText, EachLineIsUtf8OnlyWhenItIsValidUtf8WithBytesAbove7F) {
    const std::pair<std::string, bool> cases[] = {
        {"", false},
        {"SaveFile=Data.qel", false},  // ASCII: the same either way
        {"Name1=Рентген-кабинет 1", true},
        {Cp("Name1=Рентген-кабинет 1"), false},
        {Cp("ёЁ№"), false},
        {"Name1=\xD0\x94\xD0", false},           // UTF-8 cut in the middle of a character
        {"Name1=\xC3\xA9t\xC3\xA9 \xE9", false},  // one stray byte spoils the line
        {"x=\xF0\x9F\x99\x82", true},             // valid UTF-8 beyond code page 1251
    };
    for (const auto& [line, utf8] : cases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(IsUtf8Line(line), utf8);
    }
}

TEST(SettingsText, TheFilesEncodingIsTheOneItsLinesMostlyHave) {
    const std::pair<std::string, SettingsEncoding> cases[] = {
        {"", SettingsEncoding::Cp1251},
        {"[QEL1_Agent]\r\nName1=x\r\n", SettingsEncoding::Cp1251},
        {kBom + Cp("Name1=Кабинет\r\n"), SettingsEncoding::Utf8},  // the mark decides
        {"Name1=Кабинет\r\nName2=Ёж\r\n", SettingsEncoding::Utf8},
        {Cp("Name1=Кабинет\r\n") + "Name2=Ёж\r\nName3=Ёж\r\n", SettingsEncoding::Utf8},
        {Cp("Name1=Кабинет\r\nName2=Ёж\r\n") + "Name3=Ёж\r\n", SettingsEncoding::Cp1251},
        // A stray code page 1251 byte in a comment does not outvote the keys.
        {"; \xE9\r\nSaveFile=Данные.qel\r\n", SettingsEncoding::Utf8},
        {Cp("; комментарий\r\n"), SettingsEncoding::Cp1251},
        {"\xFF\xFE" + Le("Name1=Ёж"), SettingsEncoding::Utf16LittleEndian},
        {"\xFE\xFF" + Be("Name1=Ёж"), SettingsEncoding::Utf16BigEndian},
    };
    for (const auto& [bytes, encoding] : cases) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(DecodeSettingsText(bytes).encoding, encoding);
    }
}

TEST(SettingsText, Utf16ComesBackByteForByteLoneSurrogatesAndAnOddByteIncluded) {
    for (const bool big : {false, true}) {
        std::string units = big ? Be("Name1=Ёж 🙂\r\n") : Le("Name1=Ёж 🙂\r\n");
        units += big ? std::string("\xD8\x01", 2) : std::string("\x01\xD8", 2);  // a lone high surrogate
        const std::string bytes = std::string(big ? "\xFE\xFF" : "\xFF\xFE") + units + "\x7F";
        const SettingsText form = DecodeSettingsText(bytes);
        EXPECT_EQ(form.text.substr(0, 17), "Name1=Ёж 🙂\r\n");
        EXPECT_EQ(form.tail, "\x7F");
        EXPECT_EQ(EncodeSettingsText(form, form.text), bytes);
    }
}

// One case of a save: the file before, what is written, the file after (the other bytes as
// they were), and every value as it reads back.
struct SaveCase {
    const char* name;
    std::string before;
    std::vector<std::pair<std::string, std::string>> writes;  // into [QEL1_Agent]
    std::string after;
    std::map<std::string, std::string> reads;  // [QEL1_Agent] key, and "Ports/COM1"
};

std::vector<SaveCase> SaveCases() {
    const std::string ports = "[Ports]\r\nCOM1=/dev/serial/by-id/usb-Прибор_1-if00\r\n";
    return {
        {"a mark followed by code page 1251 text keeps its Cyrillic; new lines are UTF-8",
         kBom + Cp("; Настройки кабинета\r\n" + ports + "[QEL1_Agent]\r\nName1=Кабинет\r\n"),
         {{"Name2", "Рентген"}},
         kBom + Cp("; Настройки кабинета\r\n" + ports + "[QEL1_Agent]\r\nName1=Кабинет\r\n") + "Name2=Рентген\r\n",
         {{"Name1", "Кабинет"}, {"Name2", "Рентген"}, {"Ports/COM1", "/dev/serial/by-id/usb-Прибор_1-if00"}}},
        {"a UTF-8 file with a code page 1251 byte in a comment is read and written as UTF-8",
         "; заметка \xE9\r\n" + ports + "[QEL1_Agent]\r\nSaveFile=Данные.qel\r\nName1=x\r\n",
         {{"Name1", "Кабинет №1"}},
         "; заметка \xE9\r\n" + ports + "[QEL1_Agent]\r\nSaveFile=Данные.qel\r\nName1=Кабинет №1\r\n",
         {{"SaveFile", "Данные.qel"}, {"Name1", "Кабинет №1"}, {"Ports/COM1", "/dev/serial/by-id/usb-Прибор_1-if00"}}},
        {"a code page 1251 file stays code page 1251",
         Cp(ports + "[QEL1_Agent]\r\nSaveFile=/srv/Данные.qel\r\nName1=old\r\n"),
         {{"Name1", "Ёлка"}, {"Con1check", "1"}},
         Cp(ports + "[QEL1_Agent]\r\nSaveFile=/srv/Данные.qel\r\nName1=Ёлка\r\nCon1check=1\r\n"),
         {{"SaveFile", "/srv/Данные.qel"}, {"Name1", "Ёлка"}, {"Con1check", "1"}}},
        {"a UTF-8 file takes what code page 1251 lacks as UTF-8",
         ports + "[QEL1_Agent]\r\nName1=Кабинет\r\n",
         {{"Name2", "Café 中"}},
         ports + "[QEL1_Agent]\r\nName1=Кабинет\r\nName2=Café 中\r\n",
         {{"Name1", "Кабинет"}, {"Name2", "Café 中"}}},
        {"a code page 1251 file takes a line it cannot hold as UTF-8, not as \"?\"",
         Cp("[QEL1_Agent]\r\nName1=Кабинет\r\n"),
         {{"Name2", "Müller"}},
         Cp("[QEL1_Agent]\r\nName1=Кабинет\r\n") + "Name2=Müller\r\n",
         {{"Name1", "Кабинет"}, {"Name2", "Müller"}}},
        {"a key spelled in the other case keeps its spelling and its line end",
         "[qel1_agent]\n  name1 = Кабинет  \n; end\n",
         {{"Name1", "Ёж"}},
         "[qel1_agent]\nname1=Ёж\n; end\n",
         {{"Name1", "Ёж"}}},
        {"UTF-16 little-endian is read and written as UTF-16",
         "\xFF\xFE" + Le("; Кабинет\r\n" + ports + "[QEL1_Agent]\r\nName1=Кабинет\r\nSaveFile=Data.qel\r\n"),
         {{"Name1", "Рентген 中"}, {"Con1check", "1"}},
         "\xFF\xFE" + Le("; Кабинет\r\n" + ports +
                         "[QEL1_Agent]\r\nName1=Рентген 中\r\nSaveFile=Data.qel\r\nCon1check=1\r\n"),
         {{"Name1", "Рентген 中"}, {"SaveFile", "Data.qel"}, {"Con1check", "1"},
          {"Ports/COM1", "/dev/serial/by-id/usb-Прибор_1-if00"}}},
        {"UTF-16 big-endian without the section gets it in UTF-16",
         "\xFE\xFF" + Be(ports),
         {{"Name1", "Ёж"}},
         "\xFE\xFF" + Be(ports + "[QEL1_Agent]\r\nName1=Ёж\r\n"),
         {{"Name1", "Ёж"}, {"Ports/COM1", "/dev/serial/by-id/usb-Прибор_1-if00"}}},
    };
}

TEST(SettingsText, ASaveChangesOnlyTheLinesItWritesAndEveryValueReadsAsWritten) {
    for (const SaveCase& c : SaveCases()) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const std::string path = dir / "QEL1_Agent.ini";
        WriteBytes(path, c.before);
        ASSERT_TRUE(WriteProfileStrings(path, "QEL1_Agent", c.writes));
        EXPECT_EQ(ReadBytes(path), c.after);
        for (const auto& [key, value] : c.reads) {
            const bool port = key.rfind("Ports/", 0) == 0;
            EXPECT_EQ(GetProfileString(path, port ? "Ports" : "QEL1_Agent", port ? key.substr(6) : key, "<absent>"),
                      value)
                << key;
        }
        // Written again with the same values, the file does not change.
        ASSERT_TRUE(WriteProfileStrings(path, "QEL1_Agent", c.writes));
        EXPECT_EQ(ReadBytes(path), c.after);
    }
}

// A value does not read differently for a byte elsewhere in the file.
TEST(SettingsText, AValueReadsTheSameWhateverTheOtherLinesHold) {
    const std::string line = "SaveFile=Данные.qel\r\n";
    for (const std::string& elsewhere : {std::string(), std::string("; \xE9\xE9\xE9\r\n"), Cp("Name1=Кабинет\r\n"),
                                         kBom, std::string("Name2=Ёж\r\n")}) {
        SCOPED_TRACE(elsewhere);
        TempFolder dir;
        const std::string path = dir / "QEL1_Agent.ini";
        const bool mark = elsewhere == kBom;
        WriteBytes(path, (mark ? kBom : "") + "[QEL1_Agent]\r\n" + (mark ? "" : elsewhere) + line);
        EXPECT_EQ(GetProfileString(path, "QEL1_Agent", "SaveFile", ""), "Данные.qel");
        WriteBytes(path, (mark ? kBom : "") + "[QEL1_Agent]\r\n" + (mark ? "" : elsewhere) + Cp(line));
        EXPECT_EQ(GetProfileString(path, "QEL1_Agent", "SaveFile", ""), "Данные.qel");
    }
}

TEST(SettingsText, WhatTheFileCannotHoldIsNamedForCodePage1251FilesOnly) {
    TempFolder dir;
    const std::string path = dir / "QEL1_Agent.ini";
    // No file yet: it will be code page 1251.
    EXPECT_EQ(CharactersSettingsCannotHold(path, "Café 中 é Кабинет"), "é中");
    EXPECT_EQ(CharactersSettingsCannotHold(path, "Кабинет №1 «Ёлка»"), "");
    WriteBytes(path, Cp("[QEL1_Agent]\r\nName1=Кабинет\r\n"));
    EXPECT_EQ(CharactersSettingsCannotHold(path, "/dev/serial/by-id/usb-Müller"), "ü");
    WriteBytes(path, "[QEL1_Agent]\r\nName1=Кабинет\r\n");
    EXPECT_EQ(CharactersSettingsCannotHold(path, "Café 中"), "");
    WriteBytes(path, "\xFF\xFE" + Le("[QEL1_Agent]\r\n"));
    EXPECT_EQ(CharactersSettingsCannotHold(path, "Café 中"), "");
}

// The fifteen keys through the settings' own reading, from each form a clinic's machine may
// hold them in.
TEST(SettingsText, EachFormReadsToTheSameValues) {
    const std::string text =
        "[Ports]\r\nCOM1=/dev/serial/by-id/usb-Прибор_1-if00\r\n"
        "[QEL1_Agent]\r\nCon1check=1\r\nCon1numCOM=0x3\r\nSaveFile=/srv/Данные/Данные.qel\r\n"
        "Name1=Рентген-кабинет №1 «Ёлка»\r\nName2=\r\n";
    const std::pair<const char*, std::string> forms[] = {
        {"cp1251", Cp(text)}, {"utf-8", text}, {"utf-8 with mark", kBom + text},
        {"utf-16le", "\xFF\xFE" + Le(text)}, {"utf-16be", "\xFE\xFF" + Be(text)},
        {"mark with cp1251", kBom + Cp(text)}};
    for (const auto& [form, bytes] : forms) {
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
        EXPECT_EQ(GetProfileString(path, "ports", "com1", ""), "/dev/serial/by-id/usb-Прибор_1-if00");
    }
}

// A value longer than the buffer is cut to whole characters, also in a UTF-8 line.
TEST(SettingsText, ALongValueIsCutToWholeCharacters) {
    TempFolder dir;
    const std::string path = dir / "QEL1_Agent.ini";
    std::string name;
    for (int i = 0; i < 3000; ++i) name += "Ж";
    WriteBytes(path, "[QEL1_Agent]\r\nName1=" + name + "\r\n");
    EXPECT_EQ(GetProfileString(path, "QEL1_Agent", "Name1", ""), name.substr(0, 2047 * 2));
    WriteBytes(path, Cp("[QEL1_Agent]\r\nName1=" + name + "\r\n"));
    EXPECT_EQ(GetProfileString(path, "QEL1_Agent", "Name1", ""), name.substr(0, 2047 * 2));
}

}  // namespace
}  // namespace qel
