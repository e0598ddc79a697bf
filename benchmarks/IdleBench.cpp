// What the program costs while nothing happens: the built qel1-agent with both connections
// in use as QEL-1 on pseudo-terminals that stay silent, run headless (so without a
// notification area: its settings window lies minimised). Over the measured time it gives
// the CPU of the whole process in % of one core and its wake-ups per second (the
// voluntary context switches of all its threads). A measurement to run by hand, not a test:
//   build/bin/qel1_idle_bench [seconds, default 60; the goal is stated for 300] [program]
// A program given (an older build, say) is measured instead of the one built with it.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "AgentProcess.h"
#include "Simulator.h"
#include "TestFiles.h"
#include "Waits.h"

namespace {

using namespace qel;
using namespace qel::test;
namespace fs = std::filesystem;

// User and system CPU of the process, in clock ticks (all its threads).
long long CpuTicks(pid_t pid) {
    const std::string stat = ReadBytes("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) utime = std::atoll(field.c_str());
        if (i == 15) {
            stime = std::atoll(field.c_str());
            break;
        }
    }
    return utime + stime;
}

// Voluntary context switches of every thread of the process: each is a sleep that ended,
// a wake-up. (Involuntary ones are preemptions by other work of the machine, not counted.)
long long Switches(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    long long total = 0;
    DIR* dir = ::opendir(tasks.c_str());
    if (dir == nullptr) return 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::istringstream lines(ReadBytes(tasks + "/" + entry->d_name + "/status"));
        std::string line;
        while (std::getline(lines, line))
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                total += std::atoll(line.substr(line.find(':') + 1).c_str());
    }
    ::closedir(dir);
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    if (argc > 1) {
        if (std::string(argv[1]) == "--help") {
            std::printf("usage: %s [seconds, default 60] [program]\n", argv[0]);
            return 0;
        }
        seconds = std::max(5, std::atoi(argv[1]));
    }
    TempFolder root;
    const auto [folder, runtime, program] = MakeAgentFolders(root.Path(), argc > 2 ? argv[2] : QEL_AGENT_PROGRAM);
    std::string error;
    auto device1 = Simulator::CreatePty(root / "ttyQEL1", error);
    auto device2 = Simulator::CreatePty(root / "ttyQEL2", error);
    if (!device1 || !device2) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", error.c_str());
        return 1;
    }
    WriteIni(folder + "/QEL1_Agent.ini",
             SettingsLines({device1->Path(), device2->Path()},
                           {"Con1check=1", "Con2check=1", "Con1numCOM=1", "Con2numCOM=2", "Con1Speed=1",
                            "Con2Speed=1", "Con1QELType=0", "Con2QELType=0", "ScreenMessages=0"}));
    AgentProcess agent;
    if (!agent.Start(program, folder, root / "agent.log",
                     {{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_RUNTIME_DIR", runtime}, {"LC_ALL", "C"}})) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    if (!PollUntil([&] { return agent.HoldsOpen(device1->Path()) && agent.HoldsOpen(device2->Path()); }, 15000)) {
        std::fprintf(stderr, "the program did not open both ports\n%s", agent.Log().c_str());
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));  // start-up settles

    const long long cpuBefore = CpuTicks(agent.Pid());
    const long long switchesBefore = Switches(agent.Pid());
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuSeconds = static_cast<double>(CpuTicks(agent.Pid()) - cpuBefore) / static_cast<double>(sysconf(_SC_CLK_TCK));
    const long long switches = Switches(agent.Pid()) - switchesBefore;
    std::printf("Idle, both ports open as QEL-1, nothing arriving, %.0f s:\n", elapsed);
    std::printf("  CPU %.3f %% of a core (%.2f s), %.1f wake-ups a second\n", cpuSeconds / elapsed * 100.0, cpuSeconds,
                static_cast<double>(switches) / elapsed);
    return agent.Running() ? 0 : 1;
}
