#pragma once
// The built program run as a child process in a folder of its own, with its standard
// error kept in a file, and always ended and reaped when the test is over.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <map>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "Waits.h"

namespace qel::test {

// CPU time (user and system) a process has used, in ms, from /proc/PID/stat; -1 if unknown.
inline long ProcessCpuMs(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return (utime + stime) * 1000 / ::sysconf(_SC_CLK_TCK);
}

// A portable copy of the built program in a folder of its own, and a private runtime
// folder for its single-instance lock, both under `root`.
struct AgentFolders {
    std::string folder, runtime, program;
};
inline AgentFolders MakeAgentFolders(const std::filesystem::path& root, const std::string& built) {
    AgentFolders made{root / "agent", root / "run", (root / "agent" / "qel1-agent").string()};
    std::filesystem::create_directory(made.folder);
    std::filesystem::create_directory(made.runtime);
    ::chmod(made.runtime.c_str(), 0700);
    std::filesystem::copy_file(built, made.program);
    return made;
}

class AgentProcess {
public:
    AgentProcess() = default;
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;
    ~AgentProcess() {
        if (pid_ > 0 && !exited_) AwaitChild(pid_, 0);
    }

    // Starts `program` in `folder` with `arguments`; the environment is this process's with
    // `overrides` (an empty value removes the variable). Standard output and error go to
    // `logPath`.
    bool Start(const std::string& program, const std::string& folder, const std::string& logPath,
               const std::map<std::string, std::string>& overrides, std::vector<std::string> arguments = {}) {
        logPath_ = logPath;
        arguments.insert(arguments.begin(), program);
        pid_ = SpawnChild(
            {.args = arguments, .environment = EnvironmentWith(overrides), .folder = folder, .outPath = logPath});
        return pid_ > 0;
    }

    pid_t Pid() const { return pid_; }

    bool Running() {
        if (pid_ <= 0 || exited_) return false;
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            exited_ = true;
            status_ = status;
            return false;
        }
        return true;
    }

    void Signal(int number) {
        if (Running()) ::kill(pid_, number);
    }

    // Waits for the end; true when it ended within the time. Status() then holds it.
    bool WaitExit(int timeoutMs) {
        return PollUntil([this] { return !Running(); }, timeoutMs);
    }
    bool ExitedCleanly() const { return exited_ && WIFEXITED(status_) && WEXITSTATUS(status_) == 0; }
    int Status() const { return status_; }

    std::string Log() const { return ReadBytes(logPath_); }
    bool WaitLog(const std::string& text, int timeoutMs) const {
        return PollUntil([&] { return Log().find(text) != std::string::npos; }, timeoutMs);
    }

    // The files the process holds open, as the links of /proc/PID/fd show them.
    std::vector<std::string> OpenFiles() const {
        std::vector<std::string> files;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", ec)) {
            std::error_code linkError;
            const auto target = std::filesystem::read_symlink(entry.path(), linkError);
            if (!linkError) files.push_back(target.string());
        }
        return files;
    }
    bool HoldsOpen(const std::string& path) const {
        for (const std::string& file : OpenFiles())
            if (file == path) return true;
        return false;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
    std::string logPath_;
};

}  // namespace qel::test
