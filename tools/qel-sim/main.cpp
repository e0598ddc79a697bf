// qel-sim: a QEL-1 or QEL-1M on a pseudo-terminal or a real port, driven from the command
// line and standard input. See HelpText for what it does.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "SimConsole.h"
#include "SimOptions.h"
#include "Simulator.h"

namespace {

using qel::CliOptions;
using qel::SimConsole;
using qel::Simulator;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kDefaultPortBaud = 4800;
constexpr uint32_t kDrainOnExitMs = 5000;
constexpr int kCheckIntervalMs = 200;

int signalPipe[2] = {-1, -1};

void OnSignal(int signo) {
    const auto byte = static_cast<unsigned char>(signo);
    (void)!write(signalPipe[1], &byte, 1);
}

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

void ErrorLine(const std::string& text) { WriteAll(STDERR_FILENO, text + "\n"); }

bool InstallSignals() {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    for (const int signo : {SIGINT, SIGTERM, SIGHUP}) {
        if (sigaction(signo, &sa, nullptr) != 0) return false;
    }
    signal(SIGPIPE, SIG_IGN);
    return true;
}

// Runs until quit, the end of standard input, a signal, or a failed line. Returns the exit status.
int Run(Simulator& sim, SimConsole& console, bool readStdin) {
    std::string pending;
    uint32_t every = console.EveryMs();
    auto nextDue = Clock::now() + std::chrono::milliseconds(every);
    for (;;) {
        if (console.EveryMs() != every) {
            every = console.EveryMs();
            nextDue = Clock::now() + std::chrono::milliseconds(every);
        }
        int timeout = kCheckIntervalMs;
        if (every > 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextDue - Clock::now()).count();
            timeout = static_cast<int>(std::clamp<long long>(left, 0, kCheckIntervalMs));
        }
        pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {readStdin ? STDIN_FILENO : -1, POLLIN, 0}};
        const int ready = poll(fds, 2, timeout);
        if (ready > 0 && fds[0].revents != 0) {
            ErrorLine("qel-sim: signal received, ending");
            return 0;
        }
        if (sim.LineFailed()) {
            ErrorLine("qel-sim: the line failed, ending");
            return 1;
        }
        if (every > 0 && Clock::now() >= nextDue) {
            console.SendNext();
            nextDue += std::chrono::milliseconds(every);
            // After a stall, keep the period from now instead of sending a burst.
            if (nextDue < Clock::now()) nextDue = Clock::now() + std::chrono::milliseconds(every);
        }
        if (ready > 0 && fds[1].revents != 0) {
            char buffer[4096];
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            const bool ended = n <= 0;
            if (n > 0) pending.append(buffer, static_cast<std::size_t>(n));
            if (ended && !pending.empty()) pending.push_back('\n');
            for (std::size_t nl = pending.find('\n'); nl != std::string::npos; nl = pending.find('\n')) {
                const std::string line = pending.substr(0, nl);
                pending.erase(0, nl + 1);
                std::string reply;
                const bool goOn = console.Execute(line, reply);
                if (!reply.empty()) ErrorLine(reply);
                if (!goOn) {
                    sim.WaitIdle(kDrainOnExitMs);
                    return 0;
                }
            }
            if (ended) {
                if (console.EveryMs() > 0) {
                    ErrorLine("qel-sim: standard input ended, so does the periodic sending (--no-stdin keeps it going)");
                }
                sim.WaitIdle(kDrainOnExitMs);
                return 0;
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    CliOptions options;
    std::string error;
    if (!qel::ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        ErrorLine("qel-sim: " + error);
        return 2;
    }
    if (options.help) {
        WriteAll(STDOUT_FILENO, qel::HelpText());
        return 0;
    }
    if (!InstallSignals()) {
        ErrorLine("qel-sim: cannot install signal handlers");
        return 1;
    }
    auto sim = options.port.empty()
                   ? Simulator::CreatePty(options.link, error)
                   : Simulator::OpenPort(options.port, options.baud ? options.baud : kDefaultPortBaud, error);
    if (!sim) {
        ErrorLine("qel-sim: " + error);
        return 1;
    }
    // Set up completely before anyone learns the path.
    sim->SetLog([](const std::string& line) { ErrorLine(line); });
    SimConsole console(*sim, options);
    WriteAll(STDOUT_FILENO, sim->Path() + "\n");
    for (const auto& note : options.notes) ErrorLine(note);
    return Run(*sim, console, !options.noStdin);
}
