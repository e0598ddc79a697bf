// The driver's rules on a fake port and a manual clock: property assignment, queue
// arithmetic, the three timeouts (also across 2^31 and through 0) and packet cutting.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DriverInnerState_p.h"
#include "FakePort.h"
#include "SerialPortDriver.h"

namespace qel::test {
namespace {

using Inspect = DriverInnerState;

constexpr uint32_t kNone = 0xFFFFFFFFu;

class DriverRules : public ::testing::Test {
protected:
    explicit DriverRules(uint32_t start = 1000) : clock(start) {}

    void Make() {
        auto p = std::make_unique<FakePort>(clock);
        auto t = std::make_unique<ManualTicks>();
        port = p.get();
        ticks = t.get();
        driver = std::make_unique<TSerialPortDriver>(std::move(p), &clock, std::move(t));
    }
    void SetUp() override { Make(); }
    void Connect() { ASSERT_TRUE(driver->Connect()); }

    ManualClock clock;
    FakePort* port = nullptr;
    ManualTicks* ticks = nullptr;
    std::unique_ptr<TSerialPortDriver> driver;
};

TEST_F(DriverRules, PacketSizeAndBufferSizeKeepPacketsInsideTheBuffer) {
    driver->SetPacketSize(0);
    EXPECT_EQ(driver->PacketSize(), -1);
    driver->SetPacketSize(-5);
    EXPECT_EQ(driver->PacketSize(), -1);
    driver->SetPacketSize(2048);  // equal to the buffer: no raise
    EXPECT_EQ(driver->ComPortInBufSize(), 2048);
    driver->SetPacketSize(3000);
    EXPECT_EQ(driver->ComPortInBufSize(), 6000);
    EXPECT_EQ(Inspect::ReceiveBuffer(*driver).size(), 6000u);
    driver->SetPacketSize(32767);
    EXPECT_EQ(driver->ComPortInBufSize(), 65534);

    // A smaller buffer re-assigns the packet size, which raises the buffer again.
    driver->SetPacketSize(15);
    driver->SetComPortInBufSize(10);
    EXPECT_EQ(driver->ComPortInBufSize(), 30);
    EXPECT_EQ(Inspect::ReceiveBuffer(*driver).size(), 30u);
    driver->SetPacketSize(-1);
    driver->SetComPortInBufSize(0);
    EXPECT_EQ(Inspect::ReceiveBuffer(*driver).size(), 0u);
}

TEST_F(DriverRules, PacketTimeoutFollowsThePollingDelay) {
    driver->SetPacketTimeout(30);
    EXPECT_EQ(driver->PacketTimeout(), 200);
    driver->SetPacketTimeout(50);
    EXPECT_EQ(driver->PacketTimeout(), 50);
    driver->SetPacketTimeout(49);
    EXPECT_EQ(driver->PacketTimeout(), 200);
    driver->SetPacketTimeout(0);
    EXPECT_EQ(driver->PacketTimeout(), -1);

    driver->SetComPortPollingDelay(300);
    EXPECT_EQ(driver->PacketTimeout(), -1);
    driver->SetComPortPollingDelay(50);
    driver->SetPacketTimeout(100);
    driver->SetComPortPollingDelay(300);
    EXPECT_EQ(driver->PacketTimeout(), 450);
    driver->SetComPortPollingDelay(65535);
    EXPECT_EQ(driver->PacketTimeout(), 65685);
}

TEST_F(DriverRules, PollingDelayRestartsTheTimerOnlyWhenConnectedAndChanged) {
    driver->SetComPortPollingDelay(80);
    EXPECT_EQ(ticks->starts, 0);
    Connect();
    EXPECT_EQ(ticks->starts, 1);
    EXPECT_EQ(ticks->period, 80u);
    EXPECT_TRUE(Inspect::PollingActive(*driver));
    driver->SetComPortPollingDelay(80);
    EXPECT_EQ(ticks->starts, 1);
    EXPECT_EQ(ticks->stops, 0);
    driver->SetComPortPollingDelay(300);
    EXPECT_EQ(ticks->stops, 1);
    EXPECT_EQ(ticks->starts, 2);
    EXPECT_EQ(ticks->period, 300u);
    // A zero delay would fire on every pass of the event loop; the timer keeps a floor.
    driver->SetComPortPollingDelay(0);
    EXPECT_EQ(driver->ComPortPollingDelay(), 0);
    EXPECT_EQ(ticks->period, 10u);
    driver->Disconnect();
    EXPECT_FALSE(ticks->running);
    EXPECT_FALSE(Inspect::PollingActive(*driver));
}

TEST_F(DriverRules, WhileConnectedPortAndQueueSizesAreFixed) {
    driver->SetComPort(pnCOM5);
    Connect();
    driver->SetComPort(pnCOM7);
    driver->SetComPortInBufSize(100);
    driver->SetComPortOutBufSize(100);
    EXPECT_EQ(driver->ComPort(), pnCOM5);
    EXPECT_EQ(driver->ComPortInBufSize(), 2048);
    EXPECT_EQ(driver->ComPortOutBufSize(), 2048);
    // A packet larger than the buffer still grows it, so a packet read never overruns it.
    driver->SetPacketSize(3000);
    EXPECT_EQ(driver->PacketSize(), 3000);
    EXPECT_EQ(Inspect::ReceiveBuffer(*driver).size(), 6000u);
    driver->Disconnect();
    EXPECT_EQ(driver->ComPort(), pnCOM5);
    driver->SetComPort(pnCOM7);
    EXPECT_EQ(driver->ComPort(), pnCOM7);
}

TEST_F(DriverRules, LineSettingsReachThePortAndEveryChangePurgesBothQueues) {
    driver->SetComPortSpeed(br14400);  // not connected: stored only
    EXPECT_TRUE(port->configured.empty());
    Connect();
    ASSERT_EQ(port->configured.size(), 1u);
    EXPECT_EQ(port->configured[0].baudRate, 14400u);
    // The line by default: 8 data bits, no parity, one stop bit, no flow control.
    EXPECT_EQ(port->configured[0].dataBits, 8);
    EXPECT_EQ(port->configured[0].parity, 0);
    EXPECT_EQ(port->configured[0].stopBits, 0);
    EXPECT_FALSE(port->configured[0].xonXoff);
    EXPECT_FALSE(port->configured[0].rtsCtsFlow);
    EXPECT_TRUE(port->configured[0].rtsOn);
    EXPECT_TRUE(port->configured[0].dtrOn);
    ASSERT_EQ(port->purges.size(), 1u);
    EXPECT_EQ(port->purges[0], std::make_pair(true, true));

    driver->SetEnableDTROnOpen(false);
    EXPECT_EQ(port->configured.size(), 1u);  // only at the next ApplySettings
    driver->SetPacketSize(15);
    port->ArriveNow(Bytes(7));
    driver->PollTick();
    ASSERT_NE(Inspect::PacketBeginTick(*driver), kNone);

    driver->SetComPortDataBits(db7BITS);
    driver->SetComPortParity(ptMARK);
    driver->SetComPortStopBits(sb1HALFBITS);
    driver->SetComPortSwHandshaking(shXONXOFF);
    driver->SetComPortHwHandshaking(hhRTSCTS);
    ASSERT_EQ(port->configured.size(), 6u);
    EXPECT_EQ(port->purges.size(), 6u);
    EXPECT_TRUE(port->queued.empty());
    EXPECT_EQ(Inspect::PacketBeginTick(*driver), kNone);
    const LineSettings& s = port->configured.back();
    EXPECT_EQ(s.dataBits, 7);
    EXPECT_EQ(s.parity, 3);
    EXPECT_EQ(s.stopBits, 1);
    EXPECT_TRUE(s.xonXoff);
    EXPECT_TRUE(s.rtsCtsFlow);
    EXPECT_FALSE(s.dtrOn);
    driver->SetComPortHwHandshaking(hhNONE);
    EXPECT_FALSE(port->configured.back().rtsOn);
    EXPECT_FALSE(port->configured.back().rtsCtsFlow);
}

TEST_F(DriverRules, ConnectAndDisconnect) {
    port->openSucceeds = false;
    EXPECT_FALSE(driver->Connect());
    EXPECT_FALSE(driver->IsConnected());
    EXPECT_TRUE(port->configured.empty());
    EXPECT_EQ(ticks->starts, 0);
    driver->Disconnect();
    EXPECT_EQ(port->closes, 0);

    port->openSucceeds = true;
    Connect();
    EXPECT_TRUE(driver->Connect());
    EXPECT_EQ(port->opens, 2);  // the failed one and one real open
    EXPECT_EQ(port->configured.size(), 1u);
    EXPECT_EQ(ticks->starts, 1);

    // Disconnect neither purges nor forgets a partial packet.
    driver->SetPacketSize(15);
    port->ArriveNow(Bytes(3));
    driver->PollTick();
    const uint32_t begin = Inspect::PacketBeginTick(*driver);
    driver->Disconnect();
    EXPECT_EQ(port->purges.size(), 1u);
    EXPECT_EQ(Inspect::PacketBeginTick(*driver), begin);
    EXPECT_EQ(port->closes, 1);
    EXPECT_FALSE(driver->IsConnected());
}

TEST_F(DriverRules, QueriesOfAClosedOrFailingPort) {
    uint8_t buf[4] = {};
    EXPECT_EQ(driver->InputCount(), 65535u);
    EXPECT_EQ(driver->OutputFree(), 65535);
    EXPECT_EQ(driver->ModemLines(), 0u);
    EXPECT_EQ(driver->Read(buf, 4), 0u);
    EXPECT_EQ(driver->Send(buf, 4), 0u);
    EXPECT_TRUE(driver->SendText(""));
    EXPECT_FALSE(driver->SendText("x"));
    EXPECT_EQ(Inspect::PollHoldCount(*driver), 0);
    EXPECT_EQ(clock.now, 1000u);  // nothing waited

    Connect();
    port->outQueue = 48;
    EXPECT_EQ(driver->OutputFree(), 2000);
    port->outQueue = 150;  // more queued than the budget: 16-bit wrap, as the Windows driver computes it
    driver->Disconnect();
    driver->SetComPortOutBufSize(100);
    Connect();
    EXPECT_EQ(driver->OutputFree(), 65486);
    port->countsWork = false;
    port->ArriveNow(Bytes(5));
    EXPECT_EQ(driver->InputCount(), 0u);
    EXPECT_EQ(driver->OutputFree(), 100);

    port->modemLines = kModemCTS | kModemRLSD;
    EXPECT_EQ(driver->ModemLines(), (1u << mlCTS) | (1u << mlRLSD));
    port->modemLines = kModemDSR | kModemRING;
    EXPECT_EQ(driver->ModemLines(), (1u << mlDSR) | (1u << mlRING));
    port->modemWorks = false;
    EXPECT_EQ(driver->ModemLines(), 0u);

    driver->Purge(false, false);
    EXPECT_EQ(port->purges.back(), std::make_pair(false, false));
}

class DriverTimeouts : public DriverRules, public ::testing::WithParamInterface<uint32_t> {
protected:
    DriverTimeouts() : DriverRules(GetParam()) {}
};

TEST_P(DriverTimeouts, SendGivesUpOnlyAfterTimeoutWithoutProgress) {
    const uint32_t start = GetParam();
    Connect();
    port->accept = [](uint32_t) { return std::size_t{0}; };
    uint8_t data[8] = {};
    EXPECT_EQ(driver->Send(data, 8), 0u);
    EXPECT_EQ(clock.now - start, 501u);  // strictly more than OutputTimeout 500

    // One byte every 300 ms: slower than the whole call may last, but never silent for 500.
    uint32_t nextByte = clock.now + 300;
    port->accept = [&](uint32_t now) {
        if (static_cast<int32_t>(now - nextByte) < 0) return std::size_t{0};
        nextByte = now + 300;
        return std::size_t{1};
    };
    const uint32_t before = clock.now;
    EXPECT_EQ(driver->Send(data, 8), 8u);
    EXPECT_GE(clock.now - before, 8 * 300u);
    EXPECT_EQ(port->written.size(), 8u);
}

TEST_P(DriverTimeouts, ReadGivesUpOnlyAfterInputTimeoutOfSilence) {
    const uint32_t start = GetParam();
    Connect();
    uint8_t buf[16] = {};
    EXPECT_EQ(driver->Read(buf, 16), 0u);
    EXPECT_EQ(clock.now - start, 201u);

    // Pieces 150 ms apart: the call lasts 600 ms, the silence never exceeds 200. (At 110 Bd
    // the 16 bytes take 1455 ms on the line, so the whole call stays within its bound.)
    driver->SetComPortSpeed(br110);
    const uint32_t before = clock.now;
    for (uint32_t i = 1; i <= 4; ++i) port->ArriveAfter(150 * i, Bytes(4, static_cast<uint8_t>(4 * i)));
    EXPECT_EQ(driver->Read(buf, 16), 16u);
    EXPECT_EQ(clock.now - before, 600u);  // returns as soon as the count is there
    EXPECT_EQ(buf[0], 4);
    EXPECT_EQ(buf[15], 19);

    port->ArriveAfter(200, Bytes(2));
    port->ArriveAfter(402, Bytes(2));  // 202 ms after the previous piece: too late
    EXPECT_EQ(driver->Read(buf, 16), 2u);
    EXPECT_EQ(Inspect::PollHoldCount(*driver), 0);
}

TEST_P(DriverTimeouts, ATricklingLineEndsTheReadAtItsBound) {
    Connect();
    driver->SetComPortSpeed(br9600);
    uint8_t buf[280] = {};
    // A working device's reply comes well inside the bound and is read whole.
    port->ArriveAfter(5, Bytes(13, 0x55));
    EXPECT_EQ(driver->Read(buf, 13), 13u);

    // One byte every 100 ms, never silent for the 200 ms timeout. 280 bytes take 292 ms on
    // the line at 9600 Bd: the read ends strictly after 292 + 5 * 200 ms.
    for (uint32_t i = 1; i <= 100; ++i) port->ArriveAfter(100 * i, Bytes(1, static_cast<uint8_t>(i)));
    const uint32_t before = clock.now;
    EXPECT_EQ(driver->Read(buf, 280), 12u);
    EXPECT_EQ(clock.now - before, 1293u);
    EXPECT_EQ(buf[11], 12);
    EXPECT_EQ(Inspect::PollHoldCount(*driver), 0);
}

// A read told when its bytes are whole: it ends once they are and 40 ms pass without
// another byte; a byte within those 40 ms joins and is judged with the rest.
TEST_P(DriverTimeouts, AReadEndsAfterAConfirmingSilenceOnceItsBytesAreWhole) {
    Connect();
    uint8_t buf[16] = {};
    const auto fourOrMore = [](const uint8_t*, uint32_t n) { return n >= 4; };
    const auto exactlyFour = [](const uint8_t*, uint32_t n) { return n == 4; };
    struct Case {
        const char* what;
        std::vector<std::pair<uint32_t, uint32_t>> pieces;  // (ms after the call, bytes)
        bool exact;
        uint32_t got;
        uint32_t lastsMs;
    };
    const std::vector<Case> cases{
        {"whole, then silent", {{10, 4}}, false, 4, 10 + 41},
        {"not yet whole: the silence does not count", {{10, 3}, {150, 1}}, false, 4, 150 + 41},
        {"a piece 30 ms later joins", {{10, 4}, {40, 2}}, false, 6, 40 + 41},
        {"a piece 40 ms later still joins", {{10, 4}, {50, 2}}, false, 6, 50 + 41},
        {"a piece 42 ms later is left", {{10, 4}, {52, 2}}, false, 4, 10 + 41},
        {"a joining byte that spoils it: the input timeout", {{10, 4}, {40, 1}}, true, 5, 40 + 201},
        {"nothing: the input timeout", {}, false, 0, 201},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& [at, n] : c.pieces) port->ArriveAfter(at, Bytes(n, 0x11));
        const uint32_t before = clock.now;
        EXPECT_EQ(driver->ReadUntilComplete(buf, 16, c.exact ? exactlyFour : fourOrMore, 40), c.got);
        EXPECT_EQ(clock.now - before, c.lastsMs);
        EXPECT_EQ(Inspect::PollHoldCount(*driver), 0);
        port->queued.clear();
        port->arrivals.clear();
        clock.now += 100;
    }

    // Bytes that were waiting before the call may be left from before: alone they wait for
    // the input timeout; a byte that comes during the call may end it early again.
    port->ArriveNow(Bytes(4, 0x22));
    uint32_t before = clock.now;
    EXPECT_EQ(driver->ReadUntilComplete(buf, 16, fourOrMore, 40), 4u);
    EXPECT_EQ(clock.now - before, 201u);
    port->ArriveNow(Bytes(4, 0x22));
    port->ArriveAfter(20, Bytes(1, 0x33));
    before = clock.now;
    EXPECT_EQ(driver->ReadUntilComplete(buf, 16, fourOrMore, 40), 5u);
    EXPECT_EQ(clock.now - before, 20u + 41u);
    // Told that nothing is left from before, bytes all waiting at the start are the message.
    port->ArriveNow(Bytes(4, 0x22));
    before = clock.now;
    EXPECT_EQ(driver->ReadUntilComplete(buf, 16, fourOrMore, 40, 0), 4u);
    EXPECT_EQ(clock.now - before, 41u);
    // Told that two of them are: those two alone would not do, but all four are more.
    port->ArriveNow(Bytes(4, 0x22));
    before = clock.now;
    EXPECT_EQ(driver->ReadUntilComplete(buf, 16, fourOrMore, 40, 2), 4u);
    EXPECT_EQ(clock.now - before, 41u);
    port->ArriveNow(Bytes(4, 0x22));
    before = clock.now;
    EXPECT_EQ(driver->ReadUntilComplete(buf, 16, fourOrMore, 40, 4), 4u);
    EXPECT_EQ(clock.now - before, 201u);

    // Without a test of wholeness it is Read; the count asked for still ends it at once.
    port->ArriveAfter(10, Bytes(4, 0x44));
    before = clock.now;
    EXPECT_EQ(driver->ReadUntilComplete(buf, 16, nullptr, 40), 4u);
    EXPECT_EQ(clock.now - before, 10u + 201u);
    port->ArriveAfter(10, Bytes(4, 0x44));
    before = clock.now;
    EXPECT_EQ(driver->ReadUntilComplete(buf, 4, exactlyFour, 40), 4u);
    EXPECT_EQ(clock.now - before, 10u);
}

TEST_P(DriverTimeouts, PartialPacketFlushesAtTheFirstTickPastPacketTimeout) {
    Connect();
    driver->SetPacketSize(15);
    driver->SetPacketTimeout(200);
    driver->SetPacketMode(pmPass);
    std::vector<uint32_t> sizes;
    driver->OnReceivePacket = [&](TSerialPortDriver*, const uint8_t*, uint32_t n) { sizes.push_back(n); };
    port->ArriveNow(Bytes(7));
    driver->PollTick();
    const uint32_t begin = clock.now;
    EXPECT_EQ(Inspect::PacketBeginTick(*driver), begin);
    clock.now = begin + 200;
    driver->PollTick();
    EXPECT_TRUE(sizes.empty());
    clock.now = begin + 201;
    driver->PollTick();
    ASSERT_EQ(sizes, std::vector<uint32_t>{7});
    EXPECT_EQ(Inspect::PacketBeginTick(*driver), kNone);
    EXPECT_TRUE(port->queued.empty());
}

// Well below 2^31, just below it (the call crosses into the upper half) and just below
// 2^32 (the counter wraps through 0 during the call).
INSTANTIATE_TEST_SUITE_P(Counter, DriverTimeouts, ::testing::Values(1000u, 0x7FFFFF80u, 0xFFFFFF80u));

TEST_F(DriverRules, SendWithCheckLineStatus) {
    Connect();
    driver->SetCheckLineStatus(true);
    EXPECT_FALSE(driver->SendText("ab"));
    EXPECT_TRUE(port->written.empty());
    EXPECT_EQ(clock.now, 1000u);  // stopped at once
    port->modemLines = kModemDSR;
    EXPECT_TRUE(driver->SendText(std::string("\x04RD\0", 4)));
    EXPECT_EQ(port->written, (std::vector<uint8_t>{0x04, 0x52, 0x44, 0x00}));

    // No room: the line state is not looked at, the send waits out its timeout.
    port->modemLines = 0;
    port->outQueue = 2048;
    EXPECT_EQ(driver->Send("ab", 2), 0u);
    EXPECT_EQ(clock.now, 1000u + 501u);
}

TEST_F(DriverRules, ZeroOutputBudgetWaitsWithoutSpinning) {
    driver->SetComPortOutBufSize(0);
    Connect();
    EXPECT_EQ(driver->Send("abc", 3), 0u);
    EXPECT_EQ(clock.now, 1000u + 501u);
    EXPECT_TRUE(port->writeSizes.empty());
    // The loop slept between its looks at the queue, a few ms at a time.
    EXPECT_GE(clock.sleeps, 100);
    EXPECT_LE(port->queries, 260);
}

TEST_F(DriverRules, SendWritesAtMostTheRoomLeft) {
    Connect();
    port->outQueue = 2040;
    port->accept = [&](uint32_t) {
        port->outQueue = 2048;  // now full: the rest waits out the timeout
        return std::size_t{8};
    };
    std::vector<uint8_t> data = Bytes(20);
    EXPECT_EQ(driver->Send(data.data(), 20), 8u);
    ASSERT_FALSE(port->writeSizes.empty());
    EXPECT_EQ(port->writeSizes[0], 8u);
}

TEST_F(DriverRules, TicksDuringReadDoNothing) {
    Connect();
    int events = 0;
    driver->OnReceiveData = [&](TSerialPortDriver*, const uint8_t*, uint32_t) { ++events; };
    int32_t holdSeen = 0;
    port->duringWait = [&] {
        holdSeen = Inspect::PollHoldCount(*driver);
        port->ArriveNow(Bytes(1));
        ticks->tick();  // a tick that finds the byte waiting must leave it to the Read
    };
    uint8_t buf[3] = {};
    EXPECT_EQ(driver->Read(buf, 3), 3u);
    EXPECT_EQ(holdSeen, 1);
    EXPECT_EQ(events, 0);
    EXPECT_EQ(Inspect::PollHoldCount(*driver), 0);

    driver->HoldPolling();
    port->duringWait = nullptr;
    port->ArriveNow(Bytes(2));
    driver->PollTick();
    EXPECT_EQ(events, 0);
    driver->ReleasePolling();
    driver->PollTick();
    EXPECT_EQ(events, 1);
}

TEST_F(DriverRules, StreamTicksDeliverAtMostTheBufferAndLeaveTheRestQueued) {
    std::vector<uint32_t> sizes;
    TSerialPortDriver* sender = nullptr;
    const uint8_t* data = nullptr;
    driver->OnReceiveData = [&](TSerialPortDriver* s, const uint8_t* p, uint32_t n) {
        sender = s;
        data = p;
        sizes.push_back(n);
    };
    Connect();
    port->ArriveNow(Bytes(5000));
    for (int i = 0; i < 4; ++i) driver->PollTick();
    EXPECT_EQ(sizes, (std::vector<uint32_t>{2048, 2048, 904}));
    EXPECT_EQ(sender, driver.get());
    EXPECT_EQ(data, Inspect::ReceiveBuffer(*driver).data());
    EXPECT_EQ(Inspect::ReceiveBuffer(*driver)[903], static_cast<uint8_t>(4999));

    // Without a handler the bytes are consumed and dropped.
    driver->OnReceiveData = nullptr;
    port->ArriveNow(Bytes(10));
    driver->PollTick();
    EXPECT_TRUE(port->queued.empty());
}

TEST_F(DriverRules, HandlerMayReplaceItselfWhileRunning) {
    std::vector<std::size_t> seen;
    const std::string tag(64, 'h');  // a capture large enough to live on the heap
    driver->OnReceiveData = [this, tag, &seen](TSerialPortDriver*, const uint8_t*, uint32_t n) {
        driver->OnReceiveData = nullptr;
        seen.push_back(tag.size() + n);
    };
    Connect();
    port->ArriveNow(Bytes(1));
    driver->PollTick();
    EXPECT_EQ(seen, std::vector<std::size_t>{65});
}

TEST_F(DriverRules, ZeroSizeBufferDeliversNothingAndKeepsTheBytesForRead) {
    driver->SetComPortInBufSize(0);
    int events = 0;
    driver->OnReceiveData = [&](TSerialPortDriver*, const uint8_t*, uint32_t) { ++events; };
    Connect();
    port->ArriveNow(Bytes(6, 1));
    driver->PollTick();
    driver->PollTick();
    EXPECT_EQ(events, 0);
    EXPECT_TRUE(port->readSizes.empty());
    uint8_t buf[6] = {};
    EXPECT_EQ(driver->Read(buf, 6), 6u);
    EXPECT_EQ(buf[5], 6);
}

TEST_F(DriverRules, OneHandlerServesTwoDriversBySender) {
    auto p2 = std::make_unique<FakePort>(clock);
    FakePort* port2 = p2.get();
    TSerialPortDriver second(std::move(p2), &clock, nullptr);
    std::vector<std::pair<TSerialPortDriver*, uint32_t>> seen;
    auto handler = [&](TSerialPortDriver* s, const uint8_t*, uint32_t n) { seen.emplace_back(s, n); };
    driver->OnReceiveData = handler;
    second.OnReceiveData = handler;
    Connect();
    ASSERT_TRUE(second.Connect());
    port->ArriveNow(Bytes(3));
    port2->ArriveNow(Bytes(5));
    second.PollTick();
    driver->PollTick();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(&second, 5u));
    EXPECT_EQ(seen[1], std::make_pair(driver.get(), 3u));
}

TEST_F(DriverRules, PacketModeCutsWholePacketsAndTimesThePartialOne) {
    std::vector<uint32_t> packets;
    int dataEvents = 0;
    driver->OnReceivePacket = [&](TSerialPortDriver*, const uint8_t*, uint32_t n) { packets.push_back(n); };
    driver->OnReceiveData = [&](TSerialPortDriver*, const uint8_t*, uint32_t) { ++dataEvents; };
    driver->SetComPortSpeed(br4800);
    driver->SetPacketSize(15);
    Connect();

    port->ArriveNow(Bytes(40));
    driver->PollTick();
    EXPECT_EQ(packets, (std::vector<uint32_t>{15, 15}));
    EXPECT_EQ(port->queued.size(), 10u);
    EXPECT_EQ(Inspect::PacketBeginTick(*driver), kNone);
    clock.now += 50;
    driver->PollTick();
    EXPECT_EQ(Inspect::PacketBeginTick(*driver), clock.now);

    // Whole packets consumed while a partial one is timed move its start on by one
    // packet's transmission time each (15 bytes at 4800 Bd: 31 ms).
    const uint32_t begin = clock.now;
    port->ArriveNow(Bytes(27));  // 37 waiting: two packets and 7 bytes
    clock.now += 50;
    driver->PollTick();
    EXPECT_EQ(packets.size(), 4u);
    EXPECT_EQ(Inspect::PacketBeginTick(*driver), begin + 62);
    port->ArriveNow(Bytes(8));  // exactly one packet: the queue empties, the start is forgotten
    clock.now += 50;
    driver->PollTick();
    EXPECT_EQ(packets.size(), 5u);
    EXPECT_EQ(Inspect::PacketBeginTick(*driver), kNone);
    EXPECT_EQ(dataEvents, 0);

    // Without a packet timeout a partial packet waits for ever.
    port->ArriveNow(Bytes(3));
    for (int i = 0; i < 5; ++i, clock.now += 100000) driver->PollTick();
    EXPECT_EQ(packets.size(), 5u);
    EXPECT_EQ(port->queued.size(), 3u);
}

TEST_F(DriverRules, TimedOutPartialPacketIsDroppedInDiscardMode) {
    int packets = 0;
    driver->OnReceivePacket = [&](TSerialPortDriver*, const uint8_t*, uint32_t) { ++packets; };
    driver->SetPacketSize(15);
    driver->SetPacketTimeout(200);
    Connect();
    port->ArriveNow(Bytes(7));
    driver->PollTick();
    clock.now += 201;
    driver->PollTick();
    EXPECT_EQ(packets, 0);
    EXPECT_TRUE(port->queued.empty());
    EXPECT_EQ(Inspect::PacketBeginTick(*driver), kNone);
}

TEST_F(DriverRules, DefaultTickSourceComesFromTheInstalledFactory) {
    ManualTicks* made = nullptr;
    SetDefaultTickSourceFactory([&] {
        auto t = std::make_unique<ManualTicks>();
        made = t.get();
        return t;
    });
    auto p = std::make_unique<FakePort>(clock);
    TSerialPortDriver withFactory(std::move(p), &clock);
    SetDefaultTickSourceFactory(nullptr);
    ASSERT_NE(made, nullptr);
    ASSERT_TRUE(withFactory.Connect());
    EXPECT_TRUE(made->running);
    EXPECT_EQ(made->period, 50u);

    TSerialPortDriver withoutTicks(std::make_unique<FakePort>(clock), &clock);
    ASSERT_TRUE(withoutTicks.Connect());
    EXPECT_FALSE(Inspect::PollingActive(withoutTicks));
}

TEST(TransmitTime, TenBitsPerCharacterRoundedHalfToEven) {
    EXPECT_EQ(TransmitTime(br4800, 15), 31);   // 31.25
    EXPECT_EQ(TransmitTime(br9600, 15), 16);   // 15.625
    EXPECT_EQ(TransmitTime(br9600, 12), 12);   // 12.5
    EXPECT_EQ(TransmitTime(br9600, 36), 38);   // 37.5
    EXPECT_EQ(TransmitTime(br56000, 14), 2);   // 2.5
    EXPECT_EQ(TransmitTime(br110, 0), 0);
    EXPECT_EQ(TransmitTime(br110, 11), 1000);
    EXPECT_EQ(TransmitTime(br2400, -3), -12);  // -12.5
    EXPECT_EQ(TransmitTime(br110, 2147483647), 2147483647);
    const uint32_t rates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200};
    for (int i = 0; i <= br115200; ++i) EXPECT_EQ(BaudRateValue(static_cast<TComPortBaudRate>(i)), rates[i]);
}

}  // namespace
}  // namespace qel::test
