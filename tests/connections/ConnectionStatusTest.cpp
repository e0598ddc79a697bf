// The state model behind the tray icon: each connection's state, the worst of them, and
// the hint's lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConnectionStatus.h"
#include "RussianFixedTime.h"

namespace qel::test {
namespace {

ConnectionStatus Status(LinkState link, bool notAnswering = false, bool writeFailed = false) {
    ConnectionStatus s;
    s.link = link;
    s.notAnswering = notAnswering;
    s.writeFailed = writeFailed;
    return s;
}

struct LevelCase {
    const char* what;
    ConnectionStatus one, two;
    StatusLevel worst;
    const char* stateOfOne;
};

TEST(ConnectionStatus, WorstLevelAndStateTextOfEveryState) {
    const std::vector<LevelCase> cases = {
        {"none in use", Status(LinkState::Idle), Status(LinkState::Idle), StatusLevel::Well, "на связи"},
        {"one open", Status(LinkState::Open), Status(LinkState::Idle), StatusLevel::Well, "на связи"},
        {"one lost", Status(LinkState::Lost), Status(LinkState::Open), StatusLevel::Waiting,
         "ожидание устройства: отключено"},
        {"one not opened", Status(LinkState::NotOpened), Status(LinkState::Idle), StatusLevel::Waiting,
         "ожидание устройства: порт не открыт"},
        {"one not answering", Status(LinkState::Open, true), Status(LinkState::Open), StatusLevel::Waiting,
         "ожидание устройства: не отвечает"},
        {"write failed beats waiting", Status(LinkState::Open, false, true), Status(LinkState::Lost),
         StatusLevel::CannotWrite, "файл данных недоступен"},
        {"write failed of the other", Status(LinkState::Lost), Status(LinkState::Open, false, true),
         StatusLevel::CannotWrite, "ожидание устройства: отключено"},
        {"a connection not in use counts for nothing", Status(LinkState::Open),
         Status(LinkState::Idle, true, true), StatusLevel::Well, "на связи"},
    };
    for (const LevelCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WorstLevel({c.one, c.two}), c.worst);
        EXPECT_EQ(StateText(c.one), c.stateOfOne);
    }
}

TEST(ConnectionStatus, LevelTextNamesEachLevel) {
    EXPECT_EQ(LevelText(StatusLevel::Well), "все соединения на связи");
    EXPECT_EQ(LevelText(StatusLevel::Waiting), "ожидание устройства");
    EXPECT_EQ(LevelText(StatusLevel::CannotWrite), "файл данных недоступен");
}

TEST(ConnectionStatus, HintHasTheProgramLineThenOneLinePerConnectionInUse) {
    RussianFixedTime time;
    ConnectionStatus one = Status(LinkState::Open);
    one.lastFiled = FixedMoment();
    const ConnectionStatus two = Status(LinkState::Lost);
    const ConnectionLabels labels = {ConnectionLabel{"Кабинет 3", "COM1 (/dev/ttyUSB0)", "КЭЛ-1"},
                                     ConnectionLabel{"Соединение 2", "COM2 (/dev/ttyS1)", "КЭЛ-1М"}};
    EXPECT_EQ(HintText({one, two}, labels, "/home/u/Data.qel"),
              "Программа для приёма информации от КЭЛ1\n"
              "Кабинет 3, COM1 (/dev/ttyUSB0), КЭЛ-1: на связи, последняя запись 09:05:07\n"
              "Соединение 2, COM2 (/dev/ttyS1), КЭЛ-1М: ожидание устройства: отключено, записей ещё не было\n"
              "Следующая запись: /home/u/Data.qel");
    EXPECT_EQ(HintText({Status(LinkState::Idle), two}, labels, ""),
              "Программа для приёма информации от КЭЛ1\n"
              "Соединение 2, COM2 (/dev/ttyS1), КЭЛ-1М: ожидание устройства: отключено, записей ещё не было");
    EXPECT_EQ(HintText({}, labels, ""),
              "Программа для приёма информации от КЭЛ1\nНи одно соединение не используется");
}

}  // namespace
}  // namespace qel::test
