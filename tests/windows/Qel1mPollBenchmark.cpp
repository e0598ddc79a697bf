// How long one Timer1 tick of the settings window holds the user interface while it polls
// its QEL-1M connections, and how much CPU the polling takes. A measurement to run by
// hand, not a test:
//   cmake --build build --target qel1m_poll_benchmark && build/bin/qel1m_poll_benchmark [seconds]
// Two simulated QEL-1M devices answer on pseudo-terminals, promptly; the settings window
// is the real one, with its drivers' input timeouts of 200 ms (connection 1) and 2000 ms
// (connection 2).
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ExecutableFolder.h"
#include "GuiTestSupport.h"
#include "QtTickSource.h"
#include "Regional.h"
#include "SComSetup.h"
#include "Simulator.h"
#include "TestFiles.h"
#include "TrayIcon.h"
#include "UQEL1M_Control.h"

namespace qel {
namespace {

// CPU time of the calling thread (the user-interface thread), in milliseconds.
double ThreadCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

struct Result {
    std::vector<double> tickMs;  // wall time of each tick called directly
    double cpuPerTickMs = 0;
    double loopSeconds = 0;      // the event loop run with the real Timer1
    double loopCpuPercent = 0;   // CPU of the user-interface thread meanwhile
    double longestStallMs = 0;   // the longest time a 10 ms probe timer waited
    unsigned polls = 0;          // polls the devices answered in the loop run
};

Result Measure(bool secondInUse, int ticks, int seconds) {
    test::TempFolder folder;
    std::string error;
    auto device1 = Simulator::CreatePty("", error);
    auto device2 = Simulator::CreatePty("", error);
    if (!device1 || !device2) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", error.c_str());
        std::exit(1);
    }
    device1->SetType(SimDeviceType::Qel1m);
    device2->SetType(SimDeviceType::Qel1m);
    device1->SetValueWord(0x047B);
    device2->SetValueWord(0x007B);
    test::WriteIni(folder / "QEL1_Agent.ini",
                   test::SettingsLines({device1->Path(), device2->Path()},
                                       {"Con1check=1", "Con1numCOM=1", "Con1Speed=1", "Con1QELType=1",
                                        std::string("Con2check=") + (secondInUse ? "1" : "0"), "Con2numCOM=2",
                                        "Con2Speed=1", "Con2QELType=1", "SaveFile=" + (folder / "Data.qel")}));
    SetExecutableFolderOverride(folder.Path() + "/");

    Result result;
    {
        ProgramState state;
        TComSetup window(state);
        window.Timer1.stop();
        // The first tick opens nothing new; it only warms up.
        window.Timer1Timer();
        const double cpuBefore = ThreadCpuMs();
        for (int i = 0; i < ticks; ++i) {
            QElapsedTimer clock;
            clock.start();
            window.Timer1Timer();
            result.tickMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        result.cpuPerTickMs = (ThreadCpuMs() - cpuBefore) / ticks;

        // The program as it runs: Timer1 every 500 ms in the event loop, a probe timer
        // that should fire every 10 ms, and the longest wait it saw.
        const unsigned pollsBefore = device1->RequestCount(6) + device2->RequestCount(6);
        QElapsedTimer sinceProbe;
        QTimer probe;
        probe.setInterval(10);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            result.longestStallMs = std::max(result.longestStallMs, static_cast<double>(sinceProbe.nsecsElapsed()) / 1e6);
            sinceProbe.restart();
        });
        QElapsedTimer loopClock;
        const double loopCpuBefore = ThreadCpuMs();
        loopClock.start();
        sinceProbe.start();
        probe.start();
        window.Timer1.start();
        QTimer::singleShot(seconds * 1000, [] { QCoreApplication::exit(0); });
        QApplication::exec();
        result.loopSeconds = static_cast<double>(loopClock.nsecsElapsed()) / 1e9;
        result.loopCpuPercent = (ThreadCpuMs() - loopCpuBefore) / (result.loopSeconds * 1000.0) * 100.0;
        result.polls = device1->RequestCount(6) + device2->RequestCount(6) - pollsBefore;
        window.Timer1.stop();
    }
    SetExecutableFolderOverride("");
    return result;
}

void Print(const char* title, const Result& r) {
    std::vector<double> sorted = r.tickMs;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (double t : sorted) sum += t;
    std::printf("%s\n", title);
    std::printf("  one tick blocks the window: min %.1f ms, median %.1f ms, max %.1f ms, mean %.1f ms (%zu ticks)\n",
                sorted.front(), sorted[sorted.size() / 2], sorted.back(), sum / static_cast<double>(sorted.size()),
                sorted.size());
    std::printf("  CPU of the window's thread per tick: %.2f ms\n", r.cpuPerTickMs);
    std::printf("  event loop with Timer1 running for %.1f s: %u polls, window thread CPU %.2f %% of a core, "
                "longest stall of a 10 ms timer %.0f ms\n",
                r.loopSeconds, r.polls, r.loopCpuPercent, r.longestStallMs);
}

}  // namespace
}  // namespace qel

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int seconds = 6;
    if (argc > 1) {
        const std::string arg = argv[1];
        if (arg == "--help" || arg == "-h") {
            std::printf("usage: %s [seconds of event loop per case, default 6]\n", argv[0]);
            return 0;
        }
        std::from_chars(arg.data(), arg.data() + arg.size(), seconds);
        seconds = std::max(seconds, 1);
    }
    QApplication app(argc, argv);
    qel::SetRegional(qel::RussianRegionalSettings());
    qel::SetSystemTrayAvailableOverride(true);
    qel::InstallQtTickSource();
    qel::test::ScriptedDialogs dialogs;  // no box may wait for a hand

    std::printf("QEL-1M polling by Timer1 (devices answer at once; input timeouts 200 ms and 2000 ms)\n");
    qel::Print("One QEL-1M connection in use (connection 1):", qel::Measure(false, 10, seconds));
    qel::Print("Two QEL-1M connections in use:", qel::Measure(true, 5, seconds));
    return 0;
}
