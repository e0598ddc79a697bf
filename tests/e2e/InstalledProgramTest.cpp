// The whole program laid out as an installation (<prefix>/bin with <prefix>/share/qel1-agent
// beside it) keeps each user's settings and data in the user's XDG folders; a portable copy
// keeps them beside itself and leaves the user's home alone.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "AgentProcess.h"
#include "Cp1251.h"
#include "Qel1Samples.h"
#include "Simulator.h"
#include "TestFiles.h"
#include "Waits.h"

#ifndef QEL_AGENT_PROGRAM
#error "QEL_AGENT_PROGRAM must name the built program"
#endif

namespace qel::test {
namespace {

namespace fs = std::filesystem;

constexpr int kStartMs = 15000;
const std::string kLine = "00007 00300 09:45 31/12/05 00012.500\r\n";

class ProgramFolders : public ::testing::Test {
private:
    TempFolder root_;  // removed after the agent and the device that use it

protected:
    void SetUp() override {
        home = root_ / "home";
        runtime = root_ / "run";
        work = root_ / "work";
        for (const std::string& f : {home, runtime, work}) fs::create_directory(f);
        ::chmod(runtime.c_str(), 0700);
        std::string error;
        device = Simulator::CreatePty(root_ / "ttyQEL1", error);
        ASSERT_TRUE(device) << error;
    }
    void TearDown() override {
        agent.reset();
        device.reset();
    }

    std::string Root(const std::string& name) const { return root_ / name; }

    AgentProcess& Start(const std::string& program, std::map<std::string, std::string> environment) {
        environment.emplace("QT_QPA_PLATFORM", "offscreen");
        environment.emplace("XDG_RUNTIME_DIR", runtime);
        environment.emplace("HOME", home);
        environment.emplace("LC_ALL", "C");
        environment.emplace("XDG_CONFIG_HOME", "");
        environment.emplace("XDG_DATA_HOME", "");
        agent = std::make_unique<AgentProcess>();
        EXPECT_TRUE(agent->Start(program, work, root_ / "agent.log", environment));
        return *agent;
    }

    // The program has opened the device's port and had the time to set it up.
    bool Holds() {
        if (!PollUntil([&] { return agent->HoldsOpen(device->Path()); }, kStartMs)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return true;
    }

    void End() {
        agent->Signal(SIGTERM);
        ASSERT_TRUE(agent->WaitExit(10000));
        EXPECT_TRUE(agent->ExitedCleanly()) << agent->Log();
    }

    std::string home, runtime, work;
    std::unique_ptr<Simulator> device;
    std::unique_ptr<AgentProcess> agent;
};

TEST_F(ProgramFolders, AnInstalledProgramStartsFromTheSystemsSettingsAndFilesIntoTheUsersDataFolder) {
    const std::string prefix = Root("usr");
    fs::create_directories(prefix + "/bin");
    fs::create_directories(prefix + "/share/qel1-agent");
    fs::copy_file(QEL_AGENT_PROGRAM, prefix + "/bin/qel1-agent");
    fs::create_directories(Root("etc/qel1-agent"));
    // What IT put in place, saved by a Linux editor as UTF-8: the port, and a data file
    // name relative to the user's data folder.
    const std::string system = "[Ports]\nCOM1=" + device->Path() +
                               "\n[QEL1_Agent]\nCon1check=1\nCon1numCOM=1\nSaveFile=Данные.qel\nName1=Кабинет 3\n";
    WriteBytes(Root("etc/qel1-agent/QEL1_Agent.ini"), system);

    Start(prefix + "/bin/qel1-agent", {{"XDG_CONFIG_DIRS", Root("etc")}});
    ASSERT_TRUE(Holds()) << agent->Log();
    device->SendBytes(kExamplePacket);
    const std::string data = home + "/.local/share/qel1-agent/Данные.qel";
    EXPECT_TRUE(PollUntil([&] { return ReadBytes(data) == kLine; }, 8000)) << ReadBytes(data) << agent->Log();
    End();

    // The user's settings: a copy of the system's, saved by the program in the file's own
    // encoding, UTF-8. (Lines that were there keep their line ends; new ones end in CR LF.)
    const std::string settings = home + "/.config/qel1-agent/QEL1_Agent.ini";
    const std::string saved = ReadBytes(settings);
    EXPECT_EQ(saved.rfind(system, 0), 0u) << saved;
    EXPECT_NE(saved.find("SaveFile=Данные.qel\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Name1=Кабинет 3\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("COM1=" + device->Path() + "\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\nName2=\r\n"), std::string::npos) << saved;
    // Nothing was written beside the program, in the system's folder or the current one.
    EXPECT_EQ(TempFolder::Entries(prefix + "/bin"), std::set<std::string>{"qel1-agent"});
    EXPECT_EQ(ReadBytes(Root("etc/qel1-agent/QEL1_Agent.ini")), system);
    EXPECT_TRUE(TempFolder::Entries(work).empty());
}

// A data folder that cannot be made (here a file stands where it should be) is noted at
// start, and relative data paths go to a folder that exists and can be written, the
// settings folder, never to the folder the program was started in.
TEST_F(ProgramFolders, WithoutADataFolderRelativeDataGoesToTheSettingsFolderNotTheCurrentOne) {
    const std::string prefix = Root("usr");
    fs::create_directories(prefix + "/bin");
    fs::create_directories(prefix + "/share/qel1-agent");
    fs::copy_file(QEL_AGENT_PROGRAM, prefix + "/bin/qel1-agent");
    const std::string config = home + "/.config/qel1-agent";
    fs::create_directories(config);
    WriteIni(config + "/QEL1_Agent.ini", SettingsLines({device->Path()}, {"Con1check=1", "Con1numCOM=1"}));
    WriteBytes(Root("not-a-folder"), "");

    Start(prefix + "/bin/qel1-agent", {{"XDG_DATA_HOME", Root("not-a-folder")}});
    ASSERT_TRUE(agent->WaitLog("Папка данных " + Root("not-a-folder") + "/qel1-agent/ не создаётся (", kStartMs))
        << agent->Log();
    EXPECT_NE(agent->Log().find("): файлы данных с относительным путём записываются в " + config + "/"),
              std::string::npos)
        << agent->Log();
    ASSERT_TRUE(Holds()) << agent->Log();
    device->SendBytes(kExamplePacket);
    EXPECT_TRUE(PollUntil([&] { return ReadBytes(config + "/Data.qel") == kLine; }, 8000)) << agent->Log();
    End();
    EXPECT_TRUE(TempFolder::Entries(work).empty());
}

TEST_F(ProgramFolders, APortableCopyKeepsEverythingBesideItselfAndLeavesTheHomeAlone) {
    const std::string folder = Root("portable");
    fs::create_directory(folder);
    fs::copy_file(QEL_AGENT_PROGRAM, folder + "/qel1-agent");
    WriteIni(folder + "/QEL1_Agent.ini", SettingsLines({device->Path()}, {"Con1check=1", "Con1numCOM=1"}));

    Start(folder + "/qel1-agent", {{"XDG_CONFIG_DIRS", Root("etc")}});
    ASSERT_TRUE(Holds()) << agent->Log();
    device->SendBytes(kExamplePacket);
    // A relative data file name is relative to the current folder, as the program always did.
    EXPECT_TRUE(PollUntil([&] { return ReadBytes(work + "/Data.qel") == kLine; }, 8000)) << agent->Log();
    End();
    EXPECT_EQ(IniSection(folder + "/QEL1_Agent.ini", "QEL1_Agent").size(), 15u);
    EXPECT_TRUE(TempFolder::Entries(home).empty());
}

}  // namespace
}  // namespace qel::test
