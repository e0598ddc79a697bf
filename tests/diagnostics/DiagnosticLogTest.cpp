#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "DiagnosticLog.h"
#include "RecordingSink.h"
#include "TestFiles.h"

namespace qel {
namespace {

using test::ReadBytes;
using test::RecordingSink;
using test::TempFolder;
using test::WriteBytes;

TEST(DiagnosticLogTest, ReportWithoutScreenMessagesAppendsAndBeepsOnly) {
    RecordingSink sink;
    sink.log.Report("Первая");
    sink.log.Report("Первая");  // identical messages stay separate lines
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"Первая", "Первая"}));
    EXPECT_EQ(sink.beeps, (std::vector<BeepKind>{BeepKind::Question, BeepKind::Question}));
    EXPECT_TRUE(sink.boxes.empty());
}

TEST(DiagnosticLogTest, ReportWithScreenMessagesShowsTheLineFirstThenTheBox) {
    RecordingSink sink;
    sink.screenMessages = true;
    sink.log.Report("Ошибка");
    EXPECT_EQ(sink.events, (std::vector<std::string>{"line:Ошибка", "beep:question", "box:Ошибка"}));
    EXPECT_EQ(sink.linesWhenBoxOpened, std::vector<std::size_t>{1});
}

// A report with its detail: two lines in the list, and a box that shows both.
TEST(DiagnosticLogTest, AReportWithDetailShowsBothLinesInTheListAndInTheBox) {
    RecordingSink sink;
    sink.screenMessages = true;
    sink.log.ReportWithDetail("Ошибка", "файл /x: нет места на диске");
    EXPECT_EQ(sink.events, (std::vector<std::string>{"line:Ошибка", "line:файл /x: нет места на диске",
                                                     "beep:question", "box:Ошибка\nфайл /x: нет места на диске"}));
    // The detail as a second line of an ordinary report stays out of its box.
    sink.log.Report("Ошибка", "вторая строка");
    EXPECT_EQ(sink.boxes.back(), "Ошибка");
}

TEST(DiagnosticLogTest, ScreenMessagesAreReadAtEachReport) {
    RecordingSink sink;
    sink.log.Report("a");
    sink.screenMessages = true;
    sink.log.Report("b");
    sink.screenMessages = false;
    sink.log.Report("c");
    EXPECT_EQ(sink.boxes, std::vector<std::string>{"b"});
    EXPECT_EQ(sink.lines.size(), 3u);
}

TEST(DiagnosticLogTest, NoteNeverBeepsNorShowsABox) {
    RecordingSink sink;
    sink.screenMessages = true;
    sink.log.Note("Принят пакет: 1");
    sink.screenMessages = false;
    sink.log.Note("Принят пакет: 2");
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"Принят пакет: 1", "Принят пакет: 2"}));
    EXPECT_TRUE(sink.beeps.empty());
    EXPECT_TRUE(sink.boxes.empty());
}

TEST(DiagnosticLogTest, DefaultBeepIsDistinctFromTheQuestionBeep) {
    RecordingSink sink;
    sink.log.BeepDefault();
    EXPECT_EQ(sink.beeps, std::vector<BeepKind>{BeepKind::Default});
    EXPECT_TRUE(sink.lines.empty());
}

TEST(DiagnosticLogTest, OneBoxAtATimeWhileReportsGoOnArriving) {
    RecordingSink sink;
    sink.screenMessages = true;
    int nested = 0;
    sink.whileBoxOpen = [&] {
        // The box's message loop delivers further events that report again.
        if (nested++ < 3) {
            sink.log.Report("вложенное");
            sink.log.Report("ещё");
        }
    };
    sink.log.Report("первое");
    EXPECT_EQ(sink.boxes, std::vector<std::string>{"первое"});
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"первое", "вложенное", "ещё"}));
    EXPECT_EQ(sink.Count(BeepKind::Question), 3);

    // Once the box is closed, the next report opens one again.
    sink.whileBoxOpen = nullptr;
    sink.log.Report("после");
    EXPECT_EQ(sink.boxes, (std::vector<std::string>{"первое", "после"}));
}

TEST(DiagnosticLogTest, BoxGuardIsReleasedWhenTheBoxThrows) {
    RecordingSink sink;
    sink.screenMessages = true;
    sink.whileBoxOpen = [] { throw std::runtime_error("box failed"); };
    EXPECT_THROW(sink.log.Report("a"), std::runtime_error);
    sink.whileBoxOpen = nullptr;
    sink.log.Report("b");
    EXPECT_EQ(sink.boxes, (std::vector<std::string>{"a", "b"}));
}

TEST(DiagnosticLogTest, WithoutASinkNothingHappensAndASinkIsKeptUntilItIsTakenAway) {
    DiagnosticLog log;
    EXPECT_EQ(log.Sink(), nullptr);
    log.Report("x");
    log.Note("y");
    log.BeepDefault();
    {
        RecordingSink sink(log);
        EXPECT_EQ(log.Sink(), &sink);
        log.Note("z");
        EXPECT_EQ(sink.lines, std::vector<std::string>{"z"});
    }
    EXPECT_EQ(log.Sink(), nullptr);
}

TEST(SaveDiagnosticLinesTest, WritesCodePage1251WithCrLfAndNoByteOrderMark) {
    TempFolder dir;
    const std::string path = dir / "Events.log";
    const std::vector<std::string> lines = {"Принят пакет: 00007", "", "Ёё abc"};
    EXPECT_EQ(SaveDiagnosticLines(lines, path), "");
    EXPECT_EQ(ReadBytes(path),
              "\xCF\xF0\xE8\xED\xFF\xF2 \xEF\xE0\xEA\xE5\xF2: 00007\r\n"
              "\r\n"
              "\xA8\xB8 abc\r\n");
}

TEST(SaveDiagnosticLinesTest, EmptyListGivesAnEmptyFileAndSavingOverwrites) {
    TempFolder dir;
    const std::string path = dir / "Events.log";
    WriteBytes(path, "an older and much longer log than the new one\r\n");
    EXPECT_EQ(SaveDiagnosticLines({"a"}, path), "");
    EXPECT_EQ(ReadBytes(path), "a\r\n");
    EXPECT_EQ(SaveDiagnosticLines({}, path), "");
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST(SaveDiagnosticLinesTest, FailuresGiveTheSystemReason) {
    TempFolder dir;
    EXPECT_EQ(SaveDiagnosticLines({"a"}, dir / "missing/Events.log"), "No such file or directory");
    std::filesystem::create_directory(dir / "folder.log");
    EXPECT_EQ(SaveDiagnosticLines({"a"}, dir / "folder.log"), "Is a directory");
    EXPECT_NE(SaveDiagnosticLines({"a"}, ""), "");
    EXPECT_NE(SaveDiagnosticLines({"a"}, "/dev/full"), "");
}

}  // namespace
}  // namespace qel
