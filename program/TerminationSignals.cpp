#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

#include "EndRequest.h"

namespace qel {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

int g_pipe[2] = {-1, -1};
struct sigaction g_previous[std::size(kSignals)];
bool g_installed[std::size(kSignals)];

extern "C" void OnTerminationSignal(int signalNumber) {
    const int savedErrno = errno;
    NoteEndRequested();  // long work on the event loop's thread stops at its next step
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    const ssize_t written = ::write(g_pipe[1], &byte, 1);
    static_cast<void>(written);  // a full pipe already holds a pending signal
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (g_pipe[0] >= 0) throw std::logic_error("termination signals are already handled");
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("no pipe for the termination signals");
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], nullptr, &g_previous[i]);
        // Started with SIGINT or SIGHUP ignored (in the background, under nohup), the
        // program keeps ignoring them; SIGTERM always ends it.
        g_installed[i] = kSignals[i] == SIGTERM || g_previous[i].sa_handler != SIG_IGN;
        if (g_installed[i]) ::sigaction(kSignals[i], &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        if (g_installed[i]) ::sigaction(kSignals[i], &g_previous[i], nullptr);
    notifier_.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void TerminationSignals::Listen() {
    if (notifier_) return;
    notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::Drain);
}

void TerminationSignals::Drain() {
    unsigned char bytes[16];
    for (;;) {
        const ssize_t n = ::read(g_pipe[0], bytes, sizeof bytes);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            return;
        }
        for (ssize_t i = 0; i < n; ++i) emit Received(bytes[i]);
    }
}

}  // namespace qel
