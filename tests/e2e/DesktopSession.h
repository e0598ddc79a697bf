#pragma once
// A desktop of its own for a whole-program test: a virtual X display (Xvfb), a private
// D-Bus session bus, a notification area (trayer) and a notification service (dunst),
// with every call of the service's Notify watched (dbus-monitor). Every process is ended
// when the session ends.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "Waits.h"

namespace qel::test {

// The program's full path when PATH has it, else "".
inline std::string FindTool(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = folders.find(':', start);
        const std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return {};
}

class DesktopSession {
public:
    explicit DesktopSession(std::string folder) : folder_(std::move(folder)) {}
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;
    ~DesktopSession() {
        for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
            ::kill(*it, SIGTERM);
            if (!PollUntil([&] { int s = 0; return ::waitpid(*it, &s, WNOHANG) == *it; }, 3000)) {
                ::kill(*it, SIGKILL);
                int s = 0;
                ::waitpid(*it, &s, 0);
            }
        }
    }

    // The tools a session needs; the first one missing, or "" when all are there.
    static std::string MissingTool() {
        for (const char* tool : {"Xvfb", "dbus-daemon", "dbus-send", "dbus-monitor", "trayer", "dunst"})
            if (FindTool(tool).empty()) return tool;
        return {};
    }

    // Starts everything; false with the reason when a part does not come up in time.
    bool Start(std::string& why) {
        // Xvfb picks a display number that nobody uses and writes it to its descriptor 3,
        // so sessions running side by side never meet.
        const std::string numberFile = folder_ + "/display";
        if (!Spawn({FindTool("Xvfb"), "-displayfd", "3", "-screen", "0", "640x480x24", "-nolisten", "tcp"}, {},
                   "xvfb.log", numberFile) ||
            !PollUntil([&] { return ReadBytes(numberFile).find('\n') != std::string::npos; }, 10000)) {
            why = "Xvfb did not start";
            return false;
        }
        display_ = ":" + ReadBytes(numberFile).substr(0, ReadBytes(numberFile).find('\n'));
        const std::string socket = folder_ + "/bus";
        bus_ = "unix:path=" + socket;
        if (!Spawn({FindTool("dbus-daemon"), "--session", "--nofork", "--nopidfile", "--address=" + bus_}, {},
                   "bus.log") ||
            !PollUntil([&] { return std::filesystem::exists(socket); }, 10000)) {
            why = "dbus-daemon did not start";
            return false;
        }
        std::filesystem::create_directories(folder_ + "/config");
        const std::map<std::string, std::string> env = Environment();
        if (!Spawn({FindTool("dbus-monitor"), "--address", bus_,
                    "type='method_call',interface='org.freedesktop.Notifications',member='Notify'"},
                   env, "notify.log") ||
            !PollUntil([&] { return ReadBytes(folder_ + "/notify.log").find("NameAcquired") != std::string::npos; },
                       10000)) {
            why = "dbus-monitor did not start";
            return false;
        }
        if (!Spawn({FindTool("dunst")}, env, "dunst.log") ||
            !PollUntil([&] { return ServiceOwned(); }, 10000)) {
            why = "dunst did not take the notification service";
            return false;
        }
        if (!Spawn({FindTool("trayer"), "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "96",
                    "--heighttype", "pixel", "--height", "32", "--transparent", "false"},
                   env, "trayer.log")) {
            why = "trayer did not start";
            return false;
        }
        return true;
    }

    // The variables a program of this desktop runs with.
    std::map<std::string, std::string> Environment() const {
        return {{"DISPLAY", display_}, {"DBUS_SESSION_BUS_ADDRESS", bus_}, {"XDG_CONFIG_HOME", folder_ + "/config"}};
    }
    const std::string& Display() const { return display_; }

    // The Notify calls whose arguments contain `text`.
    int Notifications(const std::string& text) const {
        const std::string log = ReadBytes(folder_ + "/notify.log");
        int count = 0;
        std::size_t at = log.find("member=Notify");
        while (at != std::string::npos) {
            const std::size_t next = log.find("member=Notify", at + 1);
            if (log.substr(at, next == std::string::npos ? std::string::npos : next - at).find(text) != std::string::npos)
                ++count;
            at = next;
        }
        return count;
    }
    std::string NotifyLog() const { return ReadBytes(folder_ + "/notify.log"); }

private:
    bool ServiceOwned() const {
        const std::string out = folder_ + "/owner.out";
        std::vector<std::string> args = {FindTool("dbus-send"), "--bus=" + bus_, "--print-reply",
                                         "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                         "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.Notifications"};
        const pid_t pid = Launch(args, {}, "owner.out");
        int status = 0;
        if (pid <= 0 || !PollUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 3000)) {
            if (pid > 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
            }
            return false;
        }
        return ReadBytes(out).find("boolean true") != std::string::npos;
    }

    bool Spawn(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
               const std::string& logName, const std::string& descriptor3 = {}) {
        const pid_t pid = Launch(args, env, logName, descriptor3);
        if (pid <= 0) return false;
        children_.push_back(pid);
        return true;
    }

    // Starts `args` with this process's environment and `env`, its output in `logName`;
    // its descriptor 3 writes to the file `descriptor3` when one is named.
    pid_t Launch(std::vector<std::string> args, const std::map<std::string, std::string>& env,
                 const std::string& logName, const std::string& descriptor3 = {}) const {
        return SpawnChild({.args = std::move(args),
                           .environment = EnvironmentWith(env),
                           .outPath = folder_ + "/" + logName,
                           .descriptor3 = descriptor3});
    }

    std::string folder_;
    std::string display_;
    std::string bus_;
    std::vector<pid_t> children_;
};

}  // namespace qel::test
