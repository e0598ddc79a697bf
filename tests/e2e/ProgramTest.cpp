// The whole program: the built qel1-agent copied into a folder with its INI, its ports
// mapped to two simulated QEL-1 devices on pseudo-terminals, run headless, and ended
// with SIGTERM as a session's end would.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "AgentProcess.h"
#include "Cp1251.h"
#include "Qel1Samples.h"
#include "SimDiBusDevice.h"
#include "Simulator.h"
#include "TestFiles.h"
#include "Waits.h"

#ifndef QEL_AGENT_PROGRAM
#error "QEL_AGENT_PROGRAM must name the built program"
#endif

namespace qel::test {
namespace {

namespace fs = std::filesystem;

const std::string kNoteBox = "qel.dialogs: information | Information | ";
const char* const kNotAccessibleText = "Ошибка при записи данных в файл, файл не доступен";
const std::vector<std::string> kKeyOrder{"Con1check", "Con2check", "Con1numCOM", "Con2numCOM", "Con1Speed",
                                         "Con2Speed", "Con1QELType", "Con2QELType", "GetLastRecordIfError",
                                         "ScreenMessages", "Rewrite", "MultyFiles", "SaveFile", "Name1", "Name2"};
constexpr int kStartMs = 15000;  // a sanitizer build starts slowly
constexpr int kEndMs = 10000;

// The key=value lines of the program's section, in file order.
std::vector<std::pair<std::string, std::string>> ProgramKeys(const std::string& ini) {
    return IniSection(ini, "QEL1_Agent");
}

class WholeProgram : public ::testing::Test {
private:
    TempFolder root_;  // declared first: removed after the agents and devices that use it

protected:
    void SetUp() override {
        folder = root_ / "agent";
        runtime = root_ / "run";
        fs::create_directory(folder);
        fs::create_directory(runtime);
        ::chmod(runtime.c_str(), 0700);
        program = folder + "/qel1-agent";
        fs::copy_file(QEL_AGENT_PROGRAM, program);
        for (int n = 1; n <= 2; ++n) {
            std::string error;
            devices.push_back(Simulator::CreatePty(DevicePath(n), error));
            ASSERT_TRUE(devices.back()) << error;
        }
    }

    void TearDown() override {
        agents.clear();  // kills and reaps whatever still runs
        devices.clear();
    }

    std::string IniPath() const { return folder + "/QEL1_Agent.ini"; }
    std::string DevicePath(int n) const { return root_ / ("ttyQEL" + std::to_string(n)); }

    void WriteIni(const std::vector<std::string>& keys) {
        test::WriteIni(IniPath(), SettingsLines({DevicePath(1), DevicePath(2)}, keys));
    }

    AgentProcess& StartAgent(std::map<std::string, std::string> environment = {}) {
        environment.emplace("QT_QPA_PLATFORM", "offscreen");
        environment.emplace("XDG_RUNTIME_DIR", runtime);
        environment.emplace("LC_ALL", "C");
        environment.emplace("QT_LOGGING_RULES", "qel.dialogs.info=true");
        agents.push_back(std::make_unique<AgentProcess>());
        const std::string log = root_ / ("agent-" + std::to_string(agents.size()) + ".log");
        EXPECT_TRUE(agents.back()->Start(program, folder, log, environment));
        return *agents.back();
    }

    // The program has opened the device's port, and had the time to set it up and empty
    // its queues (bytes sent before that are dropped, as on a real line). On a loaded
    // machine the set-up can lag the open by well over half a second.
    bool Holds(AgentProcess& agent, int device, int timeoutMs = kStartMs) {
        if (!PollUntil([&] { return agent.HoldsOpen(Device(device).Path()); }, timeoutMs)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        return true;
    }

    Simulator& Device(int n) { return *devices[static_cast<std::size_t>(n - 1)]; }

    std::string DataFile() const { return ReadBytes(folder + "/Data.qel"); }
    bool WaitForData(const std::string& line, int timeoutMs = 8000) {
        return PollUntil([&] { return DataFile().find(line + "\r\n") != std::string::npos; }, timeoutMs);
    }

    void EndWithSigterm(AgentProcess& agent) {
        agent.Signal(SIGTERM);
        ASSERT_TRUE(agent.WaitExit(kEndMs)) << "the program did not end on SIGTERM";
        EXPECT_TRUE(agent.ExitedCleanly()) << "status " << agent.Status() << "\n" << agent.Log();
    }

    std::set<std::string> FolderListing() const { return TempFolder::Entries(folder); }

    std::string folder;
    std::string runtime;
    std::string program;
    std::vector<std::unique_ptr<Simulator>> devices;
    std::vector<std::unique_ptr<AgentProcess>> agents;
};

TEST(ProgramFolder, ReadmeBesideTheProgramIsInTheProgramsOwnText) {
    const std::string readme = ReadBytes(QEL_AGENT_README);
    ASSERT_FALSE(readme.empty());
    // Code page 1251 with CR LF: every line end is CR LF, and the Russian text reads back.
    for (std::size_t i = readme.find('\n'); i != std::string::npos; i = readme.find('\n', i + 1))
        ASSERT_TRUE(i > 0 && readme[i - 1] == '\r') << "a bare LF at byte " << i;
    EXPECT_NE(readme.find(Utf8ToCp1251("Порты в Linux")), std::string::npos);
    EXPECT_NE(readme.find("COM1=/dev/ttyUSB0\r\n"), std::string::npos);
    EXPECT_EQ(readme.find("\xD0\x9F"), std::string::npos);  // no UTF-8 left ("П")
}

TEST_F(WholeProgram, FilesPacketsOfTwoDevicesThroughNoiseAndSavesItsSettingsOnSigterm) {
    WriteIni({"Con1check=1", "Con2check=1", "Con1numCOM=1", "Con2numCOM=2", "Con1Speed=0", "Con2Speed=1"});
    const std::string portsSection = ReadBytes(IniPath()).substr(0, ReadBytes(IniPath()).find("[QEL1_Agent]"));
    AgentProcess& agent = StartAgent();
    ASSERT_TRUE(Holds(agent, 1)) << agent.Log();
    ASSERT_TRUE(Holds(agent, 2)) << agent.Log();

    // Without regional settings (LC_ALL=C) the separators are ":", "/" and ".".
    Device(1).SendBytes(kExamplePacket);
    ASSERT_TRUE(WaitForData("00007 00300 09:45 31/12/05 00012.500")) << DataFile();
    Device(2).SendPacket(Qel1Sample(2, 41, {23, 59}, {9, 10, 26}, 65535, 255));
    ASSERT_TRUE(WaitForData("00002 00041 23:59 09/10/26 65535.255")) << DataFile();

    // Noise and bad packets on both lines, each on its own: all refused, and the program
    // goes on. Connection 1 waits 200 ms for the rest of a short block, connection 2 two seconds.
    const auto sendAlone = [&](int device, const std::string& bytes, int settleMs, const SendOptions& options = {}) {
        Device(device).SendBytes(bytes, options);
        ASSERT_TRUE(Device(device).WaitIdle(5000));
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    };
    std::string badChecksum = kExamplePacket;
    badChecksum[14] = '\x00';
    std::string deviceError = kExamplePacket;
    deviceError[13] = '\x07';
    deviceError[14] = '\xE2';
    sendAlone(1, std::string("\x13\x37\x00\xFF\x42\x42\x42", 7), 400);
    sendAlone(1, badChecksum, 300);
    sendAlone(1, kExamplePacket + badChecksum, 300);
    sendAlone(1, deviceError, 300);
    sendAlone(2, std::string(40, '\xA5'), 800);
    sendAlone(2, kExamplePacket, 2600, SendOptions{{10}, 100, {}});  // in two pieces: joined
    ASSERT_TRUE(agent.Running()) << agent.Log();

    Device(1).SendPacket(Qel1Sample(2, 42, {23, 59}, {9, 10, 26}, 65535, 255));
    ASSERT_TRUE(WaitForData("00002 00042 23:59 09/10/26 65535.255")) << DataFile();
    // Only the good packets were filed, the one that came in two pieces among them.
    EXPECT_EQ(DataFile(),
              "00007 00300 09:45 31/12/05 00012.500\r\n"
              "00002 00041 23:59 09/10/26 65535.255\r\n"
              "00007 00300 09:45 31/12/05 00012.500\r\n"
              "00002 00042 23:59 09/10/26 65535.255\r\n");
    EXPECT_EQ(agent.Log().find(kNoteBox), std::string::npos);  // no boxes: screen messages are off

    EndWithSigterm(agent);
    const auto keys = ProgramKeys(IniPath());
    std::vector<std::string> names;
    for (const auto& key : keys) names.push_back(key.first);
    std::vector<std::string> sortedNames = names, sortedExpected = kKeyOrder;
    std::sort(sortedNames.begin(), sortedNames.end());
    std::sort(sortedExpected.begin(), sortedExpected.end());
    EXPECT_EQ(sortedNames, sortedExpected);
    EXPECT_EQ(keys.size(), 15u);
    EXPECT_EQ(ReadBytes(IniPath()).substr(0, portsSection.size()), portsSection);
    EXPECT_FALSE(agent.HoldsOpen(Device(1).Path()));
}

TEST_F(WholeProgram, WritesTheFifteenKeysInOrderWhenItEndsWithoutASettingsFile) {
    AgentProcess& agent = StartAgent();
    // The lock is taken after the signal handlers are in place.
    ASSERT_TRUE(PollUntil([&] { return fs::exists(runtime + "/QEL1Monitor"); }, kStartMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(agent.Running()) << agent.Log();
    EXPECT_FALSE(fs::exists(IniPath()));  // nothing is written while it runs
    EndWithSigterm(agent);
    std::vector<std::string> names;
    for (const auto& key : ProgramKeys(IniPath())) names.push_back(key.first);
    EXPECT_EQ(names, kKeyOrder);
}

TEST_F(WholeProgram, RecordLineFollowsTheUsersRegionalSettings) {
    // A Russian locale made for this test only, where the system can make one.
    const std::string locales = folder + "/../locales";
    fs::create_directory(locales);
    const std::string command = "localedef -i ru_RU -f UTF-8 '" + locales + "/ru_RU.UTF-8' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !fs::exists(locales + "/ru_RU.UTF-8"))
        GTEST_SKIP() << "this system cannot make a ru_RU locale";
    WriteIni({"Con1check=1", "Con1numCOM=1", "Con1Speed=0"});
    // With LOCPATH set, the C library's newlocale keeps its copy of the path (made with
    // argz_add_sep) for good; a leak checker in the program is told that this one is not
    // the program's.
    const std::string suppressions = locales + "/leaks.supp";
    std::ofstream(suppressions) << "leak:__newlocale\nleak:__argz_add_sep\n";
    std::string leakOptions = "suppressions=" + suppressions;
    if (const char* given = std::getenv("LSAN_OPTIONS")) leakOptions = std::string(given) + ":" + leakOptions;
    AgentProcess& agent =
        StartAgent({{"LC_ALL", "ru_RU.UTF-8"}, {"LOCPATH", locales}, {"LSAN_OPTIONS", leakOptions}});
    ASSERT_TRUE(Holds(agent, 1)) << agent.Log();
    Device(1).SendBytes(kExamplePacket);
    EXPECT_TRUE(WaitForData("00007 00300 09:45 31.12.05 00012,500")) << DataFile();
    EndWithSigterm(agent);
}

TEST_F(WholeProgram, SecondStartShowsItsMessageAndTouchesNothing) {
    WriteIni({"Con1check=1", "Con1numCOM=1"});
    AgentProcess& first = StartAgent();
    ASSERT_TRUE(Holds(first, 1)) << first.Log();
    const std::string iniBefore = ReadBytes(IniPath());
    const auto listingBefore = FolderListing();

    AgentProcess& second = StartAgent();
    ASSERT_TRUE(second.WaitLog(kNoteBox + "Одна копия программы \"QEL-1 Агент\" уже запущена | Cancel", kStartMs))
        << second.Log();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(second.Running());  // the box waits for its answer
    EXPECT_FALSE(second.HoldsOpen(Device(1).Path()));
    EXPECT_FALSE(second.HoldsOpen(Device(2).Path()));
    // One box and nothing else: no settings window, no other dialog.
    const std::string secondLog = second.Log();
    EXPECT_EQ(secondLog.find("qel.dialogs:"), secondLog.rfind("qel.dialogs:"));

    // A termination signal ends the waiting copy at once; a refused copy exits with 1.
    second.Signal(SIGTERM);
    ASSERT_TRUE(second.WaitExit(kEndMs)) << "the second copy did not end on SIGTERM";
    EXPECT_TRUE(WIFEXITED(second.Status()) && WEXITSTATUS(second.Status()) == 1) << "status " << second.Status();
    EXPECT_EQ(ReadBytes(IniPath()), iniBefore);
    EXPECT_EQ(FolderListing(), listingBefore);

    // The first runs on untouched.
    ASSERT_TRUE(first.Running());
    EXPECT_TRUE(first.HoldsOpen(Device(1).Path()));
    Device(1).SendBytes(kExamplePacket);
    EXPECT_TRUE(WaitForData("00007 00300 09:45 31/12/05 00012.500")) << DataFile();
    EndWithSigterm(first);

    // Once the first has ended, the next start runs normally.
    AgentProcess& third = StartAgent();
    ASSERT_TRUE(Holds(third, 1)) << third.Log();
    EXPECT_EQ(third.Log().find(kNoteBox), std::string::npos);
    EndWithSigterm(third);
}

// A guard that cannot be set up does not stop the program: it runs as the first copy,
// says why, and files records. Here a link stands at the lock's path; it is not followed.
TEST_F(WholeProgram, ALinkAtTheLocksPathLeavesTheCheckUnsetAndTheProgramRuns) {
    WriteIni({"Con1check=1", "Con1numCOM=1"});
    const std::string lock = runtime + "/QEL1Monitor";
    fs::create_symlink(runtime + "/elsewhere", lock);
    AgentProcess& agent = StartAgent();
    ASSERT_TRUE(agent.WaitLog("Не удаётся проверить, не запущена ли уже другая копия программы \"QEL-1 "
                              "Агент\": файл блокировки " + lock + " - символическая ссылка",
                              kStartMs))
        << agent.Log();
    ASSERT_TRUE(Holds(agent, 1)) << agent.Log();
    Device(1).SendBytes(kExamplePacket);
    EXPECT_TRUE(WaitForData("00007 00300 09:45 31/12/05 00012.500")) << DataFile();
    EXPECT_EQ(agent.Log().find(kNoteBox), std::string::npos) << agent.Log();
    EndWithSigterm(agent);
    EXPECT_FALSE(fs::exists(runtime + "/elsewhere"));
    EXPECT_TRUE(fs::is_symlink(lock));
}

// No runtime folder and a home in which nothing can be made (a kiosk, su or ssh
// sessions): no place for the lock at all, and the program runs and files.
TEST_F(WholeProgram, WithNoPlaceForTheLockTheProgramRunsAndFiles) {
    const std::string userRuntime = "/run/user/" + std::to_string(::geteuid());
    struct stat st {};
    if (::stat(userRuntime.c_str(), &st) == 0)
        GTEST_SKIP() << userRuntime << " exists on this machine: the lock always has a place";
    WriteIni({"Con1check=1", "Con1numCOM=1"});
    // A file as home: no folder can be made in it, also by root.
    const std::string home = folder + "/home-is-a-file";
    WriteBytes(home, "");
    AgentProcess& agent = StartAgent({{"XDG_RUNTIME_DIR", ""}, {"HOME", home}});
    ASSERT_TRUE(agent.WaitLog("Не удаётся проверить, не запущена ли уже другая копия программы \"QEL-1 "
                              "Агент\": нет папки для файла блокировки",
                              kStartMs))
        << agent.Log();
    ASSERT_TRUE(Holds(agent, 1)) << agent.Log();
    Device(1).SendBytes(kExamplePacket);
    EXPECT_TRUE(WaitForData("00007 00300 09:45 31/12/05 00012.500")) << DataFile();
    EndWithSigterm(agent);
    EXPECT_EQ(ProgramKeys(IniPath()).size(), kKeyOrder.size());
}

TEST_F(WholeProgram, OneReportBoxAtATimeAndReceptionGoesOnUnderIt) {
    WriteIni({"Con1check=1", "Con1numCOM=1", "ScreenMessages=1"});
    AgentProcess& agent = StartAgent();
    ASSERT_TRUE(Holds(agent, 1)) << agent.Log();

    std::string badChecksum = kExamplePacket;
    badChecksum[14] = '\x00';
    const std::string crcBox = kNoteBox + "Приняты данные 15 байт, но не совпадает CRC - данные игнорированы | OK";
    Device(1).SendBytes(badChecksum);
    ASSERT_TRUE(agent.WaitLog(crcBox, kStartMs)) << agent.Log();
    // The box stays open: a further bad packet opens no second box, a good one is filed.
    Device(1).SendBytes(badChecksum);
    ASSERT_TRUE(Device(1).WaitIdle(5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Device(1).SendBytes(kExamplePacket);
    ASSERT_TRUE(WaitForData("00007 00300 09:45 31/12/05 00012.500")) << DataFile();
    const std::string log = agent.Log();
    EXPECT_EQ(log.find(crcBox), log.rfind(crcBox)) << log;

    // The session ends with the box still open; the settings are saved all the same.
    EndWithSigterm(agent);
    EXPECT_EQ(ProgramKeys(IniPath()).size(), 15u);
}

TEST_F(WholeProgram, SigtermWhileABoxOfTheStartUpWaitsStillEndsAndSaves) {
    // Both connections on one port: the second fails while the window is being made, and
    // its box waits for an answer that never comes.
    WriteIni({"Con1check=1", "Con2check=1", "Con1numCOM=1", "Con2numCOM=1", "ScreenMessages=1", "Name1=Кабинет 3"});
    AgentProcess& agent = StartAgent();
    ASSERT_TRUE(agent.WaitLog(kNoteBox + "соединение 2 не состоялось | OK", kStartMs)) << agent.Log();
    EndWithSigterm(agent);
    const auto keys = ProgramKeys(IniPath());
    EXPECT_EQ(keys.size(), 15u);
    EXPECT_NE(std::find(keys.begin(), keys.end(), std::make_pair(std::string("Name1"), std::string("Кабинет 3"))),
              keys.end());
}

// A named pipe planted where the data file or the settings file should be: the program
// must neither wait on it for ever (ignoring SIGTERM) nor lose its settings.
TEST_F(WholeProgram, ANamedPipeAtTheDataFilesPathNeitherHangsTheProgramNorTakesTheRecord) {
    WriteIni({"Con1check=1", "Con1numCOM=1", "Con1Speed=0"});
    ASSERT_EQ(::mkfifo((folder + "/Data.qel").c_str(), 0666), 0);
    AgentProcess& agent = StartAgent();
    ASSERT_TRUE(Holds(agent, 1)) << agent.Log();
    Device(1).SendBytes(kExamplePacket);
    ASSERT_TRUE(Device(1).WaitIdle(5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(agent.Running()) << agent.Log();
    EndWithSigterm(agent);
    EXPECT_EQ(ProgramKeys(IniPath()).size(), 15u);
    struct stat st {};
    ASSERT_EQ(::lstat((folder + "/Data.qel").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(WholeProgram, ANamedPipeAtTheSettingsPathNeitherHangsTheStartNorTheEnd) {
    ASSERT_EQ(::mkfifo(IniPath().c_str(), 0666), 0);
    AgentProcess& agent = StartAgent();
    ASSERT_TRUE(PollUntil([&] { return fs::exists(runtime + "/QEL1Monitor"); }, kStartMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_TRUE(agent.Running()) << agent.Log();
    EndWithSigterm(agent);
    struct stat st {};
    ASSERT_EQ(::lstat(IniPath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// Timer1 opens the box that reports the end of a write hold-off, and the box is left open:
// the next hold-off still ends after ten ticks, reception opens again, and the QEL-1M on
// connection 1 is still polled twice a second.
TEST_F(WholeProgram, Timer1TicksOnUnderABoxOpenedFromItsOwnHandler) {
    Device(1).SetType(SimDeviceType::Qel1m);
    WriteIni({"Con1check=1", "Con2check=1", "Con1numCOM=1", "Con2numCOM=2", "Con1Speed=0", "Con2Speed=1",
              "Con1QELType=1", "Con2QELType=0", "ScreenMessages=1", "Rewrite=1", "SaveFile=missing/Data.qel"});
    AgentProcess& agent = StartAgent();
    ASSERT_TRUE(Holds(agent, 1)) << agent.Log();
    ASSERT_TRUE(Holds(agent, 2)) << agent.Log();
    ASSERT_TRUE(Device(1).WaitRequests(kPollCommandCode, 2, 5000)) << agent.Log();

    // The folder is missing: the write fails, and ten ticks later Timer1 reports it in a box.
    Device(2).SendBytes(kExamplePacket);
    ASSERT_TRUE(agent.WaitLog(kNoteBox + std::string(kNotAccessibleText) + " | OK", 10000)) << agent.Log();

    // Under that box: the poll goes on about every 500 ms.
    const unsigned pollsBefore = Device(1).RequestCount(kPollCommandCode);
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    const unsigned polls = Device(1).RequestCount(kPollCommandCode) - pollsBefore;
    EXPECT_GE(polls, 4u);
    EXPECT_LE(polls, 8u);

    // A second failure blocks reception again; the user makes the folder, and once ten
    // more ticks have passed a packet is filed.
    Qel1Fields fields = test::ExampleFields();
    fields.record = 301;
    Device(2).SendPacket(fields);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    fs::create_directory(folder + "/missing");
    const std::string line = "00007 00301 09:45 31/12/05 00012.500\r\n";
    const bool filed = PollUntil(
        [&] {
            Device(2).SendPacket(fields);
            return PollUntil([&] { return ReadBytes(folder + "/missing/Data.qel") == line; }, 1000);
        },
        12000, 0);
    EXPECT_TRUE(filed) << agent.Log();
    // No second box was opened meanwhile.
    const std::string log = agent.Log();
    EXPECT_EQ(log.find(kNoteBox), log.rfind(kNoteBox)) << log;
    EndWithSigterm(agent);
}

// A QEL-1M on connection 2 holds the program only while it answers, some 70 ms of each
// Timer1 tick: packets that a QEL-1 on connection 1 sends every 300 ms are filed one by
// one, in order, while the QEL-1M is polled twice a second.
TEST_F(WholeProgram, AQel1SendingEvery300MsBesideAQel1mOnConnectionTwoLosesNothing) {
    Device(2).SetType(SimDeviceType::Qel1m);
    WriteIni({"Con1check=1", "Con2check=1", "Con1numCOM=1", "Con2numCOM=2", "Con1Speed=0", "Con2Speed=1",
              "Con1QELType=0", "Con2QELType=1"});
    AgentProcess& agent = StartAgent();
    ASSERT_TRUE(Holds(agent, 1)) << agent.Log();
    ASSERT_TRUE(Holds(agent, 2)) << agent.Log();
    ASSERT_TRUE(Device(2).WaitRequests(kPollCommandCode, 1, 8000)) << agent.Log();

    const unsigned pollsBefore = Device(2).RequestCount(kPollCommandCode);
    Qel1Fields fields = test::ExampleFields();
    std::string expected;
    constexpr int kPackets = 20;
    for (int n = 1; n <= kPackets; ++n) {
        fields.record = static_cast<uint16_t>(n);
        Device(1).SendPacket(fields);
        char line[64];
        std::snprintf(line, sizeof line, "00007 %05d 09:45 31/12/05 00012.500\r\n", n);
        expected += line;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    EXPECT_TRUE(PollUntil([&] { return DataFile() == expected; }, 8000)) << DataFile() << agent.Log();
    // 6 s of sending: about twelve polls.
    EXPECT_GE(Device(2).RequestCount(kPollCommandCode) - pollsBefore, 9u);
    EndWithSigterm(agent);
}

TEST_F(WholeProgram, InRewriteModeAReaderPollingEveryMillisecondNeverFindsTheDataFileEmptyOrPartial) {
    WriteIni({"Con1check=1", "Con1numCOM=1", "Con1Speed=0", "Con1QELType=0", "Con2check=0", "Rewrite=1"});
    AgentProcess& agent = StartAgent();
    ASSERT_TRUE(Holds(agent, 1)) << agent.Log();

    // Once the file is there it must always hold one whole record line.
    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, broken{0};
    std::thread reader([&] {
        bool seenOnce = false;
        while (!done) {
            const std::string seen = DataFile();
            seenOnce = seenOnce || !seen.empty();
            if (seenOnce) {
                ++reads;
                if (seen.size() != 38 || seen.compare(36, 2, "\r\n") != 0) ++broken;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    Qel1Fields fields = test::ExampleFields();
    constexpr int kRecords = 100;
    for (int n = 1; n <= kRecords; ++n) {
        fields.record = static_cast<uint16_t>(n);
        Device(1).SendPacket(fields);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    const bool last = PollUntil([&] { return DataFile() == "00007 00100 09:45 31/12/05 00012.500\r\n"; }, 8000);
    done = true;
    reader.join();
    EXPECT_TRUE(last) << DataFile() << agent.Log();
    EXPECT_GT(reads.load(), 1000);
    EXPECT_EQ(broken.load(), 0);
    // No temporary file stays beside it.
    EXPECT_EQ(FolderListing().count("Data.qel"), 1u);
    for (const std::string& name : FolderListing()) EXPECT_EQ(name.find("Data.qel."), std::string::npos) << name;
    EndWithSigterm(agent);
}

// What a QEL-1M's control window shows, seen from outside through the program's log.
class Qel1mOnConnectionTwo : public WholeProgram {
protected:
    static constexpr const char* kShown = "qel.panel: connection 2 | ";

    AgentProcess& Start() {
        Device(2).SetType(SimDeviceType::Qel1m);
        WriteIni({"Con1check=1", "Con2check=1", "Con1numCOM=1", "Con2numCOM=2", "Con1Speed=1", "Con2Speed=1",
                  "Con1QELType=0", "Con2QELType=1"});
        AgentProcess& agent = StartAgent({{"QT_LOGGING_RULES", "qel.dialogs.info=true;qel.panel.info=true"}});
        EXPECT_TRUE(Holds(agent, 2)) << agent.Log();
        return agent;
    }
    // The values the window has shown so far, in order.
    static std::vector<std::string> Shown(const AgentProcess& agent) {
        std::vector<std::string> values;
        const std::string log = agent.Log();
        for (std::size_t at = log.find(kShown); at != std::string::npos; at = log.find(kShown, at + 1)) {
            const std::size_t begin = at + std::string(kShown).size();
            values.push_back(log.substr(begin, log.find('\n', begin) - begin));
        }
        return values;
    }
};

// The device changes its value: the window shows the new one within about 600 ms (a poll
// every 500 ms, each over some 70 ms after the request), time after time.
TEST_F(Qel1mOnConnectionTwo, AChangedValueIsShownWithin600Ms) {
    Device(2).SetValueWord(0x047B);
    AgentProcess& agent = Start();
    ASSERT_TRUE(PollUntil([&] { return !Shown(agent).empty(); }, 8000)) << agent.Log();
    std::vector<long> delays;
    const uint16_t words[] = {0x007B, 0x047B, 0x0100, 0x0200, 0x0300};
    for (uint16_t word : words) {
        const std::size_t before = Shown(agent).size();
        // A change at a random moment of the poll period.
        std::this_thread::sleep_for(std::chrono::milliseconds(100 + 97 * (word % 5)));
        const auto changed = std::chrono::steady_clock::now();
        Device(2).SetValueWord(word);
        ASSERT_TRUE(PollUntil([&] { return Shown(agent).size() > before; }, 5000, 2)) << agent.Log();
        delays.push_back(static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now() - changed)
                                               .count()));
    }
    for (long delay : delays) EXPECT_LE(delay, 700) << "shown only " << delay << " ms after the change";
    EndWithSigterm(agent);
}

// A poll reply of 27 bytes is still no value: a frame sound in itself with 9 data bytes,
// and a good 26-byte reply with one byte more after it. Nothing is shown, however long the
// device goes on answering so; once its replies are right again the value shows.
TEST_F(Qel1mOnConnectionTwo, ATwentySevenByteReplyIsRefused) {
    Device(2).SetReplyLength(kPollCommandCode, 27);
    AgentProcess& agent = Start();
    ASSERT_TRUE(Device(2).WaitRequests(kPollCommandCode, 3, 15000)) << agent.Log();
    Device(2).SetReplyLength(kPollCommandCode, 26);
    Device(2).SetReplySplit({{}, 0, std::string(1, '\0')});
    const unsigned polls = Device(2).RequestCount(kPollCommandCode);
    ASSERT_TRUE(Device(2).WaitRequests(kPollCommandCode, polls + 3, 15000)) << agent.Log();
    EXPECT_TRUE(Shown(agent).empty()) << agent.Log();
    Device(2).SetReplySplit({});
    EXPECT_TRUE(PollUntil([&] { return !Shown(agent).empty(); }, 5000)) << agent.Log();
    EndWithSigterm(agent);
}

// A reply that pauses 10 ms after its header, as one from a USB adapter may, is taken whole.
TEST_F(Qel1mOnConnectionTwo, AReplyThatPauses10MsMidFrameIsAccepted) {
    Device(2).SetReplySplit({{10}, 10, {}});
    Device(2).SetValueWord(0x047B);
    AgentProcess& agent = Start();
    ASSERT_TRUE(PollUntil([&] { return !Shown(agent).empty(); }, 8000)) << agent.Log();
    const std::size_t before = Shown(agent).size();
    Device(2).SetValueWord(0x007B);
    EXPECT_TRUE(PollUntil([&] { return Shown(agent).size() > before; }, 1500)) << agent.Log();
    EndWithSigterm(agent);
}

// A poll reply that pauses after its eleventh byte, longer than the input timeout, leaves
// a tail of 15 bytes after the exchange: with this value word its sum matches as a QEL-1
// packet's would. On a QEL-1M connection such bytes are never a record.
TEST_F(WholeProgram, AQel1mWhoseRepliesPauseMidFrameFilesNoRecord) {
    Device(1).SetType(SimDeviceType::Qel1m);
    Device(1).SetValueWord(0x0800);
    WriteIni({"Con1check=1", "Con1numCOM=1", "Con1Speed=1", "Con1QELType=1", "ScreenMessages=0"});
    AgentProcess& agent = StartAgent();
    ASSERT_TRUE(Device(1).WaitRequests(kPollCommandCode, 1, kStartMs)) << agent.Log();
    const std::string reply =
        BuildDiBusReply(Device(1).Requests().at(0), Device(1).Address(), 0x0800, kPollReplyLength, ReplyCorruption::None);
    unsigned sum = 0;
    for (std::size_t i = 11; i < 25; ++i) sum += static_cast<uint8_t>(reply[i]);
    ASSERT_EQ(static_cast<uint8_t>(sum), static_cast<uint8_t>(reply[25])) << "the tail must look like a packet";

    Device(1).SetReplySplit({{11}, 400, {}});
    const unsigned before = Device(1).RequestCount(kPollCommandCode);
    ASSERT_TRUE(Device(1).WaitRequests(kPollCommandCode, before + 8, 15000)) << agent.Log();
    EXPECT_FALSE(fs::exists(folder + "/Data.qel")) << DataFile();
    EndWithSigterm(agent);
}

// Three pieces 150 ms apart: every gap is under the input timeout, so the packet is joined
// and filed on either connection; a failed write names the lost record at once.
TEST_F(WholeProgram, APacketInThreePiecesIsFiledAndALostOneIsNamedAtOnce) {
    WriteIni({"Con1check=1", "Con2check=1", "Con1numCOM=1", "Con2numCOM=2", "Con1Speed=0", "Con2Speed=1",
              "ScreenMessages=0"});
    AgentProcess& agent = StartAgent();
    ASSERT_TRUE(Holds(agent, 1)) << agent.Log();
    ASSERT_TRUE(Holds(agent, 2)) << agent.Log();
    Qel1Fields fields = test::ExampleFields();
    for (int n = 1; n <= 2; ++n) {
        fields.record = static_cast<uint16_t>(n);
        Device(n).SendPacket(fields, false, SendOptions{{10, 2}, 150, ""});
        char line[64];
        std::snprintf(line, sizeof line, "00007 %05d 09:45 31/12/05 00012.500", n);
        EXPECT_TRUE(WaitForData(line)) << DataFile() << agent.Log();
    }

    // The data file's place is taken by a folder: the record is named in the journal at once.
    fs::remove(folder + "/Data.qel");
    fs::create_directory(folder + "/Data.qel");
    const auto sent = std::chrono::steady_clock::now();
    fields.record = 3;
    Device(1).SendPacket(fields);
    const std::string lost = "qel1-agent: Запись не сделана: 00007 00003 09:45 31/12/05 00012.500 - файл \"";
    EXPECT_TRUE(agent.WaitLog(lost, 5000)) << agent.Log();
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2));
    EXPECT_NE(agent.Log().find("Data.qel\": на его месте папка\n"), std::string::npos) << agent.Log();
    EndWithSigterm(agent);
}

}  // namespace
}  // namespace qel::test
