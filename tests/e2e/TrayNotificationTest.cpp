// The whole program on a desktop of its own (a virtual display with a notification area
// and a notification service on a private session bus) and a QEL-1 simulated on a
// pseudo-terminal behind a link: the tray icon's state and hint, and the notifications,
// as the device is pulled and plugged in again and as the data file fails.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AgentRig.h"
#include "DesktopSession.h"
#include "Qel1Samples.h"
#include "Simulator.h"
#include "TestFiles.h"
#include "Waits.h"

namespace qel::test {
namespace {

namespace fs = std::filesystem;


class TrayNotifications : public AgentRig {
protected:
    void SetUp() override {
        const std::string missing = DesktopSession::MissingTool();
        if (!missing.empty()) GTEST_SKIP() << "no " << missing << " on this machine";
        AgentRig::SetUp();
        fs::create_directory(root_ / "desktop");
        desktop = std::make_unique<DesktopSession>(root_ / "desktop");
        std::string why;
        ASSERT_TRUE(desktop->Start(why)) << why;
    }
    void TearDown() override {
        AgentRig::TearDown();
        desktop.reset();
    }

    void Start(const std::vector<std::string>& keys) {
        WriteIni(folder + "/QEL1_Agent.ini", SettingsLines({Link()}, keys));
        auto env = desktop->Environment();
        env.insert({{"XDG_RUNTIME_DIR", runtime},
                    {"LANG", "ru_RU.UTF-8"},
                    {"LC_ALL", ""},
                    {"QT_QPA_PLATFORM", ""},
                    {"QT_LOGGING_RULES", "qel.tray.info=true;qel.notify.info=true"}});
        StartAgent(env);
    }
    // The tray lines the program wrote, each one a change of the icon's state or its hint.
    std::vector<std::string> TrayLines() const {
        std::vector<std::string> lines;
        const std::string log = agent->Log();
        std::size_t at = 0;
        while ((at = log.find("qel.tray: state ", at)) != std::string::npos) {
            const std::size_t end = log.find('\n', at);
            lines.push_back(log.substr(at, end - at));
            at = end;
        }
        return lines;
    }
    std::string LastTrayLine() const {
        const auto lines = TrayLines();
        return lines.empty() ? std::string() : lines.back();
    }
    std::string Line(const std::string& state) const {
        return "Соединение 1, COM1 (" + Link() + "), КЭЛ-1: " + state;
    }
    bool WaitTray(const std::string& level, const std::string& state, int timeoutMs) {
        return PollUntil(
            [&] {
                const std::string last = LastTrayLine();
                return last.rfind("qel.tray: state " + level + " ", 0) == 0 && last.find(Line(state)) != std::string::npos;
            },
            timeoutMs, 5);
    }
    int Count(const std::string& text) const {
        int n = 0;
        for (const std::string& line : TrayLines()) n += line.find(text) != std::string::npos ? 1 : 0;
        return n;
    }

    std::unique_ptr<DesktopSession> desktop;
};

const std::string kLostNotice = ": устройство отключено, программа ждёт его возвращения";
const std::string kBackNotice = ": устройство снова на связи";

TEST_F(TrayNotifications, AnUnpluggedDeviceChangesIconAndHintAtOnceAndItsReturnRestoresThem) {
    Plug();
    Start({"Con1check=1", "Con1numCOM=1", "Con1Speed=1", "Con1QELType=0", "Con2check=0", "Con2QELType=0"});
    ASSERT_TRUE(HoldsDevice(kStartMs)) << agent->Log();
    ASSERT_TRUE(WaitTray("well", "на связи, записей ещё не было", 5000)) << agent->Log();
    // The icon sits in the notification area, not in a fallback window.
    EXPECT_EQ(agent->Log().find("Настройка КЭЛ1-Агент —"), std::string::npos);

    const auto pulled = std::chrono::steady_clock::now();
    device.reset();
    ASSERT_TRUE(WaitTray("waiting", "ожидание устройства: отключено, записей ещё не было", 2000)) << agent->Log();
    EXPECT_LT(std::chrono::steady_clock::now() - pulled, std::chrono::milliseconds(2000));
    const std::string name = "Соединение 1, COM1 (" + Link() + ")";
    ASSERT_TRUE(PollUntil([&] { return desktop->Notifications(name + kLostNotice) == 1; }, 2000)) << desktop->NotifyLog();

    Plug();
    ASSERT_TRUE(WaitTray("well", "на связи, записей ещё не было", 3000)) << agent->Log();
    ASSERT_TRUE(PollUntil([&] { return desktop->Notifications(name + kBackNotice) == 1; }, 2000)) << desktop->NotifyLog();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(desktop->Notifications(name + kLostNotice), 1);
    EXPECT_EQ(desktop->Notifications(name + kBackNotice), 1);
    EXPECT_EQ(desktop->Notifications("Соединение 1"), 2) << desktop->NotifyLog();
    EndCleanly();
}

TEST_F(TrayNotifications, ARecordThatCannotBeWrittenShowsTheFileCannotBeWritten) {
    Plug();
    Start({"Con1check=1", "Con1numCOM=1", "Con1Speed=1", "Con1QELType=0", "Con2check=0", "Con2QELType=0",
           "SaveFile=" + (root_ / "no-such-folder") + "/Data.qel"});
    ASSERT_TRUE(HoldsDevice(kStartMs)) << agent->Log();
    ASSERT_TRUE(WaitTray("well", "на связи, записей ещё не было", 5000)) << agent->Log();

    device->SendPacket(Qel1Sample(3, 1, {8, 15}, {8, 12, 26}, 7, 0));
    ASSERT_TRUE(WaitTray("cannot-write", "файл данных недоступен, записей ещё не было", 4000)) << agent->Log();
    const std::string name = "Соединение 1, COM1 (" + Link() + ")";
    ASSERT_TRUE(PollUntil(
        [&] { return desktop->Notifications(name + ": запись не сделана, файл данных недоступен") == 1; }, 2000))
        << desktop->NotifyLog();
    EndCleanly();
}

TEST_F(TrayNotifications, TwentyUnplugCyclesInAMinuteGiveAtMostTwoNotifications) {
    Plug();
    Start({"Con1check=1", "Con1numCOM=1", "Con1Speed=1", "Con1QELType=0", "Con2check=0", "Con2QELType=0"});
    ASSERT_TRUE(HoldsDevice(kStartMs)) << agent->Log();
    ASSERT_TRUE(WaitTray("well", "на связи, записей ещё не было", 5000)) << agent->Log();

    const auto begin = std::chrono::steady_clock::now();
    const std::string lost = Line("ожидание устройства: отключено");
    for (int cycle = 1; cycle <= 20; ++cycle) {
        SCOPED_TRACE(cycle);
        device.reset();
        ASSERT_TRUE(PollUntil([&] { return Count(lost) == cycle; }, 3000, 5)) << agent->Log();
        Plug();
        ASSERT_TRUE(WaitTray("well", "на связи", 3000)) << agent->Log();
        ASSERT_TRUE(HoldsDevice(2000, 100));
    }
    const auto took = std::chrono::steady_clock::now() - begin;
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_LT(took, std::chrono::seconds(55)) << "the cycles took too long to fall within one minute";
    EXPECT_LE(desktop->Notifications("Соединение 1"), 2) << desktop->NotifyLog();
    EXPECT_GE(desktop->Notifications("Соединение 1"), 1) << desktop->NotifyLog();
    EndCleanly();
}

}  // namespace
}  // namespace qel::test
