#pragma once
// Runs a step that could hang (opening a named pipe, say) in a child process with a time
// bound, so that a fault makes the test fail instead of hanging it.
#include <unistd.h>

#include <functional>

#include "ChildProcess.h"

namespace qel::test {

enum class BoundedOutcome { Passed, Failed, TimedOut };

// Forks; the child runs `step` and ends with its result. The parent waits at most
// `timeoutMs`, then kills the child. Only what the step returns crosses back.
inline BoundedOutcome RunBounded(const std::function<bool()>& step, int timeoutMs) {
    const pid_t pid = ::fork();
    if (pid < 0) return BoundedOutcome::Failed;
    if (pid == 0) ::_exit(step() ? 0 : 1);
    const ChildEnd end = AwaitChild(pid, timeoutMs);
    if (!end.ended) return BoundedOutcome::TimedOut;
    return end.Succeeded() ? BoundedOutcome::Passed : BoundedOutcome::Failed;
}

}  // namespace qel::test
