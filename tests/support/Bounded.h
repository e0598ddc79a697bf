#pragma once
// Runs a step that could hang (opening a named pipe, say) in a child process with a time
// bound, so that a fault makes the test fail instead of hanging it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>

namespace qel::test {

enum class BoundedOutcome { Passed, Failed, TimedOut };

// Forks; the child runs `step` and ends with its result. The parent waits at most
// `timeoutMs`, then kills the child. Only what the step returns crosses back.
inline BoundedOutcome RunBounded(const std::function<bool()>& step, int timeoutMs) {
    const pid_t pid = ::fork();
    if (pid < 0) return BoundedOutcome::Failed;
    if (pid == 0) ::_exit(step() ? 0 : 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? BoundedOutcome::Passed : BoundedOutcome::Failed;
        if (r < 0 && errno != EINTR) return BoundedOutcome::Failed;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return BoundedOutcome::TimedOut;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace qel::test
