#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "PtyPeer.h"
#include "SimHex.h"
#include "Waits.h"

extern char** environ;

namespace qel {
namespace {

using test::PollUntil;
using test::PtyPeer;

constexpr int kWaitMs = 3000;

// qel-sim as a child process with pipes on its standard streams. The child is always ended.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args) {
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        args.insert(args.begin(), QEL_SIM_PROGRAM);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, QEL_SIM_PROGRAM, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        close(err[1]);
        stdin_ = in[1];
        stdout_ = out[0];
        stderr_ = err[0];
        fcntl(stdout_, F_SETFL, O_NONBLOCK);
        fcntl(stderr_, F_SETFL, O_NONBLOCK);
    }

    ~SimProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (const int fd : {stdin_, stdout_, stderr_}) {
            if (fd >= 0) close(fd);
        }
    }

    bool Started() const { return pid_ > 0; }

    // One line of its standard output, without the line end; empty after the timeout.
    std::string ReadLine(int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (outText_.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !ReadInto(stdout_, outText_, static_cast<int>(left.count()))) return {};
        }
        const std::size_t nl = outText_.find('\n');
        std::string line = outText_.substr(0, nl);
        outText_.erase(0, nl + 1);
        return line;
    }

    void Say(const std::string& line) { (void)!write(stdin_, (line + "\n").data(), line.size() + 1); }
    void CloseInput() {
        close(stdin_);
        stdin_ = -1;
    }
    void Signal(int signo) { kill(pid_, signo); }

    // The exit status once it ended within the timeout, else -1.
    int WaitExit(int timeoutMs) {
        int status = 0;
        if (!PollUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeoutMs)) return -1;
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Everything it wrote on standard error so far.
    std::string ErrorText() {
        while (ReadInto(stderr_, errText_, 50)) {
        }
        return errText_;
    }

private:
    static bool ReadInto(int fd, std::string& text, int timeoutMs) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return false;
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        text.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    bool exited_ = false;
    int stdin_ = -1, stdout_ = -1, stderr_ = -1;
    std::string outText_, errText_;
};

TEST(SimCli, PlaysAQel1FromCommandsOnStandardInput) {
    SimProcess sim({"--pty", "--device", "7", "--record", "300"});
    ASSERT_TRUE(sim.Started());
    const std::string path = sim.ReadLine(kWaitMs);
    ASSERT_FALSE(path.empty()) << sim.ErrorText();
    PtyPeer peer(path);
    ASSERT_TRUE(peer.IsOpen()) << path;

    sim.Say("send time=09:45 date=31.12.05 dose=12.5");
    EXPECT_EQ(HexText(peer.Read(15, kWaitMs)), "00 07 01 2C 45 09 31 12 05 00 00 0C 05 00 DB");

    // What it receives is logged in hex; it answers the last-record command.
    peer.Write(std::string("\x04\x52\x44\x00", 4));
    EXPECT_EQ(HexText(peer.Read(15, kWaitMs)), "00 07 01 2C 45 09 31 12 05 00 00 0C 05 00 DB");
    sim.Say("bogus");
    sim.CloseInput();
    EXPECT_EQ(sim.WaitExit(kWaitMs), 0);
    const std::string log = sim.ErrorText();
    EXPECT_NE(log.find("rx 4 bytes: 04 52 44 00"), std::string::npos) << log;
    EXPECT_NE(log.find("last byte at"), std::string::npos) << log;
    EXPECT_NE(log.find("unknown command \"bogus\""), std::string::npos) << log;
}

TEST(SimCli, PlaysAQel1mAndEndsOnASignalRemovingItsLink) {
    char folder[] = "/tmp/qel-sim-cli-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string link = std::string(folder) + "/qel1m";
    {
        SimProcess sim({"--link", link, "--type", "qel1m", "--value", "12.3", "--address", "1.23.45", "--no-stdin"});
        ASSERT_TRUE(sim.Started());
        const std::string path = sim.ReadLine(kWaitMs);
        ASSERT_FALSE(path.empty()) << sim.ErrorText();
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), path);
        PtyPeer peer(link);
        ASSERT_TRUE(peer.IsOpen());
        peer.Write(*ParseHexBytes("FF FF FF 01 01 01 06 01 01 00 2F 45 74 80 01 01 00 00 00"));
        const std::string reply = peer.Read(26, kWaitMs);
        ASSERT_EQ(reply.size(), 26u);
        EXPECT_EQ(HexText(reply.substr(3, 3)), "01 17 2D");
        EXPECT_EQ(HexText(reply.substr(16, 2)), "7B 04");

        sim.Signal(SIGTERM);
        EXPECT_EQ(sim.WaitExit(kWaitMs), 0);
        const std::string log = sim.ErrorText();
        EXPECT_NE(log.find("request, command 6"), std::string::npos) << log;
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::filesystem::remove_all(folder);
}

TEST(SimCli, WithoutStdinItSendsPeriodicallyUntilInterrupted) {
    SimProcess sim({"--every", "100", "--no-stdin", "--dose", "3.5"});
    ASSERT_TRUE(sim.Started());
    const std::string path = sim.ReadLine(kWaitMs);
    ASSERT_FALSE(path.empty()) << sim.ErrorText();
    PtyPeer peer(path);
    sim.CloseInput();  // not read at all
    const std::string three = peer.Read(45, kWaitMs);
    ASSERT_EQ(three.size(), 45u);
    // Record numbers count up; every packet checks.
    for (int i = 0; i < 3; ++i) {
        const std::string p = three.substr(static_cast<std::size_t>(i) * 15, 15);
        EXPECT_EQ(static_cast<unsigned char>(p[14]), Qel1Checksum(p.substr(0, 14)));
        EXPECT_EQ(static_cast<unsigned char>(p[3]) - static_cast<unsigned char>(three[3]), i);
        EXPECT_EQ(HexText(p.substr(10, 3)), "00 03 05");
    }
    EXPECT_EQ(sim.WaitExit(100), -1) << "still running";
    sim.Signal(SIGINT);
    EXPECT_EQ(sim.WaitExit(kWaitMs), 0);
}

TEST(SimCli, HelpAndBadOptions) {
    {
        SimProcess sim({"--help"});
        ASSERT_TRUE(sim.Started());
        EXPECT_EQ(sim.ReadLine(kWaitMs).rfind("qel-sim", 0), 0u);
        EXPECT_EQ(sim.WaitExit(kWaitMs), 0);
    }
    {
        SimProcess sim({"--reply-bytes", "19"});
        ASSERT_TRUE(sim.Started());
        EXPECT_EQ(sim.WaitExit(kWaitMs), 2);
        EXPECT_NE(sim.ErrorText().find("reply-bytes"), std::string::npos);
    }
    {
        SimProcess sim({"--port", "/nonexistent/tty"});
        ASSERT_TRUE(sim.Started());
        EXPECT_EQ(sim.WaitExit(kWaitMs), 1);
        EXPECT_NE(sim.ErrorText().find("/nonexistent/tty"), std::string::npos);
    }
}

}  // namespace
}  // namespace qel
