// How long after a device returns its first packet is filed, and the CPU the program uses
// while a device is away: the built qel1-agent against a QEL-1 behind a symbolic link that
// is pulled and plugged in again. A measurement to run by hand, not a test:
//   build/bin/qel1_reconnect_bench [tries]
// Each try: the device vanishes; once the program has let its port go, a random pause of
// up to a second (so returns fall anywhere in the program's retry period); the device
// returns, sends a packet the moment the program has its port open again, and the time
// from its return to the new line in the data file is taken.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
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
using Steady = std::chrono::steady_clock;
namespace fs = std::filesystem;


std::size_t Lines(const std::string& path) {
    const std::string data = ReadBytes(path);
    return static_cast<std::size_t>(std::count(data.begin(), data.end(), '\n'));
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One run of the program with the device on `connection`; returns false when it failed.
bool Measure(int connection, int tries) {
    TempFolder root;
    const auto [folder, runtime, program] = MakeAgentFolders(root.Path(), QEL_AGENT_PROGRAM);
    const std::string link = root / "ttyUSB-by-id";
    const std::string other = root / "no-device";
    const std::string n = std::to_string(connection);
    WriteIni(folder + "/QEL1_Agent.ini",
             SettingsLines(connection == 1 ? std::vector<std::string>{link, other} : std::vector<std::string>{other, link},
                           {"Con" + n + "check=1", "Con" + n + "numCOM=" + n, "Con" + n + "Speed=1",
                            "Con1QELType=0", "Con2QELType=0", "ScreenMessages=0"}));
    std::string error;
    auto device = Simulator::CreatePty(link, error);
    if (!device) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", error.c_str());
        return false;
    }
    AgentProcess agent;
    if (!agent.Start(program, folder, root / "agent.log",
                     {{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_RUNTIME_DIR", runtime}, {"LC_ALL", "C"}}))
        return false;
    if (!PollUntil([&] { return agent.HoldsOpen(device->Path()); }, 15000)) {
        std::fprintf(stderr, "the program did not open the device\n%s", agent.Log().c_str());
        return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const std::string data = folder + "/Data.qel";
    std::mt19937 random(12345u + static_cast<unsigned>(connection));
    std::uniform_int_distribution<int> pause(0, 999);
    std::vector<double> times, reopens;
    long lostCpuMs = 0, lostWallMs = 0;
    uint16_t record = 1;
    for (int t = 0; t < tries; ++t) {
        const std::string old = device->Path();
        device.reset();
        if (!PollUntil([&] { return !agent.HoldsOpen(old); }, 5000, 5)) {
            std::fprintf(stderr, "the program kept the vanished device open\n");
            return false;
        }
        const long cpu0 = ProcessCpuMs(agent.Pid());
        const auto wall0 = Steady::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
        const std::size_t before = Lines(data);
        device = Simulator::CreatePty(link, error);
        const auto back = Steady::now();
        lostCpuMs += ProcessCpuMs(agent.Pid()) - cpu0;
        lostWallMs += std::chrono::duration_cast<std::chrono::milliseconds>(back - wall0).count();
        if (!device) return false;
        // The device speaks as soon as the program has its port open again: earlier bytes
        // would be purged by the reopening, as a real adapter's would never arrive.
        if (!PollUntil([&] { return agent.HoldsOpen(device->Path()); }, 10000, 1)) {
            std::fprintf(stderr, "try %d: the device was not reopened within 10 s\n%s", t + 1, agent.Log().c_str());
            return false;
        }
        reopens.push_back(std::chrono::duration<double, std::milli>(Steady::now() - back).count());
        Qel1Fields fields;
        fields.record = record++;
        device->SendPacket(fields);
        if (!PollUntil([&] { return Lines(data) > before; }, 5000, 1)) {
            std::fprintf(stderr, "try %d: nothing filed within 5 s\n%s", t + 1, agent.Log().c_str());
            return false;
        }
        times.push_back(std::chrono::duration<double, std::milli>(Steady::now() - back).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // A longer stretch without the device, for the CPU it takes.
    const std::string old = device->Path();
    device.reset();
    PollUntil([&] { return !agent.HoldsOpen(old); }, 5000, 5);
    const long cpu0 = ProcessCpuMs(agent.Pid());
    const auto wall0 = Steady::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    lostCpuMs += ProcessCpuMs(agent.Pid()) - cpu0;
    lostWallMs += std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - wall0).count();
    agent.Signal(SIGTERM);
    agent.WaitExit(10000);

    std::printf("connection %d: return to first filed packet over %d tries: median %.0f ms, min %.0f ms, max %.0f ms\n",
                connection, tries, Median(times), *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()));
    std::printf("connection %d: return to reopened port: median %.0f ms, max %.0f ms\n", connection, Median(reopens),
                *std::max_element(reopens.begin(), reopens.end()));
    std::printf("connection %d: CPU while the device was away: %ld ms in %ld ms (%.2f %% of a core)\n", connection,
                lostCpuMs, lostWallMs, lostWallMs > 0 ? 100.0 * static_cast<double>(lostCpuMs) / static_cast<double>(lostWallMs) : 0.0);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int tries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 25;
    bool ok = true;
    for (int connection : {1, 2}) ok = Measure(connection, tries) && ok;
    return ok ? 0 : 1;
}
