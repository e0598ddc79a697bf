// The driver on real pseudo-terminals: the test plays the device on the master side, the
// driver opens the slave as port COM1 through the [Ports] section of the INI file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DriverInnerState_p.h"
#include "FakePort.h"
#include "PortsOf.h"
#include "PtyDevice.h"
#include "SerialPortDriver.h"
#include "TestFiles.h"
#include "TimerLoop.h"
#include "Waits.h"

namespace qel::test {
namespace {

using Inspect = DriverInnerState;

// CPU time (user and system) this process has used, in ms.
long CpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000L + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000L;
}

std::vector<uint8_t> Append(std::vector<uint8_t>& to, const uint8_t* p, uint32_t n) {
    to.insert(to.end(), p, p + n);
    return to;
}

class PtyDriver : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(folder / "plain", "not a terminal");
        WriteIni("COM1=" + device.SlavePath() + "\r\nCOM3=" + folder / "missing" + "\r\ncom4 = " +
                 folder / "plain" + "\r\n");
        driver.DevicePathOf = PortsOf(folder / "QEL1_Agent.ini");
        driver.SetComPort(pnCOM1);
    }
    void TearDown() override { driver.Disconnect(); }
    void WriteIni(const std::string& ports) {
        WriteBytes(folder / "QEL1_Agent.ini", "[QEL1_Agent]\r\nComPort1=0\r\n[Ports]\r\n" + ports);
    }

    TempFolder folder;
    PtyDevice device;
    TSerialPortDriver driver;
};

TEST_F(PtyDriver, OpeningIsExclusiveAndAFailedOpenChangesNothing) {
    TSerialPortDriver other;
    other.DevicePathOf = PortsOf(folder / "QEL1_Agent.ini");
    for (auto port : {pnCOM3, pnCOM4}) {  // missing device, then a plain file
        other.SetComPort(port);
        EXPECT_FALSE(other.Connect());
        EXPECT_FALSE(other.IsConnected());
        EXPECT_EQ(other.InputCount(), 65535u);
        other.Disconnect();
    }

    ASSERT_TRUE(driver.Connect());
    EXPECT_EQ(driver.ModemLines(), 0u);  // pseudo-terminals have no modem lines
    other.SetComPort(pnCOM1);
    EXPECT_FALSE(other.Connect());  // held by the first driver, also for root

    // Connect on a connected driver neither re-opens nor purges what is waiting.
    ASSERT_EQ(device.Send("abc"), 3u);
    ASSERT_TRUE(PollUntil([&] { return driver.InputCount() == 3; }, 3000, 2));
    EXPECT_TRUE(driver.Connect());
    EXPECT_EQ(driver.InputCount(), 3u);

    driver.Disconnect();
    EXPECT_TRUE(other.Connect());
}

TEST_F(PtyDriver, StreamTicksDeliverPiecesAsTheyArrive) {
    TimerLoop loop;
    TSerialPortDriver ticking(nullptr, nullptr, loop.MakeTickSource());
    ticking.DevicePathOf = PortsOf(folder / "QEL1_Agent.ini");
    ticking.SetComPort(pnCOM1);
    ticking.SetComPortPollingDelay(20);
    std::vector<uint8_t> got;
    int wrongOrigin = 0;
    ticking.OnReceiveData = [&](TSerialPortDriver* sender, const uint8_t* p, uint32_t n) {
        if (sender != &ticking || p != Inspect::ReceiveBuffer(ticking).data()) ++wrongOrigin;
        Append(got, p, n);
    };
    ASSERT_TRUE(ticking.Connect());
    ASSERT_TRUE(Inspect::PollingActive(ticking));
    const std::vector<std::string> pieces = {std::string("\x55\x01\x02", 3), std::string(1, '\0'),
                                             "\r\n\x11\x13\x7f", std::string("\xff\x80", 2)};
    std::vector<uint8_t> sent;
    for (const auto& piece : pieces) {
        ASSERT_EQ(device.Send(piece), piece.size());
        sent.insert(sent.end(), piece.begin(), piece.end());
        EXPECT_TRUE(loop.RunUntil([&] { return got.size() == sent.size(); }, 3000));
    }
    // Raw bytes: no echo, no line-end or flow-control translation.
    EXPECT_EQ(got, sent);
    EXPECT_EQ(wrongOrigin, 0);
    EXPECT_TRUE(device.Receive(1, 50).empty());
}

TEST_F(PtyDriver, BurstArrivesInChunksNoLargerThanTheBuffer) {
    driver.SetComPortInBufSize(1000);
    std::vector<uint8_t> got;
    std::vector<uint32_t> chunks;
    driver.OnReceiveData = [&](TSerialPortDriver*, const uint8_t* p, uint32_t n) {
        chunks.push_back(n);
        Append(got, p, n);
    };
    ASSERT_TRUE(driver.Connect());
    const std::vector<uint8_t> burst = Bytes(5000, 7);
    ASSERT_EQ(device.Send(burst), burst.size());
    ASSERT_TRUE(PollUntil([&] { return driver.InputCount() >= 1000; }, 3000, 2));
    driver.PollTick();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], 1000u);
    ASSERT_TRUE(PumpUntil(driver, [&] { return got.size() >= burst.size(); }));
    EXPECT_EQ(got, burst);
    for (uint32_t n : chunks) EXPECT_LE(n, 1000u);
}

TEST_F(PtyDriver, ReadEndsAtItsCountOrAfterInputTimeoutOfSilence) {
    driver.SetInputTimeout(150);
    driver.SetComPortSpeed(br110);  // 10 bytes take 909 ms on the line: within the call's bound
    ASSERT_TRUE(driver.Connect());
    // Five pieces 60 ms apart: longer in all than the timeout, never silent that long.
    std::thread player([&] {
        for (int i = 0; i < 5; ++i) {
            ::usleep(60000);
            device.Send(std::vector<uint8_t>{static_cast<uint8_t>(2 * i), static_cast<uint8_t>(2 * i + 1)});
        }
    });
    uint8_t buf[16] = {};
    long start = PtyDevice::Now();
    const uint32_t n = driver.Read(buf, 10);
    const long took = PtyDevice::Now() - start;
    player.join();
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(buf[9], 9);
    EXPECT_GE(took, 250);
    EXPECT_EQ(Inspect::PollHoldCount(driver), 0);

    ASSERT_EQ(device.Send("xyz"), 3u);
    start = PtyDevice::Now();
    EXPECT_EQ(driver.Read(buf, 16), 3u);
    const long silent = PtyDevice::Now() - start;
    EXPECT_GT(silent, 150);
    EXPECT_LT(silent, 1000);
}

TEST_F(PtyDriver, ATricklingLineCannotHoldAReadLongerThanItsBound) {
    driver.SetInputTimeout(200);
    driver.SetComPortSpeed(br9600);
    ASSERT_TRUE(driver.Connect());
    // One stray byte every 100 ms for up to 5 s; the read asks for 280 bytes, which take
    // 292 ms at 9600 Bd, so it must end after about 292 + 5 * 200 ms.
    std::atomic<bool> stop{false};
    std::thread player([&] {
        for (int i = 0; i < 50 && !stop; ++i) {
            ::usleep(100000);
            device.Send(std::vector<uint8_t>{0x5A});
        }
    });
    uint8_t buf[280] = {};
    const long start = PtyDevice::Now();
    const uint32_t n = driver.Read(buf, 280);
    const long took = PtyDevice::Now() - start;
    stop = true;
    player.join();
    EXPECT_GT(took, 1292);
    EXPECT_LT(took, 2200);
    EXPECT_GE(n, 10u);
    EXPECT_LE(n, 15u);
}

TEST_F(PtyDriver, ALongReadForNothingSleepsInsteadOfSpinning) {
    driver.SetInputTimeout(2000);
    ASSERT_TRUE(driver.Connect());
    uint8_t buf[15];
    const long cpu0 = CpuMs();
    const long start = PtyDevice::Now();
    EXPECT_EQ(driver.Read(buf, 15), 0u);
    const long wall = PtyDevice::Now() - start;
    const long cpu = CpuMs() - cpu0;
    std::cout << "Read of 2000 ms for nothing: " << wall << " ms wall, " << cpu << " ms CPU ("
              << 100.0 * static_cast<double>(cpu) / static_cast<double>(wall) << " % of a core)\n";
    RecordProperty("read_cpu_ms", static_cast<int>(cpu));
    EXPECT_GT(wall, 2000);
    EXPECT_LT(wall, 3000);
    EXPECT_LT(cpu * 100, wall * 5);
}

TEST_F(PtyDriver, SendTextArrivesWholeAtTheFarEnd) {
    ASSERT_TRUE(driver.Connect());
    EXPECT_TRUE(driver.SendText(std::string("\x04\x52\x44\x00", 4)));
    EXPECT_EQ(device.Receive(5, 300), (std::vector<uint8_t>{0x04, 0x52, 0x44, 0x00}));
    EXPECT_GT(driver.OutputFree(), 0);
}

TEST_F(PtyDriver, PurgeDiscardsPendingInput) {
    std::vector<uint8_t> got;
    driver.OnReceiveData = [&](TSerialPortDriver*, const uint8_t* p, uint32_t n) { Append(got, p, n); };
    ASSERT_TRUE(driver.Connect());
    ASSERT_EQ(device.Send("stale"), 5u);
    ASSERT_TRUE(PollUntil([&] { return driver.InputCount() == 5; }, 3000, 2));
    driver.Purge(true, false);
    EXPECT_EQ(driver.InputCount(), 0u);
    driver.PollTick();
    EXPECT_TRUE(got.empty());
    ASSERT_EQ(device.Send("XY"), 2u);
    ASSERT_TRUE(PumpUntil(driver, [&] { return got.size() >= 2; }));
    EXPECT_EQ(got, (std::vector<uint8_t>{'X', 'Y'}));
}

TEST_F(PtyDriver, HandlerCollectsTheRestOfASplitPacketWithRead) {
    std::vector<uint8_t> packet;
    driver.OnReceiveData = [&](TSerialPortDriver* sender, const uint8_t* p, uint32_t n) {
        Append(packet, p, n);
        uint8_t rest[15];
        if (n < 15) Append(packet, rest, sender->Read(rest, 15 - n));
    };
    ASSERT_TRUE(driver.Connect());
    const std::vector<uint8_t> whole = Bytes(15, 0x30);
    ASSERT_EQ(device.Send(std::vector<uint8_t>(whole.begin(), whole.begin() + 6)), 6u);
    std::thread player([&] {
        ::usleep(80000);
        device.Send(std::vector<uint8_t>(whole.begin() + 6, whole.end()));
    });
    const bool done = PumpUntil(driver, [&] { return !packet.empty(); });
    player.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(packet, whole);
}

TEST_F(PtyDriver, FarEndClosingLeavesTheDriverConnectedAndIdle) {
    driver.SetInputTimeout(300);
    std::vector<uint8_t> got;
    driver.OnReceiveData = [&](TSerialPortDriver*, const uint8_t* p, uint32_t n) { Append(got, p, n); };
    ASSERT_TRUE(driver.Connect());
    ASSERT_EQ(device.Send("last"), 4u);
    ASSERT_TRUE(PollUntil([&] { return driver.InputCount() == 4; }, 3000, 2));
    device.Close();

    const long cpu0 = CpuMs();
    const long start = PtyDevice::Now();
    for (int i = 0; i < 20; ++i) driver.PollTick();
    uint8_t buf[8];
    const uint32_t read = driver.Read(buf, 8);
    EXPECT_FALSE(driver.SendText("hello"));
    const long wall = PtyDevice::Now() - start;
    const long cpu = CpuMs() - cpu0;

    EXPECT_TRUE(driver.IsConnected());
    EXPECT_LE(got.size() + read, 4u);
    EXPECT_GT(wall, 300 + 500);  // both waits ran their full timeouts
    EXPECT_LT(wall, 3000);
    EXPECT_LT(cpu * 100, wall * 10);
    driver.Disconnect();
    EXPECT_FALSE(driver.IsConnected());
}

}  // namespace
}  // namespace qel::test
