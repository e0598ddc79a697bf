#include <gtest/gtest.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "PtyPeer.h"
#include "Qel1Samples.h"
#include "Simulator.h"

namespace qel {
namespace {

using test::ExampleFields;
using test::kExamplePacket;
using test::PtyPeer;

constexpr int kWaitMs = 2000;

class SimQel1 : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        sim_ = Simulator::CreatePty("", error);
        ASSERT_TRUE(sim_) << error;
        peer_ = std::make_unique<PtyPeer>(sim_->Path());
        ASSERT_TRUE(peer_->IsOpen());
    }

    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<PtyPeer> peer_;
};

TEST_F(SimQel1, PacketFromFieldsArrivesWholeAndItsLastByteIsTimed) {
    const int64_t before = MonotonicNowNs();
    const uint64_t id = sim_->SendPacket(ExampleFields());
    EXPECT_EQ(peer_->Read(15, kWaitMs), kExamplePacket);
    const auto sent = sim_->WaitSent(id, kWaitMs);
    ASSERT_TRUE(sent);
    EXPECT_TRUE(sent->complete);
    EXPECT_EQ(sent->kind, SentKind::Packet);
    EXPECT_EQ(sent->bytes, kExamplePacket);
    EXPECT_GE(sent->lastByteNs, before);
    EXPECT_LE(sent->lastByteNs, MonotonicNowNs());
    EXPECT_EQ(peer_->Read(1, 100), "") << "nothing beyond the packet";
}

TEST_F(SimQel1, BadChecksumAndExtraBytes) {
    SendOptions options;
    options.extra = std::string("\xFF\xFF", 2);
    sim_->SendPacket(ExampleFields(), true, options);
    const std::string got = peer_->Read(17, kWaitMs);
    ASSERT_EQ(got.size(), 17u);
    EXPECT_EQ(got.substr(0, 14), kExamplePacket.substr(0, 14));
    EXPECT_NE(got[14], kExamplePacket[14]);
    EXPECT_EQ(got.substr(15), "\xFF\xFF");
    // The device's record itself is sound.
    EXPECT_EQ(sim_->LastRecord(), kExamplePacket);
}

TEST_F(SimQel1, PiecesComeWithTheirPauseBetween) {
    SendOptions options;
    options.pieces = {10, 3};
    options.pauseMs = 300;
    const uint64_t id = sim_->SendPacket(ExampleFields(), false, options);
    std::vector<int64_t> first, second, third;
    EXPECT_EQ(peer_->ReadTimed(10, kWaitMs, first), kExamplePacket.substr(0, 10));
    EXPECT_EQ(peer_->Read(1, 150), "") << "the second piece waits for the pause";
    EXPECT_EQ(peer_->ReadTimed(3, kWaitMs, second), kExamplePacket.substr(10, 3));
    EXPECT_EQ(peer_->ReadTimed(2, kWaitMs, third), kExamplePacket.substr(13));
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    ASSERT_FALSE(third.empty());
    EXPECT_GE(second.front() - first.back(), 250'000'000);
    EXPECT_GE(third.front() - second.back(), 250'000'000);
    const auto sent = sim_->WaitSent(id, kWaitMs);
    ASSERT_TRUE(sent);
    EXPECT_GE(sent->lastByteNs, third.front() - 50'000'000);
    EXPECT_LE(sent->lastByteNs, third.back() + 20'000'000);
}

TEST_F(SimQel1, PiecesLongerThanThePacketAreCut) {
    SendOptions options;
    options.pieces = {20, 5};
    options.pauseMs = 5000;
    const uint64_t id = sim_->SendPacket(ExampleFields(), false, options);
    EXPECT_EQ(peer_->Read(15, kWaitMs), kExamplePacket);
    ASSERT_TRUE(sim_->WaitSent(id, 500)) << "no pause after the last byte";
}

TEST_F(SimQel1, BaudRatePacesEveryByte) {
    sim_->SetBaud(4800);
    const int64_t start = MonotonicNowNs();
    const uint64_t id = sim_->SendPacket(ExampleFields());
    std::vector<int64_t> arrivals;
    EXPECT_EQ(peer_->ReadTimed(15, kWaitMs, arrivals), kExamplePacket);
    ASSERT_EQ(arrivals.size(), 15u);
    // 2.083 ms a byte: no byte comes before its last bit would have, (i + 1) byte times
    // after the start; a late reader only makes arrivals later.
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        EXPECT_GE(static_cast<double>(arrivals[i] - start) / 1e6, static_cast<double>(i + 1) * 2.083 - 0.1) << i;
    }
    EXPECT_LE(static_cast<double>(arrivals.back() - start) / 1e6, 15 * 2.083 + 250) << "gross slowness only; the rate is checked over a long run";
    const auto sent = sim_->WaitSent(id, kWaitMs);
    ASSERT_TRUE(sent);
    EXPECT_GE(static_cast<double>(sent->lastByteNs - start) / 1e6, 15 * 2.083 - 0.1);
    // Noted right after the write; the reader may have been quicker.
    EXPECT_LE(sent->lastByteNs, arrivals.back() + 20'000'000);
}

TEST_F(SimQel1, PacingKeepsToAbsoluteDeadlinesOverALongRun) {
    // 2000 bytes at 38400 Bd: 520.8 ms on the line. Sleeping a byte time after each write
    // would add up every oversleep (tens of microseconds, 2000 times); deadlines counted
    // from the start do not.
    sim_->SetBaud(38400);
    const std::string bytes(2000, '\x55');
    const int64_t start = MonotonicNowNs();
    const uint64_t id = sim_->SendBytes(bytes);
    EXPECT_EQ(peer_->Read(bytes.size(), kWaitMs), bytes);
    const auto sent = sim_->WaitSent(id, kWaitMs);
    ASSERT_TRUE(sent);
    const double lineMs = 2000 * 10 * 1000.0 / 38400;
    const double ms = static_cast<double>(sent->lastByteNs - start) / 1e6;
    EXPECT_GE(ms, lineMs * 0.99);
    EXPECT_LE(ms, lineMs + 200) << "a byte time slept after each write would add about 2000 x 0.2 ms";
}

TEST_F(SimQel1, PiecesWithBaudRateAddThePauseToTheLineTime) {
    sim_->SetBaud(4800);
    SendOptions options;
    options.pieces = {5};
    options.pauseMs = 100;
    const int64_t start = MonotonicNowNs();
    const uint64_t id = sim_->SendPacket(ExampleFields(), false, options);
    EXPECT_EQ(peer_->Read(15, kWaitMs), kExamplePacket);
    const auto sent = sim_->WaitSent(id, kWaitMs);
    ASSERT_TRUE(sent);
    const double ms = static_cast<double>(sent->lastByteNs - start) / 1e6;
    EXPECT_GE(ms, 100 + 15 * 2.083 * 0.95);
    EXPECT_LE(ms, 100 + 15 * 2.083 + 250);
}

TEST_F(SimQel1, LastRecordCommandRepeatsTheLastPacketWithARightChecksum) {
    sim_->SendPacket(ExampleFields(), true);
    ASSERT_EQ(peer_->Read(15, kWaitMs).size(), 15u);
    // The command split over two writes is still one command.
    peer_->Write(std::string("\x04\x52", 2));
    ASSERT_TRUE(sim_->WaitReceived(2, kWaitMs));
    peer_->Write(std::string("\x44\x00", 2));
    EXPECT_EQ(peer_->Read(15, kWaitMs), kExamplePacket);
    EXPECT_EQ(sim_->Received(), std::string("\x04\x52\x44\x00", 4));
    ASSERT_TRUE(sim_->WaitIdle(kWaitMs));
    const auto sent = sim_->Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].kind, SentKind::LastRecord);

    // Twice in one burst: two answers.
    peer_->Write(std::string("\x04\x52\x44\x00\x04\x52\x44\x00", 8));
    EXPECT_EQ(peer_->Read(30, kWaitMs), kExamplePacket + kExamplePacket);
}

TEST_F(SimQel1, NoAnswerWithoutARecordOrToOtherBytes) {
    peer_->Write(std::string("\x04\x52\x44\x00", 4));
    ASSERT_TRUE(sim_->WaitReceived(4, kWaitMs));
    peer_->Write(std::string("\x04\x52\x44\x01\x52\x44\x00", 7));
    ASSERT_TRUE(sim_->WaitReceived(11, kWaitMs));
    EXPECT_EQ(peer_->Read(1, 200), "");
    EXPECT_TRUE(sim_->Sent().empty());

    sim_->SetLastRecord(kExamplePacket);
    peer_->Write(std::string("\x04\x52\x44\x00", 4));
    EXPECT_EQ(peer_->Read(15, kWaitMs), kExamplePacket);
}

TEST_F(SimQel1, QelOneMDoesNotAnswerTheLastRecordCommand) {
    sim_->SetType(SimDeviceType::Qel1m);
    sim_->SetLastRecord(kExamplePacket);
    peer_->Write(std::string("\x04\x52\x44\x00", 4));
    ASSERT_TRUE(sim_->WaitReceived(4, kWaitMs));
    EXPECT_EQ(peer_->Read(1, 200), "");
}

TEST_F(SimQel1, RecordsEveryByteAndKeepsWorkingWhenThePeerReopens) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    peer_->Write(all);
    ASSERT_TRUE(sim_->WaitReceived(256, kWaitMs));
    EXPECT_EQ(sim_->Received(), all);

    peer_.reset();  // the program under test closes the port...
    peer_ = std::make_unique<PtyPeer>(sim_->Path());  // ...and opens it again
    ASSERT_TRUE(peer_->IsOpen());
    sim_->ClearReceived();
    peer_->Write("abc");
    ASSERT_TRUE(sim_->WaitReceived(3, kWaitMs));
    EXPECT_EQ(sim_->Received(), "abc");
    sim_->SendPacket(ExampleFields());
    EXPECT_EQ(peer_->Read(15, kWaitMs), kExamplePacket);
    EXPECT_FALSE(sim_->LineFailed());
}

TEST_F(SimQel1, ALargeBurstWaitsForTheReaderAndStopsCleanly) {
    // More than a terminal's input queue holds: the writer waits for room, without losing bytes.
    std::string burst;
    for (int i = 0; i < 20000; ++i) burst.push_back(static_cast<char>(i * 7));
    const uint64_t id = sim_->SendBytes(burst);
    EXPECT_EQ(peer_->Read(burst.size(), kWaitMs), burst);
    ASSERT_TRUE(sim_->WaitSent(id, kWaitMs));

    // A transmission nobody reads (more than the kernel's queues hold) is cut short when the
    // simulator ends.
    const std::string big(200000, 'x');
    sim_->SendBytes(big);
    sim_->SendBytes(big);
    EXPECT_FALSE(sim_->WaitIdle(300));
    const int64_t start = MonotonicNowNs();
    sim_.reset();
    EXPECT_LT(MonotonicNowNs() - start, 1'000'000'000);
}

TEST(SimLink, MadeRemovedAndNeverOverAnotherFile) {
    char folder[] = "/tmp/qel-sim-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::filesystem::path dir(folder);
    const std::string link = (dir / "port").string();
    std::string error;
    {
        // An old link is replaced.
        std::filesystem::create_symlink("/nonexistent", link);
        auto sim = Simulator::CreatePty(link, error);
        ASSERT_TRUE(sim) << error;
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim->Path());
        PtyPeer peer(link);
        ASSERT_TRUE(peer.IsOpen());
        sim->SendBytes("hi");
        EXPECT_EQ(peer.Read(2, kWaitMs), "hi");
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

    std::ofstream(link) << "keep me";
    EXPECT_FALSE(Simulator::CreatePty(link, error));
    EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
    std::ifstream in(link);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "keep me");
    std::filesystem::remove_all(dir);
}

TEST(SimPort, OpensARealTerminalExclusively) {
    // A pseudo-terminal made here plays the real port; the test holds its master side.
    int master = -1, slave = -1;
    char name[256];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    close(slave);
    PtyPeer far(master);
    std::string error;
    auto sim = Simulator::OpenPort(name, 9600, error);
    ASSERT_TRUE(sim) << error;
    EXPECT_EQ(sim->Path(), name);
    EXPECT_FALSE(Simulator::OpenPort(name, 9600, error)) << "a second open of the same port";
    EXPECT_FALSE(error.empty());

    sim->SendPacket(ExampleFields());
    EXPECT_EQ(far.Read(15, kWaitMs), kExamplePacket);
    far.Write(std::string("\x04\x52\x44\x00", 4));
    EXPECT_EQ(far.Read(15, kWaitMs), kExamplePacket);

    EXPECT_FALSE(Simulator::OpenPort("/nonexistent/tty", 9600, error));
}

}  // namespace
}  // namespace qel
