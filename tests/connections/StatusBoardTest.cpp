// The state board: what the icon and the hint show after each event of a connection, and
// which notices go out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePort.h"
#include "RussianFixedTime.h"
#include "StatusBoard.h"

namespace qel::test {
namespace {

class RecordingView : public StatusView {
public:
    void ShowStatus(StatusLevel level, const std::string& hint) override {
        levels.push_back(level);
        lastHint = hint;
    }
    void Notify(const std::string& text) override { notices.push_back(text); }
    std::vector<StatusLevel> levels;
    std::string lastHint;
    std::vector<std::string> notices;
};

struct BoardCase {
    const char* what;
    std::string events;  // per event: O opened, F open failed, L lost, C closed, S silent, A answering,
                         // W written, X not written; all on connection 1
    StatusLevel level;
    std::vector<std::string> notices;
};

TEST(StatusBoard, EventsGiveTheirLevelAndNotices) {
    const std::string name = "Соединение 1, COM1 (/dev/ttyUSB0)";
    const std::vector<BoardCase> cases = {
        {"opened", "O", StatusLevel::Well, {}},
        {"open failed", "F", StatusLevel::Waiting, {name + ": порт не открылся"}},
        {"a failed open tried again is told once", "FF", StatusLevel::Waiting, {name + ": порт не открылся"}},
        {"lost and back", "OLO", StatusLevel::Well,
         {name + ": устройство отключено, программа ждёт его возвращения", name + ": устройство снова на связи"}},
        {"not answering is shown, not told", "OS", StatusLevel::Waiting, {}},
        {"answering again", "OSA", StatusLevel::Well, {}},
        {"a loss ends not answering", "OSLO", StatusLevel::Well,
         {name + ": устройство отключено, программа ждёт его возвращения", name + ": устройство снова на связи"}},
        {"a record not written", "OWX", StatusLevel::CannotWrite, {name + ": запись не сделана, файл данных недоступен"}},
        {"records not written are told once", "OXX", StatusLevel::CannotWrite,
         {name + ": запись не сделана, файл данных недоступен"}},
        {"closed: not in use any more", "OXC", StatusLevel::Well, {name + ": запись не сделана, файл данных недоступен"}},
    };
    RussianFixedTime time;
    for (const BoardCase& c : cases) {
        SCOPED_TRACE(c.what);
        ManualClock clock(0);
        StatusBoard board(clock);
        board.LabelOf = [](int n) {
            return ConnectionLabel{"Соединение " + std::to_string(n), "COM" + std::to_string(n) + " (/dev/ttyUSB0)",
                                   "КЭЛ-1"};
        };
        RecordingView view;
        board.SetView(&view);
        for (char e : c.events) {
            clock.now += 100000;  // far apart: the limiter holds nothing back
            switch (e) {
                case 'O': board.Opened(1); break;
                case 'F': board.OpenFailed(1); break;
                case 'L': board.Lost(1); break;
                case 'C': board.Closed(1); break;
                case 'S': board.Answering(1, false); break;
                case 'A': board.Answering(1, true); break;
                case 'W': board.RecordFiled(1, true); break;
                case 'X': board.RecordFiled(1, false); break;
            }
        }
        EXPECT_EQ(board.Level(), c.level);
        ASSERT_FALSE(view.levels.empty());
        EXPECT_EQ(view.levels.back(), c.level);
        EXPECT_EQ(view.notices, c.notices);
    }
}

TEST(StatusBoard, AWrittenRecordShowsItsTimeAndClearsTheWriteFailureOfBoth) {
    RussianFixedTime time;
    ManualClock clock(0);
    StatusBoard board(clock);
    RecordingView view;
    board.SetView(&view);
    board.NextRecordPath = [] { return std::string("/data/Data.qel"); };
    board.LabelOf = [](int n) { return ConnectionLabel{"Соединение " + std::to_string(n), "COM" + std::to_string(n), "КЭЛ-1"}; };
    board.Opened(1);
    board.Opened(2);
    board.RecordFiled(1, false);
    EXPECT_EQ(board.Level(), StatusLevel::CannotWrite);
    clock.now += 100000;
    board.RecordFiled(2, true);
    EXPECT_EQ(board.Level(), StatusLevel::Well);
    EXPECT_EQ(view.lastHint,
              "Программа для приёма информации от КЭЛ1\n"
              "Соединение 1, COM1, КЭЛ-1: на связи, записей ещё не было\n"
              "Соединение 2, COM2, КЭЛ-1: на связи, последняя запись 09:05:07\n"
              "Следующая запись: /data/Data.qel");
    EXPECT_EQ(view.notices, (std::vector<std::string>{"Соединение 1, COM1: запись не сделана, файл данных недоступен",
                                                      "Соединение 2, COM2: записи снова попадают в файл данных"}));
}

TEST(StatusBoard, AFlappingConnectionIsSummedUpAtTheTick) {
    ManualClock clock(0);
    StatusBoard board(clock);
    RecordingView view;
    board.SetView(&view);
    board.Opened(1);
    for (int cycle = 0; cycle < 20; ++cycle) {
        board.Lost(1);
        clock.now += 1000;
        board.Tick();
        board.Opened(1);
        clock.now += 1000;
        board.Tick();
    }
    EXPECT_EQ(view.notices.size(), 2u);
    clock.now += 60000;
    board.Tick();
    ASSERT_EQ(view.notices.size(), 3u);
    EXPECT_EQ(view.notices[2], "Соединение 1, : связь неустойчива, изменений за минуту: 38; сейчас: на связи");
}

}  // namespace
}  // namespace qel::test
