#include "ProfileFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "PosixFile.h"
#include "PosixFileFaults_p.h"
#include "TestFiles.h"

namespace qel {
namespace {

using test::ReadBytes;
using test::WriteBytes;

class ProfileFileTest : public ::testing::Test {
protected:
    // Writes `bytes` as the INI file and reads `key` of `section` with the default "<def>".
    std::string Read(const std::string& bytes, const std::string& section, const std::string& key,
                     std::size_t buffer = 2048) {
        WriteBytes(ini_, bytes);
        return GetProfileString(ini_, section, key, "<def>", buffer);
    }
    // Writes `before` as the INI file, writes one key and returns the file's bytes.
    std::string Write(const std::string& before, const std::string& section, const std::string& key,
                      const std::string& value) {
        WriteBytes(ini_, before);
        EXPECT_TRUE(WriteProfileString(ini_, section, key, value));
        return ReadBytes(ini_);
    }

    test::TempFolder dir_;
    std::string ini_ = dir_ / "QEL1_Agent.ini";
};

TEST_F(ProfileFileTest, AbsentFileSectionOrKeyGiveTheDefault) {
    EXPECT_EQ(GetProfileString(dir_ / "none.ini", "S", "K", "dflt"), "dflt");
    EXPECT_EQ(Read("[S]\r\nK=1\r\n", "T", "K"), "<def>");
    EXPECT_EQ(Read("[S]\r\nK=1\r\n", "S", "L"), "<def>");
    EXPECT_EQ(Read("K=1\r\n[S]\r\nL=2\r\n", "S", "K"), "<def>");  // a key before any section
    EXPECT_EQ(Read("[S]\r\nK\r\n", "S", "K"), "<def>");            // no "="
    EXPECT_EQ(Read("[S]\r\nK=\r\n", "S", "K"), "");
    EXPECT_EQ(Read("[S]\r\nK=  \r\n", "S", "K"), "");
    // A folder where the file should be is no file.
    ::mkdir((dir_ / "dir.ini").c_str(), 0755);
    EXPECT_EQ(GetProfileString(dir_ / "dir.ini", "S", "K", "dflt"), "dflt");
}

TEST_F(ProfileFileTest, NamesMatchWithoutCaseAndBlanksAreIgnored) {
    const std::string file = "[ Settings ]\r\n  Port Name  =  COM 1  \r\n";
    EXPECT_EQ(Read(file, "settings", "PORT NAME"), "COM 1");
    EXPECT_EQ(Read(file, "  SETTINGS\t", " port name "), "COM 1");
    // Cyrillic names in the file's code page, matched in either case.
    EXPECT_EQ(Read("[\xD0\xE0\xE7\xED\xEE\xE5]\r\n\xC8\xEC\xFF=\xCF\xF0\xE8\xE1\xEE\xF0 \xB9" "1\r\n", "РАЗНОЕ", "имя"),
              "Прибор №1");
    EXPECT_EQ(Read("[\xA8\xEB\xEA\xE0]\r\nk=v\r\n", "ёЛКА", "K"), "v");
}

TEST_F(ProfileFileTest, LineEndsOfEveryKind) {
    const std::string file = "[A]\rx=1\ny=2\r\n[B]\n\rx=3\r\r\ny=4";
    EXPECT_EQ(Read(file, "A", "x"), "1");
    EXPECT_EQ(Read(file, "A", "y"), "2");
    EXPECT_EQ(Read(file, "B", "x"), "3");
    EXPECT_EQ(Read(file, "B", "y"), "4");
}

TEST_F(ProfileFileTest, ValueSplittingQuotesAndComments) {
    EXPECT_EQ(Read("[S]\r\nK=a=b\r\n", "S", "K"), "a=b");
    EXPECT_EQ(Read("[S]\r\nK=\" x y \"\r\n", "S", "K"), " x y ");
    EXPECT_EQ(Read("[S]\r\nK='q'\r\n", "S", "K"), "q");
    EXPECT_EQ(Read("[S]\r\nK=\"\"\r\n", "S", "K"), "");
    EXPECT_EQ(Read("[S]\r\nK=\"\"a\"\"\r\n", "S", "K"), "\"a\"");  // one pair only
    EXPECT_EQ(Read("[S]\r\nK=\"a'\r\n", "S", "K"), "\"a'");
    EXPECT_EQ(Read("[S]\r\nK=\"\r\n", "S", "K"), "\"");
    EXPECT_EQ(Read("[S]\r\n;K=1\r\nK=2\r\n", "S", "K"), "2");
    EXPECT_EQ(Read("[S]\r\n#K=1\r\n", "S", "#K"), "1");  // only ";" starts a comment
    EXPECT_EQ(Read("[S]\r\nK=1 ;note\r\n", "S", "K"), "1 ;note");
}

TEST_F(ProfileFileTest, FirstMatchingKeyInFirstMatchingSectionWins) {
    EXPECT_EQ(Read("[S]\r\nK=1\r\nk=2\r\n", "S", "K"), "1");
    EXPECT_EQ(Read("[S]\r\nK=1\r\n[s]\r\nK=2\r\nL=3\r\n", "S", "K"), "1");
    EXPECT_EQ(Read("[S]\r\nK=1\r\n[s]\r\nL=3\r\n", "S", "L"), "<def>");
    EXPECT_EQ(Read("[S]\r\nK\r\nK=2\r\n", "S", "K"), "<def>");  // the line without "=" comes first
}

TEST_F(ProfileFileTest, LongValuesAreCutToTheBuffer) {
    EXPECT_EQ(Read("[S]\r\nK=" + std::string(3000, 'z') + "\r\n", "S", "K"), std::string(2047, 'z'));
    EXPECT_EQ(Read("[S]\r\nK=" + std::string(2047, 'z') + "\r\n", "S", "K"), std::string(2047, 'z'));
    // Cut by characters of the file, not by bytes of UTF-8.
    std::string cyr;
    for (int i = 0; i < 5; ++i) cyr += "Ж";
    EXPECT_EQ(Read("[S]\r\nK=\xC6\xC6\xC6\xC6\xC6\xC6\xC6\r\n", "S", "K", 6), cyr);
    EXPECT_EQ(Read("[S]\r\nK=abc\r\n", "S", "K", 1), "");
}

TEST_F(ProfileFileTest, FileIsReadAfreshAtEveryCall) {
    EXPECT_EQ(Read("[S]\r\nK=1\r\n", "S", "K"), "1");
    WriteBytes(ini_, "[S]\r\nK=2\r\n");
    EXPECT_EQ(GetProfileString(ini_, "S", "K", ""), "2");
}

TEST_F(ProfileFileTest, WritingCreatesAFileAndAddsKeysInOrder) {
    ASSERT_TRUE(WriteProfileString(ini_, " QEL1_Agent ", " Con1check ", "1"));
    ASSERT_TRUE(WriteProfileString(ini_, "QEL1_Agent", "Name1", "Прибор №1"));
    EXPECT_EQ(ReadBytes(ini_), "[QEL1_Agent]\r\nCon1check=1\r\nName1=\xCF\xF0\xE8\xE1\xEE\xF0 \xB9" "1\r\n");
    EXPECT_EQ(GetProfileString(ini_, "qel1_agent", "NAME1", ""), "Прибор №1");
    EXPECT_EQ(dir_.Entries(), std::set<std::string>{"QEL1_Agent.ini"});  // no temporary file left
}

TEST_F(ProfileFileTest, NewKeyGoesAfterTheLastKeyLineOfItsSection) {
    EXPECT_EQ(Write("[S]\r\nA=1\r\n\r\n;c\r\n[T]\r\nX=1\r\n", "S", "B", "2"),
              "[S]\r\nA=1\r\nB=2\r\n\r\n;c\r\n[T]\r\nX=1\r\n");
    EXPECT_EQ(Write("[S]\nA=1\n;c\nNoValue\n\n[T]\n", "S", "B", "2"), "[S]\nA=1\n;c\nNoValue\nB=2\r\n\n[T]\n");
    EXPECT_EQ(Write("[S]\r\n\r\n[T]\r\n", "S", "B", "2"), "[S]\r\nB=2\r\n\r\n[T]\r\n");
    EXPECT_EQ(Write("[S]\nA=1", "S", "B", "2"), "[S]\nA=1\r\nB=2\r\n");
    EXPECT_EQ(Write("[S]", "S", "B", ""), "[S]\r\nB=\r\n");
}

TEST_F(ProfileFileTest, NewSectionGoesAtTheEndWithoutABlankLine) {
    EXPECT_EQ(Write("[S]\r\nA=1\r\n", "T", "K", "v"), "[S]\r\nA=1\r\n[T]\r\nK=v\r\n");
    EXPECT_EQ(Write("[S]\nA=1", "T", "K", "v"), "[S]\nA=1\r\n[T]\r\nK=v\r\n");
    EXPECT_EQ(Write("[S]\rA=1\r", "T", "K", "v"), "[S]\rA=1\r[T]\r\nK=v\r\n");
    EXPECT_EQ(Write("", "T", "K", "v"), "[T]\r\nK=v\r\n");
    // A key before any section does not count as the section's key.
    EXPECT_EQ(Write("K=old\n", "T", "K", "v"), "K=old\n[T]\r\nK=v\r\n");
}

TEST_F(ProfileFileTest, ExistingKeyIsReplacedInPlaceAndEveryOtherByteKept) {
    const std::string before =
        "stray=1\n; comment \xE9\r\n[ S ]\rA = old \r  b=2\n\n[T]\r\nA=t\r\n[S]\r\nA=second\r\nTail without end";
    EXPECT_EQ(Write(before, "s", "a", "new"),
              "stray=1\n; comment \xE9\r\n[ S ]\rA=new\r  b=2\n\n[T]\r\nA=t\r\n[S]\r\nA=second\r\nTail without end");
    EXPECT_EQ(Write("[S]\r\nKey\r\nX=1\r\n", "S", "key", "v"), "[S]\r\nKey=v\r\nX=1\r\n");
    EXPECT_EQ(Write("[S]\nK=1", "S", "K", "22"), "[S]\nK=22");
}

TEST_F(ProfileFileTest, WrittenTextIsOneLineInTheFilesCodePage) {
    // A line break in a value must not split the entry or plant another key.
    EXPECT_EQ(Write("", "S", "Name", "a\r\nCon1check=1"), "[S]\r\nName=a  Con1check=1\r\n");
    EXPECT_EQ(GetProfileString(ini_, "S", "Con1check", "<def>"), "<def>");
    // Code page 1251 where it holds the line; a line it cannot hold goes in as UTF-8, not "?".
    EXPECT_EQ(Write("", "S", "K", "ёЖ"), "[S]\r\nK=\xB8\xC6\r\n");
    EXPECT_EQ(Write("", "S", "K", "中ё"), "[S]\r\nK=中ё\r\n");
    EXPECT_EQ(GetProfileString(ini_, "S", "K", ""), "中ё");
}

TEST_F(ProfileFileTest, FollowsALinkAndKeepsTheFilesMode) {
    const std::string target = dir_ / "real.ini";
    WriteBytes(target, "[S]\r\nK=1\r\n");
    ::chmod(target.c_str(), 0640);
    ASSERT_EQ(::symlink("real.ini", ini_.c_str()), 0);
    ASSERT_TRUE(WriteProfileString(ini_, "S", "K", "2"));
    EXPECT_EQ(ReadBytes(target), "[S]\r\nK=2\r\n");
    struct stat st {};
    ASSERT_EQ(::lstat(ini_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(ProfileFileTest, RefusedWritesChangeNothing) {
    EXPECT_FALSE(WriteProfileString("", "S", "K", "v"));
    EXPECT_FALSE(WriteProfileString(dir_ / "missing/x.ini", "S", "K", "v"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));
    // A path that runs through a regular file.
    WriteBytes(dir_ / "plain", "[S]\r\nK=1\r\n");
    EXPECT_FALSE(WriteProfileString(dir_ / "plain/x.ini", "S", "K", "v"));
    EXPECT_EQ(ReadBytes(dir_ / "plain"), "[S]\r\nK=1\r\n");
    // A folder standing where the file should be.
    ::mkdir((dir_ / "folder.ini").c_str(), 0755);
    EXPECT_FALSE(WriteProfileString(dir_ / "folder.ini", "S", "K", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "folder.ini"));
    EXPECT_TRUE(std::filesystem::is_empty(dir_ / "folder.ini"));
    EXPECT_EQ(dir_.Entries(), (std::set<std::string>{"plain", "folder.ini"}));
}

TEST_F(ProfileFileTest, AnOrdinaryUserCannotWriteAReadOnlyFileOrFolder) {
    const std::string original = "[S]\r\nK=1\r\n";
    // A read-only file in a folder the user may write: replacing it by renaming a
    // temporary file would succeed, and must not be done.
    ::mkdir((dir_ / "open").c_str(), 0777);
    ::chmod((dir_ / "open").c_str(), 0777);
    const std::string readOnly = dir_ / "open/ro.ini";
    WriteBytes(readOnly, original);
    ::chmod(readOnly.c_str(), 0444);
    // A writable file in a read-only folder, and a new file there.
    ::mkdir((dir_ / "closed").c_str(), 0755);
    const std::string inClosed = dir_ / "closed/rw.ini";
    WriteBytes(inClosed, original);
    ::chmod(inClosed.c_str(), 0666);
    ::chmod(dir_.Path().c_str(), 0755);

    EXPECT_TRUE(test::RunUnprivileged([&] {
        return !WriteProfileString(readOnly, "S", "K", "2") && !WriteProfileString(inClosed, "S", "K", "2") &&
               !WriteProfileString(dir_ / "closed/new.ini", "S", "K", "2") &&
               GetProfileString(readOnly, "S", "K", "") == "1";
    }));
    EXPECT_EQ(ReadBytes(readOnly), original);
    EXPECT_EQ(ReadBytes(inClosed), original);
    EXPECT_EQ(test::TempFolder::Entries(dir_ / "open"), std::set<std::string>{"ro.ini"});
    EXPECT_EQ(test::TempFolder::Entries(dir_ / "closed"), std::set<std::string>{"rw.ini"});
    // The same user may write a file of its own in the open folder.
    EXPECT_TRUE(test::RunUnprivileged([&] { return WriteProfileString(dir_ / "open/own.ini", "S", "K", "2"); }));
    EXPECT_EQ(ReadBytes(dir_ / "open/own.ini"), "[S]\r\nK=2\r\n");
}

// What a save killed part-way left beside the file (a hidden ".QEL1_Agent.ini.XXXXXX") goes
// at the next save; names of another form, other files' leftovers and folders stay.
TEST_F(ProfileFileTest, TheNextSaveRemovesTheLeftoversOfKilledSaves) {
    WriteBytes(ini_, "[S]\r\nK=1\r\n");
    for (const char* name : {".QEL1_Agent.ini.a1B2c3", ".QEL1_Agent.ini.XXXXXX", ".QEL1_Agent.ini.abc", ".QEL1_Agent.ini.abcdefg",
                             ".Data.qel.a1B2c3", "QEL1_Agent.ini.a1B2c3", ".QEL1_Agent.ini.ab-d3f"})
        WriteBytes(dir_ / name, "left");
    std::filesystem::create_directory(dir_ / ".QEL1_Agent.ini.Folder");
    EXPECT_TRUE(WriteProfileString(ini_, "S", "K", "2"));
    EXPECT_EQ(dir_.Entries(), (std::set<std::string>{"QEL1_Agent.ini", ".QEL1_Agent.ini.abc", ".QEL1_Agent.ini.abcdefg",
                                                     ".Data.qel.a1B2c3", "QEL1_Agent.ini.a1B2c3",
                                                     ".QEL1_Agent.ini.ab-d3f", ".QEL1_Agent.ini.Folder"}));
    EXPECT_EQ(ReadBytes(ini_), "[S]\r\nK=2\r\n");
}

// A refused write says why, in the list's language, and leaves the file as it was.
TEST_F(ProfileFileTest, ARefusedWriteSaysWhy) {
    struct Case {
        const char* name;
        std::function<std::string()> prepare;
        std::string reason;
    };
    const std::vector<Case> cases{
        {"missing folder", [&] { return dir_ / "missing/QEL1_Agent.ini"; }, "нет такой папки"},
        {"read-only file",
         [&] {
             WriteBytes(ini_, "[S]\r\nK=1\r\n");
             ::chmod(ini_.c_str(), 0444);
             return ini_;
         },
         "файл только для чтения"},
        {"a file as folder",
         [&] {
             WriteBytes(dir_ / "file", "");
             return dir_ / "file/QEL1_Agent.ini";
         },
         "в пути к нему не папка"},
        {"a folder at the path",
         [&] {
             std::filesystem::create_directory(dir_ / "folder.ini");
             return dir_ / "folder.ini";
         },
         "на его месте папка"},
        {"no name", [] { return std::string(); }, "нет имени файла"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.prepare();
        const std::string before = std::filesystem::is_regular_file(path) ? ReadBytes(path) : std::string();
        std::string reason;
        EXPECT_FALSE(WriteProfileStrings(path, "S", {{"K", "2"}}, &reason));
        EXPECT_EQ(reason, c.reason);
        if (!before.empty()) {
            EXPECT_EQ(ReadBytes(path), before);
        }
    }
    // A full disk: the old file stays whole and no temporary file is left.
    WriteBytes(dir_ / "full.ini", "[S]\r\nK=1\r\n");
    SetFileWriteCall([](int, const void*, std::size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    });
    std::string full;
    EXPECT_FALSE(WriteProfileStrings(dir_ / "full.ini", "S", {{"K", "2"}}, &full));
    SetFileWriteCall(nullptr);
    EXPECT_EQ(full, "нет места на диске");
    EXPECT_EQ(ReadBytes(dir_ / "full.ini"), "[S]\r\nK=1\r\n");
    for (const std::string& name : dir_.Entries()) EXPECT_EQ(name.rfind(".full.ini.", 0), std::string::npos) << name;

    if (::geteuid() != 0) return;
    // Unreadable for an ordinary user: the reading says so.
    WriteBytes(dir_ / "private.ini", "[S]\r\nK=1\r\n");
    ::chmod(dir_.Path().c_str(), 0755);
    ::chmod((dir_ / "private.ini").c_str(), 0600);
    const std::string path = dir_ / "private.ini";
    EXPECT_TRUE(test::RunUnprivileged([&] {
        std::string problem;
        const auto values = GetProfileStrings(path, "S", {"K"}, 2048, &problem);
        std::string reason;
        return !values[0] && problem == "нет прав на чтение" && !WriteProfileStrings(path, "S", {{"K", "2"}}, &reason) &&
               reason == "нет прав на чтение";
    }));
}

}  // namespace
}  // namespace qel
