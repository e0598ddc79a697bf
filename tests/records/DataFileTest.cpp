#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <vector>

#include <sys/stat.h>

#include <cerrno>

#include "DataFile.h"
#include "DataFileSettings.h"
#include "PosixFile.h"
#include "PosixFileFaults_p.h"
#include "Qel1Samples.h"
#include "RecordLine.h"
#include "RecordingSink.h"
#include "Regional.h"
#include "RegionalGuard.h"
#include "TestFiles.h"

namespace qel {
namespace {

using test::CurrentFolder;
using test::ReadBytes;
using test::RecordingSink;
using test::TempFolder;
using test::WriteBytes;
namespace fs = std::filesystem;

const std::string kNotAccessible = kDataFileNotAccessible;

using Options = test::DataFileSettings;

class DataFileTest : public ::testing::Test {
protected:
    int Reports() const { return static_cast<int>(sink.lines.size()); }

    // The list line that names a record the moment its write failed.
    static std::string NotWritten(const std::string& line, const std::string& path, const std::string& reason) {
        return "Запись не сделана: " + line + " - файл \"" + path + "\": " + reason;
    }

    // The path cannot be written: both modes name the lost line and why at once; appending
    // also reports at once, rewriting (a fresh writer) only at the hold-off's end.
    void ExpectRefusedInBothModes(const std::string& path, const std::string& reason) {
        const std::vector<std::string> notes{NotWritten("line", path, reason)};
        writer.Save2File("line");
        EXPECT_TRUE(writer.WriteBlocked());
        std::vector<std::string> expected = notes;
        expected.push_back(kNotAccessible);
        EXPECT_EQ(sink.lines, expected);

        sink.Clear();
        test::TestWriter rewriting(options, sink.log);
        options.rewrite = true;
        rewriting.Save2File("line");
        EXPECT_TRUE(rewriting.WriteBlocked());
        EXPECT_EQ(sink.lines, notes);
    }

    TempFolder dir;
    CurrentFolder cwd{dir.Path()};
    RecordingSink sink;
    Options options;
    test::TestWriter writer{options, sink.log};

private:
    test::RegionalGuard russian_{RussianRegionalSettings()};
};

TEST_F(DataFileTest, RewriteKeepsOnlyTheNewestLine) {
    options.rewrite = true;
    WriteBytes("Data.qel", "old content that is longer than one record line\r\n");
    for (int n = 1; n <= 3; ++n) writer.Save2File(test::ExampleRecord(static_cast<uint16_t>(n)));
    EXPECT_EQ(ReadBytes("Data.qel"), "00007 00003 09:45 31.12.05 00012,500\r\n");
    EXPECT_FALSE(writer.WriteBlocked());
    EXPECT_TRUE(sink.lines.empty());
}

TEST_F(DataFileTest, AppendCreatesAMissingFileThenAppends) {
    writer.Save2File(test::ExampleRecord(1));
    EXPECT_EQ(ReadBytes(dir / "Data.qel"), "00007 00001 09:45 31.12.05 00012,500\r\n");
    writer.Save2File(test::ExampleRecord(2));
    EXPECT_EQ(ReadBytes(dir / "Data.qel"),
              "00007 00001 09:45 31.12.05 00012,500\r\n00007 00002 09:45 31.12.05 00012,500\r\n");
    EXPECT_FALSE(writer.WriteBlocked());
    EXPECT_TRUE(sink.lines.empty());
}

TEST_F(DataFileTest, AppendKeepsExistingBytesAndAddsNoLineEndOfItsOwn) {
    WriteBytes("Data.qel", "no line end");
    writer.Save2File("x");
    EXPECT_EQ(ReadBytes("Data.qel"), "no line endx\r\n");
}

TEST_F(DataFileTest, LineIsWrittenInCodePage1251) {
    options.path = dir / "Журнал.qel";  // the name stays UTF-8, the content becomes cp1251
    writer.Save2File("Доза 1,5");
    EXPECT_EQ(ReadBytes(dir / "Журнал.qel"), "\xC4\xEE\xE7\xE0 1,5\r\n");
}

TEST_F(DataFileTest, AbsolutePathOutsideTheCurrentFolder) {
    TempFolder other;
    options.path = other / "Data.qel";
    writer.Save2File("line");
    EXPECT_EQ(ReadBytes(other / "Data.qel"), "line\r\n");
    EXPECT_FALSE(fs::exists(dir / "Data.qel"));
}

TEST_F(DataFileTest, OneFilePerRecordBesideABareName) {
    options.multiple = true;
    const RecordFieldsData record = test::ExampleRecord(300);
    const std::string line = JoinRecordLine(record);
    writer.Save2File(record);
    EXPECT_EQ(options.path, "311205.300");
    EXPECT_EQ(ReadBytes(dir / "311205.300"), line + "\r\n");
    EXPECT_FALSE(fs::exists(dir / "Data.qel"));

    // Same date and record number: the same file, appended to without CB_Rewrite ...
    writer.Save2File(record);
    EXPECT_EQ(ReadBytes(dir / "311205.300"), line + "\r\n" + line + "\r\n");
    // ... and rewritten with it.
    options.rewrite = true;
    writer.Save2File(record);
    EXPECT_EQ(ReadBytes(dir / "311205.300"), line + "\r\n");
}

TEST_F(DataFileTest, OneFilePerRecordInASubfolderKeepsTheFolder) {
    fs::create_directory(dir / "out");
    options.multiple = true;
    options.path = "out/Data.qel";
    writer.Save2File(test::ExampleRecord(300));
    EXPECT_EQ(options.path, "out/311205.300");
    EXPECT_TRUE(fs::exists(dir / "out/311205.300"));
    // The next name comes from the same folder.
    writer.Save2File(test::ExampleRecord(301, 0x01));
    EXPECT_EQ(options.path, "out/011205.301");
    EXPECT_TRUE(fs::exists(dir / "out/011205.301"));
}

TEST_F(DataFileTest, OneFilePerRecordWithWindowsStyleNames) {
    options.multiple = true;
    options.path = "C:\\Data\\Data.qel";
    writer.Save2File(test::ExampleRecord(300));
    EXPECT_EQ(options.path, "C:\\Data\\311205.300");
    // Backslashes are ordinary characters of a name here: the file lies in the current folder.
    EXPECT_TRUE(fs::exists(dir / "C:\\Data\\311205.300"));

    options.path = "C:Data.qel";
    writer.Save2File(test::ExampleRecord(7));
    EXPECT_EQ(options.path, "C:311205.007");

    options.path = "a\\b/c:d\\Data.qel";  // the last of the three separators counts
    fs::create_directory(dir / "a\\b");
    writer.Save2File(test::ExampleRecord(7));
    EXPECT_EQ(options.path, "a\\b/c:d\\311205.007");
    EXPECT_TRUE(fs::exists(dir / "a\\b/c:d\\311205.007"));
}

TEST_F(DataFileTest, PerRecordExtensionKeepsAllDigits) {
    options.multiple = true;
    writer.Save2File(test::ExampleRecord(7));
    EXPECT_EQ(options.path, "311205.007");
    writer.Save2File(test::ExampleRecord(12345));
    EXPECT_EQ(options.path, "311205.12345");
    EXPECT_TRUE(fs::exists(dir / "311205.007"));
    EXPECT_TRUE(fs::exists(dir / "311205.12345"));
}

TEST_F(DataFileTest, PerRecordNameStaysWhenTheWriteFails) {
    options.multiple = true;
    options.path = "missing/Data.qel";
    writer.Save2File(test::ExampleRecord(300));
    EXPECT_EQ(options.path, "missing/311205.300");
    EXPECT_TRUE(writer.WriteBlocked());
}

TEST_F(DataFileTest, MissingFolderInAppendModeIsReportedAtOnceAndAfterTheHoldOff) {
    options.path = "missing/Data.qel";
    writer.Save2File(test::ExampleRecord(1));
    const std::string note = NotWritten(JoinRecordLine(test::ExampleRecord(1)), "missing/Data.qel", "нет такой папки");
    ASSERT_EQ(sink.lines, (std::vector<std::string>{note, kNotAccessible}));
    EXPECT_EQ(sink.Count(BeepKind::Question), 1);
    EXPECT_TRUE(writer.WriteBlocked());
    EXPECT_FALSE(fs::exists(dir / "missing"));

    for (int tick = 1; tick <= 9; ++tick) {
        EXPECT_FALSE(writer.HoldOffTick()) << tick;
        EXPECT_TRUE(writer.WriteBlocked()) << tick;
        EXPECT_EQ(writer.WriteBlockedTicks(), tick);
    }
    EXPECT_EQ(Reports(), 2);
    EXPECT_TRUE(writer.HoldOffTick());
    EXPECT_FALSE(writer.WriteBlocked());
    EXPECT_EQ(writer.WriteBlockedTicks(), 0);
    EXPECT_EQ(sink.lines, (std::vector<std::string>{note, kNotAccessible, kNotAccessible}));
    // Open again: further ticks do nothing.
    EXPECT_FALSE(writer.HoldOffTick());
    EXPECT_EQ(Reports(), 3);
}

TEST_F(DataFileTest, MissingFolderInRewriteModeIsReportedOnlyAfterTheHoldOff) {
    options.rewrite = true;
    options.path = "missing/Data.qel";
    writer.Save2File(test::ExampleRecord(1));
    EXPECT_TRUE(writer.WriteBlocked());
    const std::string note = NotWritten(JoinRecordLine(test::ExampleRecord(1)), "missing/Data.qel", "нет такой папки");
    EXPECT_EQ(sink.lines, std::vector<std::string>{note});
    EXPECT_TRUE(sink.beeps.empty());
    for (int tick = 1; tick <= 9; ++tick) EXPECT_FALSE(writer.HoldOffTick());
    EXPECT_EQ(sink.lines.size(), 1u);
    EXPECT_TRUE(writer.HoldOffTick());
    EXPECT_EQ(sink.lines, (std::vector<std::string>{note, kNotAccessible}));
}

TEST_F(DataFileTest, EmptyPathFailsWithoutAnImmediateReportInBothModes) {
    for (bool rewrite : {false, true}) {
        SCOPED_TRACE(rewrite);
        sink.Clear();
        options.rewrite = rewrite;
        options.path.clear();
        writer.Save2File("line");
        EXPECT_TRUE(writer.WriteBlocked());
        const std::string note = NotWritten("line", "", "имя файла не задано");
        EXPECT_EQ(sink.lines, std::vector<std::string>{note});
        for (int tick = 1; tick <= 10; ++tick) writer.HoldOffTick();
        EXPECT_EQ(sink.lines, (std::vector<std::string>{note, kNotAccessible}));
        EXPECT_FALSE(writer.WriteBlocked());
    }
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

// Tests run as root, where file modes stop no write: a regular file on the way to the
// target and a folder in the target's place are what cannot be written.
TEST_F(DataFileTest, PathThroughARegularFile) {
    WriteBytes("plain", "x");
    options.path = "plain/Data.qel";
    ExpectRefusedInBothModes("plain/Data.qel", "в пути к нему не папка");
    EXPECT_EQ(ReadBytes("plain"), "x");
}

TEST_F(DataFileTest, FolderStandingWhereTheFileShouldBe) {
    fs::create_directory(dir / "Data.qel");
    ExpectRefusedInBothModes("Data.qel", "на его месте папка");
    EXPECT_TRUE(fs::is_empty(dir / "Data.qel"));
}

TEST_F(DataFileTest, ADeviceAtThePathIsNotWritten) {
    ASSERT_TRUE(fs::exists("/dev/full"));
    options.path = "/dev/full";
    ExpectRefusedInBothModes("/dev/full", "на его месте устройство");
}

TEST_F(DataFileTest, AFurtherFailureDuringTheHoldOffRestartsTheCount) {
    options.path.clear();
    writer.Save2File("a");
    for (int tick = 1; tick <= 5; ++tick) writer.HoldOffTick();
    EXPECT_EQ(writer.WriteBlockedTicks(), 5);
    writer.Save2File("b");
    EXPECT_EQ(writer.WriteBlockedTicks(), 0);
    for (int tick = 1; tick <= 9; ++tick) EXPECT_FALSE(writer.HoldOffTick()) << tick;
    EXPECT_TRUE(writer.WriteBlocked());
    EXPECT_EQ(sink.lines.size(), 2u);  // each lost line named
    EXPECT_TRUE(writer.HoldOffTick());
    EXPECT_EQ(sink.lines.size(), 3u);
    EXPECT_EQ(sink.lines.back(), kNotAccessible);  // reported once
}

TEST_F(DataFileTest, ASuccessfulWriteDuringTheHoldOffNeitherEndsNorRestartsIt) {
    options.path.clear();
    writer.Save2File("a");
    for (int tick = 1; tick <= 4; ++tick) writer.HoldOffTick();
    options.path = "Data.qel";
    writer.Save2File("b");  // a QEL-1M record is not held back
    EXPECT_EQ(ReadBytes("Data.qel"), "b\r\n");
    EXPECT_TRUE(writer.WriteBlocked());
    EXPECT_EQ(writer.WriteBlockedTicks(), 4);
    for (int tick = 5; tick <= 9; ++tick) EXPECT_FALSE(writer.HoldOffTick());
    EXPECT_TRUE(writer.HoldOffTick());
}

TEST_F(DataFileTest, TicksWithoutAFailureDoNothing) {
    for (int tick = 1; tick <= 20; ++tick) EXPECT_FALSE(writer.HoldOffTick());
    EXPECT_FALSE(writer.WriteBlocked());
    EXPECT_EQ(writer.WriteBlockedTicks(), 0);
    EXPECT_TRUE(sink.lines.empty());
}

// The flush to stable storage, watched: each call notes how many bytes the file held.
struct WatchedSync {
    static inline std::vector<long long> sizes;
    static inline bool fail = false;
    static int Sync(int fd) {
        struct stat st {};
        sizes.push_back(::fstat(fd, &st) == 0 ? static_cast<long long>(st.st_size) : -1);
        if (fail) {
            errno = EIO;
            return -1;
        }
        return ::fsync(fd);
    }
    WatchedSync() {
        sizes.clear();
        fail = false;
        SetFileSyncCall(&Sync);
    }
    ~WatchedSync() { SetFileSyncCall(nullptr); }
};

TEST_F(DataFileTest, TheLineCountsAsWrittenOnlyOnceItIsOnStableStorage) {
    WatchedSync sync;
    writer.Save2File("abc");
    EXPECT_EQ(WatchedSync::sizes, std::vector<long long>{5});  // flushed once, the whole line in
    EXPECT_FALSE(writer.WriteBlocked());

    WatchedSync::fail = true;  // the flush fails: a write failure, whatever reached the file
    writer.Save2File("de");
    EXPECT_TRUE(writer.WriteBlocked());
    EXPECT_EQ(sink.lines, std::vector<std::string>{NotWritten("de", "Data.qel", "ошибка ввода-вывода")});
}

TEST_F(DataFileTest, ImmediateReportComesFirstAndARecordFiledUnderItsBoxIsWritten) {
    // The report opens its box before the writer blocks: a record filed from inside the
    // box (the user has made the folder meanwhile) is written, and the interrupted call
    // still ends as a write failure.
    options.path = "missing/Data.qel";
    sink.screenMessages = true;
    bool blockedWhileBoxOpen = true;
    sink.whileBoxOpen = [&] {
        blockedWhileBoxOpen = writer.WriteBlocked();
        fs::create_directory("missing");
        writer.Save2File("b");
    };
    writer.Save2File("a");
    EXPECT_EQ(sink.boxes.size(), 1u);
    EXPECT_FALSE(blockedWhileBoxOpen);
    EXPECT_EQ(ReadBytes("missing/Data.qel"), "b\r\n");
    EXPECT_TRUE(writer.WriteBlocked());
    EXPECT_EQ(writer.WriteBlockedTicks(), 0);
}

}  // namespace
}  // namespace qel
