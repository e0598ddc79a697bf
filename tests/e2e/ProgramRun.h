#pragma once
// The built program run to its end as a child process, with its standard output and
// error kept apart; killed if it outlives its time.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestFiles.h"
#include "Waits.h"

namespace qel::test {

struct ProgramResult {
    bool ended = false;     // within the time given
    int exitStatus = -1;    // when it exited (not killed by a signal)
    int signal = 0;         // when a signal ended it
    bool coreDumped = false;
    std::string out, err;
};

// Runs `program` with `arguments` in `folder`. The environment is `environment` alone
// (nothing is inherited), so a test states every variable the program sees.
inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                                const std::map<std::string, std::string>& environment, const std::string& folder,
                                const std::string& scratch, int timeoutMs = 20000) {
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<std::string> env;
    for (const auto& [name, value] : environment) env.push_back(name + "=" + value);
    const std::string outPath = scratch + "/run.out", errPath = scratch + "/run.err";
    ProgramResult result;
    const pid_t pid =
        SpawnChild({.args = args, .environment = env, .folder = folder, .outPath = outPath, .errPath = errPath});
    if (pid < 0) return result;
    const ChildEnd end = AwaitChild(pid, timeoutMs);
    const int status = end.status;
    result.ended = end.ended;
    if (!result.ended) {
        // killed at the bound
    } else if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
        result.coreDumped = WCOREDUMP(status);
    }
    result.out = ReadBytes(outPath);
    result.err = ReadBytes(errPath);
    return result;
}

}  // namespace qel::test
