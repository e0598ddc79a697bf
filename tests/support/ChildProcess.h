#pragma once
// Waiting for a child process with a bound: the one place where the tests reap what they
// fork, so that no test hangs on a child and none leaves one behind.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace qel::test {

// How a child ended, or that it did not end within its bound (it was killed then).
struct ChildEnd {
    bool ended = false;
    int status = 0;  // as waitpid gives it

    bool ExitedWith(int code) const { return ended && WIFEXITED(status) && WEXITSTATUS(status) == code; }
    bool Succeeded() const { return ExitedWith(0); }
};

// Waits for `pid` at most `timeoutMs` (without a bound when negative). A child still
// running then is killed with SIGKILL and reaped.
inline ChildEnd AwaitChild(pid_t pid, int timeoutMs) {
    ChildEnd end;
    if (pid <= 0) return end;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const pid_t r = ::waitpid(pid, &end.status, timeoutMs < 0 ? 0 : WNOHANG);
        if (r == pid) {
            end.ended = true;
            return end;
        }
        if (r < 0 && errno != EINTR) return end;
        if (timeoutMs >= 0 && std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &end.status, 0) < 0 && errno == EINTR) {}
            return end;
        }
        if (r == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace qel::test
