#pragma once
// Child processes of the tests: the one place where they are started and reaped, so that
// no test hangs on a child and none leaves one behind.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

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

// What a child is started with. Its standard input is /dev/null.
struct ChildLaunch {
    std::vector<std::string> args{};                // args[0] is the program's path
    std::vector<std::string> environment{};         // NAME=value: all the child sees
    std::string folder{};                           // where it runs; empty: here
    std::string outPath{};                          // its standard output, made anew
    std::string errPath{};                          // its standard error; empty: with the output
    std::string descriptor3{};                      // a file it writes as descriptor 3, or none
    std::optional<std::pair<uid_t, gid_t>> user{};  // as root: the user it runs as
};

// This process's environment with `overrides` (an empty value removes the variable).
inline std::vector<std::string> EnvironmentWith(const std::map<std::string, std::string>& overrides) {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (overrides.count(entry.substr(0, entry.find('='))) == 0) environment.push_back(entry);
    }
    for (const auto& [name, value] : overrides)
        if (!value.empty()) environment.push_back(name + "=" + value);
    return environment;
}

// Starts a child; its pid, or -1. Everything it needs is made before the fork: only
// async-signal-safe calls run between fork and exec (a test's simulator threads may run).
inline pid_t SpawnChild(ChildLaunch launch) {
    std::vector<char*> argv, envp;
    for (std::string& a : launch.args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : launch.environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    const auto openForWriting = [](const std::string& path) {
        return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    };
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = openForWriting(launch.outPath);
    const int err = launch.errPath.empty() ? out : openForWriting(launch.errPath);
    const int extra = launch.descriptor3.empty() ? -1 : openForWriting(launch.descriptor3);
    pid_t pid = -1;
    if (devNull >= 0 && out >= 0 && err >= 0 && (launch.descriptor3.empty() || extra >= 0)) pid = ::fork();
    if (pid == 0) {
        if (launch.user && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(launch.user->second) != 0 || ::setuid(launch.user->first) != 0))
            ::_exit(125);
        if (!launch.folder.empty() && ::chdir(launch.folder.c_str()) != 0) ::_exit(126);
        ::dup2(devNull, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (extra == 3) {
            ::fcntl(3, F_SETFD, 0);  // already in place: only kept open across exec
        } else if (extra >= 0) {
            ::dup2(extra, 3);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    for (const int fd : {devNull, out, extra}) {
        if (fd >= 0) ::close(fd);
    }
    if (err != out && err >= 0) ::close(err);
    return pid;
}

}  // namespace qel::test
