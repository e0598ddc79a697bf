// The program's hold on its ports: connecting with the reason of a failure, a lost device
// reported once and its port reopened at every tick, retries that end, and the reopening
// after a resume. Fake ports and manual time; the whole program does it for real in e2e.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Configuration.h"
#include "ConnectionKeeper.h"
#include "FakePort.h"
#include "PortFailureText.h"
#include "RecordingSink.h"
#include "SerialPortDriver.h"

namespace qel::test {
namespace {

class Keeper : public ::testing::Test {
protected:
    void SetUp() override {
        for (int n = 0; n < 2; ++n) {
            auto p = std::make_unique<FakePort>(clock);
            ports[n] = p.get();
            drivers[n] = std::make_unique<TSerialPortDriver>(std::move(p), &clock, std::make_unique<ManualTicks>());
        }
        drivers[0]->SetComPort(pnCOM1);
        drivers[0]->SetComPortSpeed(br4800);
        drivers[1]->SetComPort(pnCOM2);
        keeper = std::make_unique<ConnectionKeeper>(*drivers[0], *drivers[1], sink.log);
        drivers[0]->OnLineLost = [this](TSerialPortDriver*) { keeper->LineLost(1); };
        drivers[1]->OnLineLost = [this](TSerialPortDriver*) { keeper->LineLost(2); };
        keeper->OnLinkChange = [this](int connection, bool up) { links.emplace_back(connection, up); };
        keeper->OnConnect = [this](int connection, bool opened) { connects.emplace_back(connection, opened); };
        keeper->SuspendedClock = [this] { return suspended; };
    }

    // The device of a connection goes; the driver's next tick finds it.
    void Vanish(int connection) {
        ports[ConnectionIndex(connection)]->gone = true;
        drivers[ConnectionIndex(connection)]->PollTick();
    }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) keeper->Tick();
    }

    ManualClock clock{5000};
    RecordingSink sink;
    FakePort* ports[2] = {};
    std::unique_ptr<TSerialPortDriver> drivers[2];
    std::unique_ptr<ConnectionKeeper> keeper;
    std::vector<std::pair<int, bool>> links;
    std::vector<std::pair<int, bool>> connects;
    uint64_t suspended = 0;
};

TEST_F(Keeper, ConnectNotesSuccessAndReportsAFailureWithItsReason) {
    sink.screenMessages = true;
    ports[1]->openSucceeds = false;
    ports[1]->openFailure = PortOpenFailure{PortOpenError::NoPermission, EACCES, "dialout"};
    testing::internal::CaptureStderr();
    EXPECT_TRUE(keeper->Connect(1));
    EXPECT_FALSE(keeper->Connect(2));
    const std::string stderrText = testing::internal::GetCapturedStderr();

    const std::string reason = "соединение 2: /dev/ttyS1 - нет прав доступа; пользователь должен входить в группу dialout";
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"соединение 1 состоялось", "соединение 2 не состоялось", reason}));
    // The box shows the message alone, once both lines are in the list.
    EXPECT_EQ(sink.boxes, (std::vector<std::string>{"соединение 2 не состоялось"}));
    EXPECT_EQ(sink.linesWhenBoxOpened, (std::vector<std::size_t>{3}));
    EXPECT_EQ(sink.beeps, (std::vector<BeepKind>{BeepKind::Question}));
    EXPECT_EQ(stderrText, "qel1-agent: " + reason + "\n");
    EXPECT_EQ(connects, (std::vector<std::pair<int, bool>>{{1, true}, {2, false}}));
    EXPECT_TRUE(links.empty());
}

TEST_F(Keeper, APortThatWillNotOpenIsTriedEveryTickQuietlyUntilItOpens) {
    ports[1]->openSucceeds = false;
    EXPECT_FALSE(keeper->Connect(2));
    sink.Clear();
    Ticks(3);
    EXPECT_EQ(ports[1]->opens, 4);
    EXPECT_TRUE(keeper->Lost(2));
    EXPECT_TRUE(sink.lines.empty());

    // The port path is looked up anew at each try: a link that appears later is followed.
    drivers[1]->DevicePathOf = [](TComPortNumber) { return std::string("/dev/serial/by-id/usb-late"); };
    ports[1]->openSucceeds = true;
    keeper->Tick();
    EXPECT_TRUE(drivers[1]->IsConnected());
    EXPECT_FALSE(keeper->Lost(2));
    EXPECT_EQ(ports[1]->openedPath, "/dev/serial/by-id/usb-late");
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"соединение 2 состоялось"}));
    EXPECT_EQ(links, (std::vector<std::pair<int, bool>>{{2, true}}));
    Ticks(2);
    EXPECT_EQ(ports[1]->opens, 5);
}

TEST_F(Keeper, ALossIsReportedOnceAndThePortReopenedWhenTheDeviceReturns) {
    ASSERT_TRUE(keeper->Connect(1));
    sink.Clear();
    Vanish(1);
    Vanish(1);
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"соединение 1 потеряно (/dev/ttyS0)"}));
    EXPECT_EQ(sink.beeps, (std::vector<BeepKind>{BeepKind::Question}));
    EXPECT_TRUE(keeper->Lost(1));
    EXPECT_FALSE(drivers[0]->IsConnected());  // the dead port is closed at once
    EXPECT_EQ(links, (std::vector<std::pair<int, bool>>{{1, false}}));

    // One quiet try per tick while the device is away.
    ports[0]->openSucceeds = false;
    Ticks(4);
    EXPECT_EQ(ports[0]->opens, 5);
    EXPECT_EQ(sink.lines.size(), 1u);

    // Someone set another port on the closed driver meanwhile; the retry uses the held one.
    drivers[0]->SetComPort(pnCOM7);
    drivers[0]->SetComPortSpeed(br9600);
    ports[0]->openSucceeds = true;
    ports[0]->purges.clear();
    keeper->Tick();
    EXPECT_TRUE(drivers[0]->IsConnected());
    EXPECT_FALSE(keeper->Lost(1));
    EXPECT_EQ(ports[0]->openedPath, "/dev/ttyS0");
    EXPECT_EQ(drivers[0]->ComPortSpeed(), br4800);
    ASSERT_FALSE(ports[0]->purges.empty());
    EXPECT_EQ(ports[0]->purges.back(), std::make_pair(true, true));
    EXPECT_EQ(sink.lines.back(), "соединение 1 восстановлено");
    EXPECT_EQ(links.back(), std::make_pair(1, true));

    // Back to normal: no more opens, and a second loss is told again.
    Ticks(3);
    EXPECT_EQ(ports[0]->opens, 6);
    Vanish(1);
    EXPECT_EQ(sink.lines.back(), "соединение 1 потеряно (/dev/ttyS0)");
    EXPECT_EQ(sink.beeps.size(), 2u);
}

TEST_F(Keeper, DisconnectEndsTheRetriesAnApplyThatFailsGoesOnWithItsSettings) {
    ASSERT_TRUE(keeper->Connect(1));
    ASSERT_TRUE(keeper->Connect(2));
    Vanish(1);
    Vanish(2);
    ports[0]->openSucceeds = false;
    ports[1]->openSucceeds = false;

    // Accept closes the ports first: connection 1 is no longer retried.
    keeper->Disconnect(1);
    EXPECT_FALSE(keeper->Lost(1));
    const int opens1 = ports[0]->opens;
    Ticks(2);
    EXPECT_EQ(ports[0]->opens, opens1);

    // Cancel applies without closing: the same port and speed go on being retried...
    EXPECT_FALSE(keeper->Connect(2));
    EXPECT_TRUE(keeper->Lost(2));
    int opens2 = ports[1]->opens;
    keeper->Tick();
    EXPECT_EQ(ports[1]->opens, opens2 + 1);
    // ...and after an apply with another speed, retries use the new one.
    drivers[1]->SetComPortSpeed(br4800);
    EXPECT_FALSE(keeper->Connect(2));
    EXPECT_TRUE(keeper->Lost(2));
    drivers[1]->SetComPortSpeed(br9600);
    ports[1]->openSucceeds = true;
    keeper->Tick();
    EXPECT_TRUE(drivers[1]->IsConnected());
    EXPECT_EQ(drivers[1]->ComPortSpeed(), br4800);

    // An apply that opens a lost port brings the link back at once.
    ports[0]->openSucceeds = true;
    ASSERT_TRUE(keeper->Connect(1));
    Vanish(1);
    links.clear();
    EXPECT_TRUE(keeper->Connect(1));
    EXPECT_FALSE(keeper->Lost(1));
    EXPECT_EQ(links, (std::vector<std::pair<int, bool>>{{1, true}}));
}

TEST_F(Keeper, AfterAResumeHeldPortsAreReopenedAndOneThatWillNotOpenIsLost) {
    ASSERT_TRUE(keeper->Connect(1));
    ASSERT_TRUE(keeper->Connect(2));
    sink.Clear();
    keeper->Tick();  // the first reading
    suspended += ConnectionKeeper::kResumeJumpMs;  // a slip of the clocks, not a sleep
    keeper->Tick();
    EXPECT_EQ(ports[0]->opens, 1);

    suspended += 60000;  // a minute asleep
    ports[1]->openSucceeds = false;
    keeper->Tick();
    EXPECT_EQ(ports[0]->opens, 2);
    EXPECT_EQ(ports[0]->closes, 1);
    EXPECT_TRUE(drivers[0]->IsConnected());
    EXPECT_FALSE(keeper->Lost(1));
    EXPECT_TRUE(keeper->Lost(2));
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"соединение 2 потеряно (/dev/ttyS1)"}));

    ports[1]->openSucceeds = true;
    keeper->Tick();
    EXPECT_TRUE(drivers[1]->IsConnected());
    EXPECT_EQ(sink.lines.back(), "соединение 2 восстановлено");
}

TEST_F(Keeper, APortItDoesNotHoldIsLeftAsTheDriverHasIt) {
    ASSERT_TRUE(drivers[0]->Connect());  // opened past the keeper
    Vanish(1);
    EXPECT_TRUE(drivers[0]->IsConnected());
    EXPECT_FALSE(keeper->Lost(1));
    EXPECT_TRUE(sink.lines.empty());
    // A held port closed by someone else is simply no longer held.
    ASSERT_TRUE(keeper->Connect(2));
    drivers[1]->Disconnect();
    keeper->Tick();
    ASSERT_TRUE(drivers[1]->Connect());
    Vanish(2);
    EXPECT_TRUE(drivers[1]->IsConnected());
    EXPECT_FALSE(keeper->Lost(2));
}

TEST(PortFailureTextTest, EachReasonHasItsText) {
    struct Case {
        PortOpenFailure failure;
        std::string text;
    };
    const std::vector<Case> cases{
        {{PortOpenError::Missing, ENOENT, {}}, "нет такого устройства"},
        {{PortOpenError::NoPermission, EACCES, "uucp"}, "нет прав доступа; пользователь должен входить в группу uucp"},
        {{PortOpenError::NoPermission, EACCES, {}},
         "нет прав доступа; пользователь должен входить в группу владельца устройства (обычно dialout)"},
        {{PortOpenError::Busy, EWOULDBLOCK, {}}, "порт занят другой программой"},
        {{PortOpenError::NotTerminal, ENOTTY, {}}, "это не последовательный порт"},
        {{PortOpenError::Other, EMFILE, {}}, "ошибка системы: Too many open files"},
        {{PortOpenError::Other, 0, {}}, "причина неизвестна"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PortFailureText(2, "/dev/serial/by-id/usb-FTDI", c.failure), "соединение 2: /dev/serial/by-id/usb-FTDI - " + c.text);
    EXPECT_EQ(PortFailureText(1, "", cases[0].failure), "соединение 1: ? - нет такого устройства");
}

}  // namespace
}  // namespace qel::test
