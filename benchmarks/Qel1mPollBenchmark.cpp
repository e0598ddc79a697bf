// How long one Timer1 tick of the settings window holds the user interface while it polls
// its QEL-1M connections, how regularly each device is polled, how long a press of
// "Приём" takes to reach the data file, how late a QEL-1 beside a QEL-1M gets its packets
// filed, and how much CPU the polling takes. A measurement to run by hand, not a test:
//   cmake --build build --target qel1m_poll_benchmark && build/bin/qel1m_poll_benchmark [seconds] [presses]
// Simulated devices answer on pseudo-terminals, promptly; the settings window is the real
// one, with its drivers' input timeouts of 200 ms (connection 1) and 2000 ms (connection 2).
#include <sys/resource.h>
#include <sys/stat.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "GuiTestSupport.h"
#include "ProgramFolders.h"
#include "ProgramState.h"
#include "Qel1Samples.h"
#include "QtTickSource.h"
#include "Regional.h"
#include "SComSetup.h"
#include "Simulator.h"
#include "TestFiles.h"
#include "TrayIcon.h"
#include "UQEL1M_Control.h"

namespace qel {
namespace {

constexpr uint8_t kPoll = 6;

// CPU time of the calling thread (the user-interface thread), in milliseconds.
double ThreadCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

struct Stats {
    double min = 0, median = 0, p95 = 0, max = 0, mean = 0;
    std::size_t n = 0;
};

Stats StatsOf(std::vector<double> v) {
    Stats s;
    s.n = v.size();
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v) sum += x;
    s.min = v.front();
    s.median = v[v.size() / 2];
    s.p95 = v[std::min(v.size() - 1, v.size() * 95 / 100)];
    s.max = v.back();
    s.mean = sum / static_cast<double>(v.size());
    return s;
}

void PrintStats(const char* what, const Stats& s) {
    if (s.n == 0) {
        std::printf("  %s: none\n", what);
        return;
    }
    std::printf("  %s: min %.1f, median %.1f, p95 %.1f, max %.1f, mean %.1f ms (%zu)\n", what, s.min, s.median, s.p95,
                s.max, s.mean, s.n);
}

// Milliseconds between successive polls a device took, from `sinceNs` on.
std::vector<double> PollIntervals(const Simulator& device, int64_t sinceNs) {
    std::vector<double> intervals;
    int64_t previous = 0;
    for (int64_t t : device.RequestTimesNs(kPoll)) {
        if (t < sinceNs) continue;
        if (previous != 0) intervals.push_back(static_cast<double>(t - previous) / 1e6);
        previous = t;
    }
    return intervals;
}

// Two simulated devices on pseudo-terminals and the settings window's INI for them.
struct Bench {
    Bench(SimDeviceType type1, bool use1, bool use2) {
        std::string error;
        device1 = Simulator::CreatePty("", error);
        device2 = Simulator::CreatePty("", error);
        if (!device1 || !device2) {
            std::fprintf(stderr, "no pseudo-terminal: %s\n", error.c_str());
            std::exit(1);
        }
        device1->SetType(type1);
        device2->SetType(SimDeviceType::Qel1m);
        device1->SetValueWord(0x047B);
        device2->SetValueWord(0x007B);
        const bool qel1m1 = type1 == SimDeviceType::Qel1m;
        test::WriteIni(folder / "QEL1_Agent.ini",
                       test::SettingsLines({device1->Path(), device2->Path()},
                                           {std::string("Con1check=") + (use1 ? "1" : "0"), "Con1numCOM=1",
                                            "Con1Speed=1", std::string("Con1QELType=") + (qel1m1 ? "1" : "0"),
                                            std::string("Con2check=") + (use2 ? "1" : "0"), "Con2numCOM=2",
                                            "Con2Speed=1", "Con2QELType=1", "SaveFile=" + DataPath()}));
    }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    std::string DataPath() const { return folder / "Data.qel"; }
    // A settings window of a program in `folder`, on a desktop with a notification area.
    SettingsWindowSurroundings Surroundings() const {
        SettingsWindowSurroundings surroundings;
        surroundings.folders = LocateProgramFolders(folder.Path() + "/", FolderEnvironment::FromProcess());
        surroundings.systemTrayAvailable = [] { return true; };
        return surroundings;
    }
    long DataSize() const {
        struct stat st {};
        return ::stat(DataPath().c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
    }

    test::TempFolder folder;
    std::unique_ptr<Simulator> device1, device2;
};

// Runs the event loop for `ms`, the real Timer1 ticking.
void RunLoop(TComSetup& window, int ms) {
    window.Timer1.start();
    QTimer::singleShot(ms, [] { QCoreApplication::exit(0); });
    QApplication::exec();
    window.Timer1.stop();
}

struct PollResult {
    std::vector<double> tickMs;  // wall time of each tick called directly
    double cpuPerTickMs = 0;
    double loopSeconds = 0;      // the event loop run with the real Timer1
    double loopCpuPercent = 0;   // CPU of the user-interface thread meanwhile
    double longestStallMs = 0;   // the longest time a 10 ms probe timer waited
    unsigned polls = 0;          // polls the devices answered in the loop run
    std::vector<double> intervals1, intervals2;  // between polls, per device
};

PollResult MeasurePolling(bool use1, bool use2, int ticks, int seconds) {
    Bench bench(SimDeviceType::Qel1m, use1, use2);
    PollResult result;
    ProgramState state;
    TComSetup window(state.Log, state.Writing, state.RecordNumbers, bench.Surroundings());
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
    const unsigned pollsBefore = bench.device1->RequestCount(kPoll) + bench.device2->RequestCount(kPoll);
    const int64_t loopStartNs = MonotonicNowNs();
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
    RunLoop(window, seconds * 1000);
    result.loopSeconds = static_cast<double>(loopClock.nsecsElapsed()) / 1e9;
    result.loopCpuPercent = (ThreadCpuMs() - loopCpuBefore) / (result.loopSeconds * 1000.0) * 100.0;
    result.polls = bench.device1->RequestCount(kPoll) + bench.device2->RequestCount(kPoll) - pollsBefore;
    result.intervals1 = PollIntervals(*bench.device1, loopStartNs);
    result.intervals2 = PollIntervals(*bench.device2, loopStartNs);
    return result;
}

void PrintPolling(const char* title, const PollResult& r) {
    std::printf("%s\n", title);
    PrintStats("one tick blocks the window", StatsOf(r.tickMs));
    std::printf("  CPU of the window's thread per tick: %.2f ms\n", r.cpuPerTickMs);
    std::printf("  event loop with Timer1 running for %.1f s: %u polls, window thread CPU %.2f %% of a core, "
                "longest stall of a 10 ms timer %.0f ms\n",
                r.loopSeconds, r.polls, r.loopCpuPercent, r.longestStallMs);
    if (!r.intervals1.empty()) PrintStats("time between polls, connection 1", StatsOf(r.intervals1));
    if (!r.intervals2.empty()) PrintStats("time between polls, connection 2", StatsOf(r.intervals2));
}

// "Приём" of the QEL-1M on connection 2, pressed at random moments while Timer1 polls:
// from the moment of the press to the line in the data file. The press waits for the
// tick that holds the window, as a click does.
std::vector<double> MeasurePresses(int presses) {
    Bench bench(SimDeviceType::Qel1m, false, true);
    ProgramState state;
    TComSetup window(state.Log, state.Writing, state.RecordNumbers, bench.Surroundings());
    window.Timer1.stop();
    window.Timer1Timer();  // a current value to file
    TQEL1M_Control* control = window.ControlWindow(2);
    QPushButton* save = control != nullptr ? control->findChild<QPushButton*>(QStringLiteral("BtnSave")) : nullptr;
    if (save == nullptr) {
        std::fprintf(stderr, "no control window on connection 2\n");
        std::exit(1);
    }
    std::vector<double> latencies;
    std::mt19937 random(2021);
    std::uniform_int_distribution<int> pause(300, 1300);
    int done = 0;
    QElapsedTimer clock;
    clock.start();
    std::function<void()> next = [&] {
        if (done == presses) {
            QCoreApplication::exit(0);
            return;
        }
        const int delay = pause(random);
        const qint64 dueNs = clock.nsecsElapsed() + qint64{delay} * 1000000;
        QTimer::singleShot(delay, Qt::PreciseTimer, [&, dueNs] {
            const long before = bench.DataSize();
            save->click();
            if (bench.DataSize() > before)
                latencies.push_back(static_cast<double>(clock.nsecsElapsed() - dueNs) / 1e6);
            ++done;
            next();
        });
    };
    next();
    window.Timer1.start();
    QApplication::exec();
    window.Timer1.stop();
    if (static_cast<int>(latencies.size()) != presses)
        std::printf("  %d presses, %zu lines filed\n", presses, latencies.size());
    return latencies;
}

// A QEL-1 on connection 1 sends a packet every 300 ms, with or without a QEL-1M polled on
// connection 2: from the packet's last byte on the line to its line in the data file
// (watched from another thread).
struct PacketResult {
    std::vector<double> latencies;
    int sent = 0;
};

PacketResult MeasureQel1Beside(bool qel1mOnTwo, int packets) {
    Bench bench(SimDeviceType::Qel1, true, qel1mOnTwo);
    ProgramState state;
    TComSetup window(state.Log, state.Writing, state.RecordNumbers, bench.Surroundings());
    std::mutex mu;
    std::vector<int64_t> lineNs;  // when each line appeared
    std::atomic<bool> stop{false};
    std::thread watcher([&] {
        long lines = 0;
        while (!stop) {
            const std::string text = test::ReadBytes(bench.DataPath());
            const long now = static_cast<long>(std::count(text.begin(), text.end(), '\n'));
            if (now > lines) {
                const int64_t t = MonotonicNowNs();
                std::lock_guard lock(mu);
                for (; lines < now; ++lines) lineNs.push_back(t);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    std::vector<uint64_t> ids;
    int sent = 0;
    QTimer sender;
    sender.setTimerType(Qt::PreciseTimer);
    sender.setInterval(300);
    QObject::connect(&sender, &QTimer::timeout, [&] {
        if (sent == packets) {
            sender.stop();
            QTimer::singleShot(1500, [] { QCoreApplication::exit(0); });
            return;
        }
        Qel1Fields fields = test::ExampleFields();
        fields.record = static_cast<uint16_t>(++sent);
        ids.push_back(bench.device1->SendPacket(fields));
    });
    QTimer::singleShot(1000, [&] { sender.start(); });  // the ports are open and set up
    window.Timer1.start();
    QApplication::exec();
    window.Timer1.stop();
    stop = true;
    watcher.join();
    PacketResult result;
    result.sent = sent;
    std::lock_guard lock(mu);
    for (std::size_t i = 0; i < ids.size() && i < lineNs.size(); ++i) {
        const auto record = bench.device1->WaitSent(ids[i], 1000);
        if (record) result.latencies.push_back(static_cast<double>(lineNs[i] - record->lastByteNs) / 1e6);
    }
    return result;
}

void PrintPackets(const char* title, const PacketResult& r) {
    std::printf("%s\n", title);
    std::printf("  %d packets sent, %zu filed\n", r.sent, r.latencies.size());
    PrintStats("last byte to line on disk", StatsOf(r.latencies));
}

}  // namespace
}  // namespace qel

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int seconds = 6;
    int presses = 50;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("usage: %s [seconds of event loop per case, default 6] [presses, default 50]\n", argv[0]);
            return 0;
        }
        int& target = i == 1 ? seconds : presses;
        std::from_chars(arg.data(), arg.data() + arg.size(), target);
    }
    seconds = std::max(seconds, 1);
    presses = std::max(presses, 1);
    QApplication app(argc, argv);
    qel::SetRegional(qel::RussianRegionalSettings());
    qel::InstallQtTickSource();
    qel::test::ScriptedDialogs dialogs;  // no box may wait for a hand

    std::printf("QEL-1M polling by Timer1 (devices answer at once; input timeouts 200 ms and 2000 ms)\n");
    qel::PrintPolling("A QEL-1M on connection 1:", qel::MeasurePolling(true, false, 10, seconds));
    qel::PrintPolling("A QEL-1M on connection 2:", qel::MeasurePolling(false, true, 5, seconds));
    qel::PrintPolling("QEL-1M devices on both connections:", qel::MeasurePolling(true, true, 5, seconds));
    std::printf("\"Приём\" of the QEL-1M on connection 2, %d presses at random moments:\n", presses);
    qel::PrintStats("press to line on disk", qel::StatsOf(qel::MeasurePresses(presses)));
    const int packets = std::max(10, seconds * 10 / 3);
    qel::PrintPackets("A QEL-1 on connection 1 sending every 300 ms, alone:", qel::MeasureQel1Beside(false, packets));
    qel::PrintPackets("The same beside a QEL-1M on connection 2:", qel::MeasureQel1Beside(true, packets));
    return 0;
}
