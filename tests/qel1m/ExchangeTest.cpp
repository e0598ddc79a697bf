// The exchange over a real pseudo-terminal: the driver opens the slave as COM1 (through the
// [Ports] section of the INI file), the simulator plays a QEL-1M on the master side.
#include "Exchange.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "DiBusModTransport.h"
#include "PortsOf.h"
#include "Qel1mProtocol.h"
#include "SerialPortDriver.h"
#include "SimHex.h"
#include "Simulator.h"
#include "TestFiles.h"
#include "numFormats.h"

namespace qel {
namespace {

using Ms = std::chrono::milliseconds;

long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - since).count());
}

// CPU time of the calling thread, in microseconds.
long ThreadCpuUs() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000L + u.ru_utime.tv_usec + u.ru_stime.tv_usec;
}

// A poll reply of the device at 1.23.45 with the value word 7B 04 (12.3).
std::string GoodPollReply() {
    std::string data(8, '\0');
    data[2] = 0x7B;
    data[3] = 0x04;
    return BuildFrame("1.1.1", "1.23.45", PollCommand, 1, data);
}

class PtyExchange : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        sim = Simulator::CreatePty("", error);
        ASSERT_TRUE(sim) << error;
        sim->SetType(SimDeviceType::Qel1m);
        sim->SetAddress(std::string("\x01\x17\x2D", 3));  // 1.23.45
        sim->SetValueWord(0x047B);
        test::WriteIni(folder / "QEL1_Agent.ini", test::PortsSection({sim->Path()}));
        driver.DevicePathOf = test::PortsOf(folder / "QEL1_Agent.ini");
        driver.SetComPort(pnCOM1);
        ASSERT_TRUE(driver.Connect());
        ASSERT_EQ(driver.InputTimeout(), 200u);
    }
    void TearDown() override { driver.Disconnect(); }

    // Puts bytes on the line and waits until the driver sees all of them waiting.
    void Preload(const std::string& bytes) {
        sim->SendBytes(bytes);
        const auto start = std::chrono::steady_clock::now();
        while (driver.InputCount() < bytes.size() && ElapsedMs(start) < 3000) std::this_thread::sleep_for(Ms(2));
        ASSERT_EQ(driver.InputCount(), bytes.size());
    }

    std::string PollWithReplyLength(int length, ReplyCorruption corruption = ReplyCorruption::None) {
        sim->SetReplyLength(PollCommand, length);
        sim->SetCorruption(corruption);
        return Exchange(driver, PollRequest());
    }

    test::TempFolder folder;
    std::unique_ptr<Simulator> sim;
    TSerialPortDriver driver;
};

TEST_F(PtyExchange, GoodPollReply) {
    const auto start = std::chrono::steady_clock::now();
    const std::string reply = Exchange(driver, PollRequest());
    const long took = ElapsedMs(start);
    EXPECT_EQ(HexText(reply), HexText(GoodPollReply()));
    ASSERT_EQ(reply.size(), 26u);
    EXPECT_EQ(FloatToText(DecodeScaledValue(ValueWord(reply)), ','), "12,3");
    EXPECT_EQ(AddressNumberText(reply), "3.45");
    // The device got the request byte for byte.
    ASSERT_TRUE(sim->WaitRequests(PollCommand, 1, 1000));
    EXPECT_EQ(HexText(sim->Requests().at(0)), "FF FF FF 01 01 01 06 01 01 00 2F 45 74 80 01 01 00 00 00");
    // One read: it ends a short confirming silence after the reply, well before the
    // input timeout.
    EXPECT_LT(took, 200);
}

// Connection 2 reads with an input timeout of 2 s; a good reply still ends the exchange
// soon after its last byte, while a device that says nothing costs the whole timeout.
TEST_F(PtyExchange, AGoodReplyDoesNotWaitForTheInputTimeout) {
    driver.SetInputTimeout(2000);
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Exchange(driver, PollRequest()).size(), 26u);
        EXPECT_LT(ElapsedMs(start), 1000);
    }
    sim->SetSilent(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Exchange(driver, PollRequest()), "");
    EXPECT_GE(ElapsedMs(start), 2000);
}

// A reply that pauses on the line is taken whole as long as each pause is shorter than the
// confirming silence; bytes that follow within it are judged with the reply.
TEST_F(PtyExchange, PausesInsideAReplyAndBytesAfterIt) {
    struct Case {
        const char* what;
        int length;
        SendOptions split;
        std::size_t expected;
    };
    const std::vector<Case> cases{
        {"10 ms after the header of a poll reply", 26, {{10}, 10, {}}, 26},
        {"10 ms twice inside a poll reply", 26, {{7, 7}, 10, {}}, 26},
        {"30 ms after the header checksum of a frame without data", 18, {{14}, 30, {}}, 18},
        {"30 ms before six bytes after a frame without data", 20, {{14}, 30, {}}, 20},
        {"one byte 20 ms after a poll reply", 26, {{26}, 20, std::string(1, '\0')}, 0},
        {"one byte right after a poll reply", 26, {{}, 0, std::string(1, '\0')}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim->SetReplySplit(c.split);
        EXPECT_EQ(PollWithReplyLength(c.length).size(), c.expected);
        // Nothing is left for the next exchange.
        EXPECT_EQ(driver.InputCount(), 0u);
    }
    // A byte that comes only after the confirming silence is no longer part of the reply:
    // it stays queued for whoever reads next.
    sim->SetReplySplit({{26}, 150, std::string(1, '\0')});
    EXPECT_EQ(PollWithReplyLength(26).size(), 26u);
    EXPECT_TRUE(sim->WaitIdle(2000));
    const auto start = std::chrono::steady_clock::now();
    while (driver.InputCount() < 1 && ElapsedMs(start) < 2000) std::this_thread::sleep_for(Ms(2));
    EXPECT_EQ(driver.InputCount(), 1u);
}

TEST_F(PtyExchange, FramesWithoutDataAreTakenWhateverFollows) {
    // Zeroing is answered in the short form, 14 bytes.
    std::string reply = Exchange(driver, ZeroRequest());
    EXPECT_EQ(reply.size(), 14u);
    EXPECT_EQ(reply.substr(10, 4), ChecksumBytes(reply.substr(0, 10)));
    EXPECT_EQ(HexText(reply.substr(6, 4)), "08 01 00 00");
    // Length 0 and the full form with its empty data checksum: 18 bytes.
    EXPECT_EQ(PollWithReplyLength(18).size(), 18u);
    // Length 0 followed by six more bytes: all 20 bytes, unchecked.
    reply = PollWithReplyLength(20);
    EXPECT_EQ(reply.size(), 20u);
    EXPECT_EQ(HexText(reply.substr(8, 2)), "00 00");
}

TEST_F(PtyExchange, NeitherTheCommandNorTheDestinationOfAReplyIsChecked) {
    sim->SetSilent(true);
    std::string data(8, '\0');
    data[2] = 0x7B;
    const std::string reply = BuildFrame("9.9.9", "1.23.45", ZeroCommand, 1, data);
    Preload(reply);
    EXPECT_EQ(HexText(Exchange(driver, PollRequest())), HexText(reply));
}

TEST_F(PtyExchange, RepliesThatFailTheChecksAreEmpty) {
    EXPECT_EQ(PollWithReplyLength(13), "");
    EXPECT_EQ(PollWithReplyLength(25), "");                                             // length 8, one byte short
    EXPECT_EQ(PollWithReplyLength(26, ReplyCorruption::ReversedHeaderChecksum), "");  // big-endian checksum
    EXPECT_EQ(PollWithReplyLength(26, ReplyCorruption::HeaderChecksum), "");
    EXPECT_EQ(PollWithReplyLength(26, ReplyCorruption::DataChecksum), "");
    EXPECT_EQ(PollWithReplyLength(14, ReplyCorruption::HeaderChecksum), "");
    // A frame of 9 data bytes is sound in itself, 27 bytes; the poll's caller rejects its size.
    EXPECT_EQ(PollWithReplyLength(27).size(), 27u);
    // Length 8 but 27 bytes on the line: not a frame.
    sim->SetSilent(true);
    Preload(GoodPollReply() + std::string(1, '\0'));
    EXPECT_EQ(Exchange(driver, PollRequest()), "");
    // Nothing at all: empty once the read's silence has passed the deadline.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Exchange(driver, PollRequest()), "");
    EXPECT_GE(ElapsedMs(start), 200);
}

TEST_F(PtyExchange, ReadsTakeAtMost280BytesAndGoOnFromThere) {
    sim->SetSilent(true);
    // 280 bytes of noise come back at once; the next read, within the deadline, finds the reply.
    Preload(std::string(280, '\x55') + GoodPollReply());
    EXPECT_EQ(HexText(Exchange(driver, PollRequest())), HexText(GoodPollReply()));
    EXPECT_EQ(driver.InputCount(), 0u);

    // 270 bytes of noise: the first read takes ten bytes of the reply with it, the rest fails.
    Preload(std::string(270, '\x55') + GoodPollReply());
    EXPECT_EQ(Exchange(driver, PollRequest()), "");
    EXPECT_EQ(driver.InputCount(), 0u);

    // A sound frame longer than one read cannot be received.
    Preload(BuildFrame("1.1.1", "1.23.45", PollCommand, 1, std::string(263, '\x01')));  // 281 bytes
    EXPECT_EQ(Exchange(driver, PollRequest()), "");
}

TEST_F(PtyExchange, LeftoverBytesSpoilTheNextExchange) {
    // The reply comes after the exchange has given up...
    sim->SetReplyDelay(400);
    EXPECT_EQ(Exchange(driver, PollRequest()), "");
    const auto start = std::chrono::steady_clock::now();
    while (driver.InputCount() < 26 && ElapsedMs(start) < 3000) std::this_thread::sleep_for(Ms(2));
    ASSERT_EQ(driver.InputCount(), 26u);
    // ...stays in the input queue, and is read together with the next reply.
    sim->SetReplyDelay(0);
    EXPECT_EQ(Exchange(driver, PollRequest()), "");
    // With the queue drained the next exchange succeeds again.
    EXPECT_EQ(Exchange(driver, PollRequest()).size(), 26u);
}

TEST(ClosedPortExchange, GivesUpAfterTheDeadlineWithoutBurningACore) {
    TSerialPortDriver driver;  // never connected: Read returns 0 at once
    const long cpuBefore = ThreadCpuUs();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Exchange(driver, PollRequest()), "");
    const long took = ElapsedMs(start);
    const long cpuUs = ThreadCpuUs() - cpuBefore;
    EXPECT_GE(took, 100);  // whole milliseconds: the deadline passes after 100.x ms
    EXPECT_LT(took, 1000);
    // Spinning would take about 100 ms of CPU; sleeping between attempts takes a few.
    EXPECT_LT(cpuUs, 30000) << "CPU " << cpuUs << " us over " << took << " ms";
}

// A clock that only moves when the exchange sleeps, starting just before the 32-bit wrap.
class SteppingClock : public Clock {
public:
    explicit SteppingClock(uint32_t start) : now_(start) {}
    uint32_t NowMs() override { return now_; }
    void SleepMs(uint32_t ms) override {
        now_ += ms;
        ++sleeps_;
    }
    int Sleeps() const { return sleeps_; }

private:
    uint32_t now_;
    int sleeps_ = 0;
};

TEST(ClosedPortExchange, AnElapsedTimeEqualToTheDeadlineGivesOneMoreAttempt) {
    TSerialPortDriver driver;
    SteppingClock clock(0xFFFFFFC0u);
    EXPECT_EQ(Exchange(driver, PollRequest(), clock), "");
    // Attempts at 0, 1, ..., 100 ms sleep afterwards; the attempt at 101 ms is the last.
    EXPECT_EQ(clock.Sleeps(), 101);
    EXPECT_EQ(clock.NowMs(), 0xFFFFFFC0u + 101u);
}

class FailingClock : public Clock {
public:
    uint32_t NowMs() override { throw std::runtime_error("clock failed"); }
    void SleepMs(uint32_t) override {}
};

TEST_F(PtyExchange, AFailureInsideIsAnEmptyReply) {
    FailingClock clock;
    std::string reply = "unchanged";
    EXPECT_NO_THROW(reply = Exchange(driver, PollRequest(), clock));
    EXPECT_EQ(reply, "");
    // The request had gone out before the failure.
    EXPECT_TRUE(sim->WaitRequests(PollCommand, 1, 1000));
}

}  // namespace
}  // namespace qel
