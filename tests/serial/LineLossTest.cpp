// A device that goes away under an open port, and the reasons a port would not open: on a
// fake port for the rules, on pseudo-terminals for what the system really reports.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FakePort.h"
#include "PortsOf.h"
#include "PtyDevice.h"
#include "SerialPortDriver.h"
#include "TestFiles.h"
#include "Waits.h"

namespace qel::test {
namespace {

class LossRules : public ::testing::Test {
protected:
    void SetUp() override {
        auto p = std::make_unique<FakePort>(clock);
        port = p.get();
        driver = std::make_unique<TSerialPortDriver>(std::move(p), &clock, std::make_unique<ManualTicks>());
        driver->OnLineLost = [this](TSerialPortDriver* sender) {
            EXPECT_EQ(sender, driver.get());
            ++losses;
        };
        driver->OnReceiveData = [this](TSerialPortDriver*, const uint8_t*, uint32_t n) { received += n; };
    }

    ManualClock clock{1000};
    FakePort* port = nullptr;
    std::unique_ptr<TSerialPortDriver> driver;
    int losses = 0;
    uint32_t received = 0;
};

TEST_F(LossRules, TheLossIsToldOnceAndTheDriverStaysConnectedTransferringNothing) {
    ASSERT_TRUE(driver->Connect());
    port->ArriveNow(Bytes(3));
    driver->PollTick();
    EXPECT_EQ(received, 3u);

    port->gone = true;
    port->ArriveNow(Bytes(5));
    for (int i = 0; i < 10; ++i) driver->PollTick();
    EXPECT_EQ(losses, 1);
    EXPECT_TRUE(driver->LineLost());
    EXPECT_TRUE(driver->IsConnected());
    EXPECT_EQ(received, 3u);
    // After the loss the tick no longer asks the port anything.
    const int checks = port->goneChecks, queries = port->queries;
    driver->PollTick();
    EXPECT_EQ(port->goneChecks, checks);
    EXPECT_EQ(port->queries, queries);

    // A new open starts afresh, and a new loss is told again.
    driver->Disconnect();
    EXPECT_FALSE(driver->LineLost());
    ASSERT_TRUE(driver->Connect());
    driver->PollTick();
    EXPECT_EQ(losses, 1);
    port->gone = true;
    driver->PollTick();
    driver->PollTick();
    EXPECT_EQ(losses, 2);
}

TEST_F(LossRules, NoLossIsToldWhileAReadHoldsPollingOrWithoutAHandler) {
    ASSERT_TRUE(driver->Connect());
    port->gone = true;
    driver->HoldPolling();
    driver->PollTick();
    EXPECT_EQ(losses, 0);
    driver->ReleasePolling();
    driver->PollTick();
    EXPECT_EQ(losses, 1);

    driver->OnLineLost = nullptr;
    driver->Disconnect();
    ASSERT_TRUE(driver->Connect());
    port->gone = true;
    driver->PollTick();
    EXPECT_TRUE(driver->LineLost());
}

TEST_F(LossRules, AFailedConnectKeepsThePathAndTheBackendsReason) {
    port->openSucceeds = false;
    port->openFailure = PortOpenFailure{PortOpenError::NoPermission, EACCES, "dialout"};
    EXPECT_FALSE(driver->Connect());
    EXPECT_EQ(driver->DevicePath(), "/dev/ttyS1");  // COM2, the default port
    EXPECT_EQ(driver->LastOpenFailure().reason, PortOpenError::NoPermission);
    EXPECT_EQ(driver->LastOpenFailure().group, "dialout");
    port->openSucceeds = true;
    EXPECT_TRUE(driver->Connect());
    EXPECT_EQ(driver->LastOpenFailure().reason, PortOpenError::None);
}

// Pseudo-terminals: the device end closed is what an unplugged adapter looks like.
class PtyLoss : public ::testing::Test {
protected:
    void MapCom1(const std::string& path) {
        WriteBytes(folder / "QEL1_Agent.ini", "[Ports]\r\nCOM1=" + path + "\r\n");
    }
    static void PointLink(const std::string& link, const std::string& target) {
        ::unlink(link.c_str());
        ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    }

    TempFolder folder;
};

TEST_F(PtyLoss, TheDriverAloneNoticesTheLossButDoesNotReconnect) {
    const std::string link = folder / "ttyUSB-by-id";
    auto first = std::make_unique<PtyDevice>();
    PointLink(link, first->SlavePath());
    MapCom1(link);
    TSerialPortDriver driver;
    driver.DevicePathOf = PortsOf(folder / "QEL1_Agent.ini");
    driver.SetComPort(pnCOM1);
    int losses = 0;
    std::vector<uint8_t> got;
    driver.OnLineLost = [&](TSerialPortDriver*) { ++losses; };
    driver.OnReceiveData = [&](TSerialPortDriver*, const uint8_t* p, uint32_t n) { got.insert(got.end(), p, p + n); };
    ASSERT_TRUE(driver.Connect());
    ASSERT_EQ(first->Send("A"), 1u);
    ASSERT_TRUE(PumpUntil(driver, [&] { return got.size() == 1; }));

    // The device vanishes: its end closes and the link goes.
    first.reset();
    ::unlink(link.c_str());
    ASSERT_TRUE(PumpUntil(driver, [&] { return losses > 0; }, 2000));
    // It comes back behind the same link, as another terminal; the driver stays where it was.
    PtyDevice second;
    PointLink(link, second.SlavePath());
    ASSERT_EQ(second.Send("B"), 1u);
    PumpUntil(driver, [] { return false; }, 500);
    uint8_t buffer[4];
    driver.SetInputTimeout(50);
    EXPECT_EQ(driver.Read(buffer, 4), 0u);
    EXPECT_FALSE(driver.SendText("x"));
    EXPECT_EQ(losses, 1);
    EXPECT_TRUE(driver.IsConnected());
    EXPECT_EQ(got, std::vector<uint8_t>({'A'}));

    // Only a new Connect, by its owner, reaches the returned device.
    driver.Disconnect();
    ASSERT_TRUE(driver.Connect());
    ASSERT_EQ(second.Send("C"), 1u);
    ASSERT_TRUE(PumpUntil(driver, [&] { return got.size() == 2; }));
    EXPECT_EQ(got.back(), 'C');
    EXPECT_FALSE(driver.LineLost());
}

TEST_F(PtyLoss, ARemovedDeviceNodeIsALoss) {
    // A device node of our own for the terminal, removed while open, as udev removes one.
    PtyDevice device;
    struct stat st {};
    ASSERT_EQ(::stat(device.SlavePath().c_str(), &st), 0);
    // A temporary folder may be mounted without device nodes; /dev never is.
    TSerialPortDriver driver;
    driver.DevicePathOf = PortsOf(folder / "QEL1_Agent.ini");
    driver.SetComPort(pnCOM1);
    std::string node;
    for (const std::string& candidate : {folder / "ttyNODE", "/dev/qel-test-" + std::to_string(::getpid())}) {
        if (::mknod(candidate.c_str(), S_IFCHR | 0600, st.st_rdev) != 0) continue;
        MapCom1(candidate);
        if (driver.Connect()) {
            node = candidate;
            break;
        }
        ::unlink(candidate.c_str());
    }
    if (node.empty()) GTEST_SKIP() << "no device node can be made and opened here";
    int losses = 0;
    driver.OnLineLost = [&](TSerialPortDriver*) { ++losses; };
    for (int i = 0; i < 5; ++i) driver.PollTick();
    EXPECT_EQ(losses, 0);
    ASSERT_EQ(::unlink(node.c_str()), 0);
    // The ticks look at the node once a second, not at every tick.
    const auto removed = std::chrono::steady_clock::now();
    while (losses == 0 && std::chrono::steady_clock::now() - removed < std::chrono::milliseconds(2500)) {
        driver.PollTick();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(losses, 1);
    EXPECT_LE(std::chrono::steady_clock::now() - removed, std::chrono::milliseconds(1500));
}

// What the backend says about a path that will not open. A child without privileges tries
// the permission case, since root opens whatever the file modes say.
PortOpenFailure OpenAs(const std::string& path, bool dropPrivileges) {
    if (!dropPrivileges) {
        auto backend = MakeSystemPortBackend();
        EXPECT_FALSE(backend->Open(path));
        return backend->LastOpenFailure();
    }
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const gid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0) ::_exit(3);
        auto backend = MakeSystemPortBackend();
        const bool opened = backend->Open(path);
        const PortOpenFailure failure = backend->LastOpenFailure();
        const std::string answer = std::to_string(opened ? -1 : static_cast<int>(failure.reason)) + " " +
                                   std::to_string(failure.systemError) + " " + failure.group;
        (void)!::write(fds[1], answer.data(), answer.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string answer;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) answer.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    PortOpenFailure failure;
    int reason = -1;
    char group[128] = {};
    if (std::sscanf(answer.c_str(), "%d %d %127s", &reason, &failure.systemError, group) >= 2 && reason >= 0)
        failure.reason = static_cast<PortOpenError>(reason);
    failure.group = group;
    return failure;
}

TEST_F(PtyLoss, AFailedOpenSaysWhy) {
    PtyDevice device;
    WriteBytes(folder / "plain", "no terminal");
    ::symlink((folder / "gone").c_str(), (folder / "dangling").c_str());

    struct Case {
        std::string what;
        std::string path;
        PortOpenError reason;
    };
    const std::vector<Case> cases{
        {"no such file", folder / "missing", PortOpenError::Missing},
        {"a link to nothing", folder / "dangling", PortOpenError::Missing},
        {"a plain file", folder / "plain", PortOpenError::NotTerminal},
        {"a folder", folder.Path(), PortOpenError::NotTerminal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(OpenAs(c.path, false).reason, c.reason);
    }

    // Held by another program (here: another backend of this one).
    auto holder = MakeSystemPortBackend();
    ASSERT_TRUE(holder->Open(device.SlavePath()));
    EXPECT_EQ(OpenAs(device.SlavePath(), false).reason, PortOpenError::Busy);
    holder->Close();
}

TEST_F(PtyLoss, NoPermissionNamesTheGroupThatOwnsTheDevice) {
    PtyDevice device;
    const std::string path = device.SlavePath();
    PortOpenFailure failure;
    std::string expectedGroup;
    if (::geteuid() == 0) {
        // The terminal made to look like a serial port of a usual system, opened by a user
        // outside its group.
        const group* dialout = ::getgrnam("dialout");
        const gid_t gid = dialout != nullptr ? dialout->gr_gid : 20;
        ASSERT_EQ(::chown(path.c_str(), 0, gid), 0);
        ASSERT_EQ(::chmod(path.c_str(), 0660), 0);
        const group* owner = ::getgrgid(gid);
        expectedGroup = owner != nullptr ? owner->gr_name : "";
        failure = OpenAs(path, true);
    } else {
        const std::string locked = folder / "locked";
        WriteBytes(locked, "");
        ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
        struct stat st {};
        ASSERT_EQ(::stat(locked.c_str(), &st), 0);
        const group* owner = ::getgrgid(st.st_gid);
        expectedGroup = owner != nullptr ? owner->gr_name : "";
        failure = OpenAs(locked, false);
    }
    EXPECT_EQ(failure.reason, PortOpenError::NoPermission);
    EXPECT_EQ(failure.systemError, EACCES);
    EXPECT_EQ(failure.group, expectedGroup);
}

}  // namespace
}  // namespace qel::test
