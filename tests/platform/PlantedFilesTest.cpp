// The settings file against what someone may plant at its path: a pipe that would block,
// a link of another user, a file marked read-only (which root could otherwise write).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "Bounded.h"
#include "FileBytes.h"
#include "PosixFile.h"
#include "ProfileFile.h"
#include "TestFiles.h"

namespace qel {
namespace {

using test::BoundedOutcome;
using test::ReadBytes;
using test::WriteBytes;

constexpr uid_t kOtherUser = 65534;

class PlantedSettingsFile : public ::testing::Test {
protected:
    test::TempFolder dir_;
    std::string ini_ = dir_ / "QEL1_Agent.ini";
};

TEST_F(PlantedSettingsFile, APipeIsNeitherWaitedOnNorWritten) {
    ASSERT_EQ(::mkfifo(ini_.c_str(), 0666), 0);
    // Reading and writing in a child first: either would hang here if it waited on the pipe.
    EXPECT_EQ(test::RunBounded([&] { return GetProfileString(ini_, "S", "K", "<def>") == "<def>"; }, 5000),
              BoundedOutcome::Passed);
    EXPECT_EQ(test::RunBounded([&] { return !WriteProfileString(ini_, "S", "K", "v"); }, 5000),
              BoundedOutcome::Passed);
    std::string bytes;
    EXPECT_EQ(ReadWholeFile(ini_, bytes), FileReadResult::Failed);
    struct stat st {};
    ASSERT_EQ(::lstat(ini_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(PlantedSettingsFile, ALinkOfAnotherUserInASharedFolderIsNeitherReadNorWritten) {
    ASSERT_EQ(::chmod(dir_.Path().c_str(), 01777), 0);
    const std::string victim = dir_ / "victim";
    WriteBytes(victim, "[S]\r\nK=secret\r\n");
    ASSERT_EQ(::symlink("victim", ini_.c_str()), 0);
    ASSERT_EQ(::lchown(ini_.c_str(), kOtherUser, kOtherUser), 0);
    EXPECT_EQ(GetProfileString(ini_, "S", "K", "<def>"), "<def>");
    EXPECT_FALSE(WriteProfileString(ini_, "S", "K", "v"));
    EXPECT_EQ(ReadBytes(victim), "[S]\r\nK=secret\r\n");
    EXPECT_EQ(dir_.Entries(), (std::set<std::string>{"victim", "QEL1_Agent.ini"}));

    // Followed when it is the user's own.
    ASSERT_EQ(::lchown(ini_.c_str(), ::geteuid(), ::getegid()), 0);
    EXPECT_EQ(GetProfileString(ini_, "S", "K", "<def>"), "secret");
    EXPECT_TRUE(WriteProfileString(ini_, "S", "K", "v"));
    EXPECT_EQ(ReadBytes(victim), "[S]\r\nK=v\r\n");
}

TEST_F(PlantedSettingsFile, AFileWithoutWriteBitsIsNotWrittenEvenByRoot) {
    WriteBytes(ini_, "[S]\r\nK=1\r\n");
    ASSERT_EQ(::chmod(ini_.c_str(), 0444), 0);
    EXPECT_FALSE(WriteProfileString(ini_, "S", "K", "2"));
    EXPECT_EQ(ReadBytes(ini_), "[S]\r\nK=1\r\n");
    EXPECT_EQ(GetProfileString(ini_, "S", "K", ""), "1");
    EXPECT_EQ(dir_.Entries(), std::set<std::string>{"QEL1_Agent.ini"});
    // Any one write bit makes it writable to whom the system lets write.
    ASSERT_EQ(::chmod(ini_.c_str(), 0200), 0);
    if (::geteuid() == 0) {
        EXPECT_TRUE(WriteProfileString(ini_, "S", "K", "2"));
    }
}

// The rules of the file layer that the settings, the data file and the report template share.
TEST(GuardedOpening, WhatStandsAtThePathDecides) {
    test::TempFolder dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0666), 0);
    ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("/dev/null", (dir / "device").c_str()), 0);
    ASSERT_EQ(::symlink("loop", (dir / "loop").c_str()), 0);
    WriteBytes(dir / "file", "x");
    struct Case {
        std::string name;
        FileRefusal refusal;
        bool opens;
    };
    for (const Case& c : {Case{"pipe", FileRefusal::Pipe, false}, Case{"folder", FileRefusal::Folder, false},
                          Case{"device", FileRefusal::Device, false}, Case{"loop", FileRefusal::None, false},
                          Case{"file", FileRefusal::None, true}}) {
        SCOPED_TRACE(c.name);
        PosixFile file;
        EXPECT_EQ(file.OpenForReading(dir / c.name), c.opens);
        EXPECT_EQ(file.Refusal(), c.refusal);
        PosixFile writing;
        EXPECT_EQ(writing.CreateForAppending(dir / c.name), c.opens);
        EXPECT_EQ(writing.Refusal(), c.refusal);
        if (c.name == "loop") {
            EXPECT_EQ(file.Error(), ELOOP);
        }
    }
    PosixFile file;
    EXPECT_FALSE(file.OpenForReading(dir / "pipe"));
    EXPECT_EQ(file.FailureText(), "a named pipe stands at this path");
}

}  // namespace
}  // namespace qel
