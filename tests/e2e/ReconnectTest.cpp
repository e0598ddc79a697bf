// The whole program and a QEL-1 whose adapter is pulled and plugged in again behind the
// same symbolic link: the built qel1-agent in a folder of its own, the device simulated on
// a pseudo-terminal. Without the program's reconnect the second packet is never filed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "AgentRig.h"
#include "Qel1Samples.h"
#include "Simulator.h"
#include "TestFiles.h"
#include "Waits.h"

namespace qel::test {
namespace {

namespace fs = std::filesystem;

const std::string kBox = "qel.dialogs: information | Information | ";


class Reconnect : public AgentRig {
protected:
    void Start(const std::vector<std::string>& ports, const std::vector<std::string>& keys) {
        WriteIni(folder + "/QEL1_Agent.ini", SettingsLines(ports, keys));
        StartAgent({{"QT_QPA_PLATFORM", "offscreen"},
                    {"XDG_RUNTIME_DIR", runtime},
                    {"LC_ALL", "C"},
                    {"QT_LOGGING_RULES", "qel.dialogs.info=true"}});
    }
    std::string DataFile() const { return ReadBytes(folder + "/Data.qel"); }
    bool WaitForData(const std::string& text, int timeoutMs = 8000) {
        return PollUntil([&] { return DataFile() == text; }, timeoutMs);
    }
    static Qel1Fields Record(uint16_t number) { return Qel1Sample(3, number, {8, 15}, {8, 12, 26}, 7, 25); }
};

TEST_F(Reconnect, Qel1BehindALinkIsReopenedAfterItsAdapterReturnsAndFilesOnInOrder) {
    Plug();
    // Connection 2 at the link; screen messages on, so the loss shows as a box that nobody
    // answers, and everything after it happens under that box.
    Start({root_ / "no-device", Link()}, {"Con1check=0", "Con2check=1", "Con2numCOM=2", "Con2Speed=1",
                                          "Con1QELType=0", "Con2QELType=0", "ScreenMessages=1"});
    ASSERT_TRUE(HoldsDevice(kStartMs)) << agent->Log();
    const std::string lineA = "00003 00001 08:15 08/12/26 00007.250\r\n";
    const std::string lineB = "00003 00002 08:15 08/12/26 00007.250\r\n";
    device->SendPacket(Record(1));
    ASSERT_TRUE(WaitForData(lineA)) << DataFile();

    const std::string oldTerminal = device->Path();
    device.reset();  // pulled: the line hangs up and the link goes
    ASSERT_TRUE(agent->WaitLog(kBox + "соединение 2 потеряно (" + Link() + ") | OK", 5000)) << agent->Log();
    ASSERT_TRUE(PollUntil([&] { return !agent->HoldsOpen(oldTerminal); }, 2000));

    // While the device is away the program sleeps between its tries.
    const long cpu0 = ProcessCpuMs(agent->Pid());
    const auto wall0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const long cpu = ProcessCpuMs(agent->Pid()) - cpu0;
    const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - wall0).count();
    std::cout << "CPU while the device is lost: " << cpu << " ms in " << wall << " ms\n";
    RecordProperty("lost_cpu_ms", static_cast<int>(cpu));
    EXPECT_LT(cpu * 100, wall * 2);  // under 2 % of a core

    // Plugged in again: a new terminal behind the same link, opened within two seconds.
    Plug();
    ASSERT_TRUE(HoldsDevice(2000)) << "the program did not reopen the returned device\n" << agent->Log();
    device->SendPacket(Record(2));
    ASSERT_TRUE(WaitForData(lineA + lineB)) << DataFile();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(DataFile(), lineA + lineB);

    EndCleanly();
}

TEST_F(Reconnect, PortsThatOpenLateAtStartAreOpenedAndFileWhatFollows) {
    // Connection 1: a port that another program holds for 2.5 s after the start.
    std::string error;
    std::unique_ptr<Simulator> held = Simulator::CreatePty(root_ / "ttyHeld", error);
    ASSERT_TRUE(held) << error;
    const int holder = ::open(held->Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    // Connection 2: a by-id link that appears 3 s after the start.
    Start({held->Path(), Link()}, {"Con1check=1", "Con2check=1", "Con1numCOM=1", "Con2numCOM=2", "Con1Speed=1",
                                   "Con2Speed=1", "Con1QELType=0", "Con2QELType=0", "ScreenMessages=0"});
    ASSERT_TRUE(agent->WaitLog("соединение 1: " + held->Path() + " - ", kStartMs)) << agent->Log();
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_until(started + std::chrono::milliseconds(2500));
    ::close(holder);
    std::this_thread::sleep_until(started + std::chrono::milliseconds(3000));
    Plug();

    ASSERT_TRUE(PollUntil([&] { return agent->HoldsOpen(held->Path()); }, 3000, 5)) << agent->Log();
    ASSERT_TRUE(HoldsDevice(3000)) << agent->Log();
    held->SendPacket(Record(1));
    const std::string lineA = "00003 00001 08:15 08/12/26 00007.250\r\n";
    ASSERT_TRUE(WaitForData(lineA)) << DataFile() << agent->Log();
    device->SendPacket(Record(2));
    ASSERT_TRUE(WaitForData(lineA + "00003 00002 08:15 08/12/26 00007.250\r\n")) << DataFile();

    EndCleanly();
    // Each failure was told once; the later opens were noted.
    const std::string log = agent->Log();
    const std::string missing = "qel1-agent: соединение 2: " + Link() + " - нет такого устройства\n";
    EXPECT_EQ(log.find(missing), log.rfind(missing)) << log;
    EXPECT_NE(log.find(missing), std::string::npos) << log;
}

TEST_F(Reconnect, APortThatWillNotOpenTellsWhyInTheTerminalOnce) {
    WriteBytes(root_ / "plain", "no terminal");
    Start({root_ / "no-device", root_ / "plain"},
          {"Con1check=1", "Con2check=1", "Con1numCOM=1", "Con2numCOM=2", "ScreenMessages=0"});
    const std::string missing = "qel1-agent: соединение 1: " + (root_ / "no-device") + " - нет такого устройства\n";
    const std::string plain = "qel1-agent: соединение 2: " + (root_ / "plain") + " - это не последовательный порт\n";
    ASSERT_TRUE(agent->WaitLog(plain, kStartMs)) << agent->Log();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the quiet retries tell nothing
    const std::string log = agent->Log();
    EXPECT_NE(log.find(missing), std::string::npos) << log;
    EXPECT_EQ(log.find(missing), log.rfind(missing));
    EXPECT_EQ(log.find(plain), log.rfind(plain));
    EndCleanly();
}

}  // namespace
}  // namespace qel::test
