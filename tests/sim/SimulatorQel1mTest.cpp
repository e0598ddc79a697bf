#include <gtest/gtest.h>

#include "DiBusModTransport.h"
#include "PtyPeer.h"
#include "SimHex.h"
#include "SimValueWord.h"
#include "numFormats.h"
#include "Simulator.h"

namespace qel {
namespace {

using test::PtyPeer;

constexpr int kWaitMs = 2000;
const std::string kPoll = *ParseHexBytes("FF FF FF 01 01 01 06 01 01 00 2F 45 74 80 01 01 00 00 00");
const std::string kZero = *ParseHexBytes("FF FF FF 01 01 01 08 01 01 00 2F 85 75 80 01 01 00 00 00");

bool HeaderChecks(const std::string& frame) {
    return frame.size() >= 14 && ChecksumBytes(frame.substr(0, 10)) == frame.substr(10, 4);
}

class SimQel1m : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        sim_ = Simulator::CreatePty("", error);
        ASSERT_TRUE(sim_) << error;
        sim_->SetType(SimDeviceType::Qel1m);
        sim_->SetAddress(ParseDeviceAddress("1.23.45"));
        sim_->SetValueWord(0x047B);
        peer_ = std::make_unique<PtyPeer>(sim_->Path());
        ASSERT_TRUE(peer_->IsOpen());
    }

    // Sends a request and collects what comes back until the line is quiet for quietMs.
    std::string Ask(const std::string& request, int quietMs = 200) {
        peer_->Write(request);
        return peer_->Read(1000, quietMs);
    }

    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<PtyPeer> peer_;
};

TEST_F(SimQel1m, PollIsAnsweredWithTheValueAndAddress) {
    const std::string reply = Ask(kPoll);
    ASSERT_EQ(reply.size(), 26u);
    EXPECT_TRUE(HeaderChecks(reply));
    EXPECT_EQ(ChecksumBytes(reply.substr(14, 8)), reply.substr(22, 4));
    EXPECT_EQ(reply.substr(3, 3), std::string("\x01\x17\x2D", 3));
    EXPECT_EQ(ValueWord(reply), 0x047B);
    EXPECT_EQ(sim_->RequestCount(6), 1u);
    EXPECT_EQ(sim_->RequestCount(8), 0u);
    ASSERT_EQ(sim_->Requests().size(), 1u);
    EXPECT_EQ(sim_->Requests()[0], kPoll);

    // The value changes while it runs.
    ASSERT_TRUE(sim_->SetValue(1.23));
    EXPECT_EQ(ValueWord(Ask(kPoll)), 0x007B);
    EXPECT_EQ(sim_->RequestCount(6), 2u);
}

TEST_F(SimQel1m, ZeroingIsAnsweredShortAndZeroesTheValue) {
    const std::string reply = Ask(kZero);
    ASSERT_EQ(reply.size(), 14u);
    EXPECT_TRUE(HeaderChecks(reply));
    EXPECT_EQ(reply[6], 8);
    EXPECT_EQ(reply[8], 0);
    EXPECT_EQ(reply[9], 0);
    EXPECT_EQ(sim_->RequestCount(8), 1u);
    EXPECT_EQ(sim_->ValueWord(), 0);
    EXPECT_EQ(ValueWord(Ask(kPoll)), 0);
}

TEST_F(SimQel1m, ReplyLengthsForPollAndZeroing) {
    for (const int length : {13, 14, 18, 20, 25, 26, 27}) {
        sim_->SetReplyLength(6, length);
        const std::string reply = Ask(kPoll);
        EXPECT_EQ(reply.size(), static_cast<std::size_t>(length));
        if (length >= 14) {
            EXPECT_TRUE(HeaderChecks(reply)) << length;
        }
    }
    sim_->SetReplyLength(8, 18);
    const std::string zero = Ask(kZero);
    ASSERT_EQ(zero.size(), 18u);
    EXPECT_EQ(zero.substr(14), std::string(4, '\0'));
    EXPECT_EQ(sim_->RequestCount(6), 7u);
}

TEST_F(SimQel1m, SilentDeviceCountsButNeitherAnswersNorZeroes) {
    sim_->SetSilent(true);
    EXPECT_EQ(Ask(kPoll), "");
    EXPECT_EQ(Ask(kZero), "");
    EXPECT_EQ(sim_->RequestCount(6), 1u);
    EXPECT_EQ(sim_->RequestCount(8), 1u);
    EXPECT_EQ(sim_->ValueWord(), 0x047B);
    EXPECT_TRUE(sim_->Sent().empty());
    sim_->SetSilent(false);
    EXPECT_EQ(Ask(kPoll).size(), 26u);
}

TEST_F(SimQel1m, LateAnswerComesAfterTheDelay) {
    sim_->SetReplyDelay(300);
    peer_->Write(kPoll);
    ASSERT_TRUE(sim_->WaitRequests(6, 1, kWaitMs));
    const int64_t asked = MonotonicNowNs();
    EXPECT_EQ(peer_->Read(1, 200), "") << "not yet";
    std::vector<int64_t> arrivals;
    EXPECT_EQ(peer_->ReadTimed(26, kWaitMs, arrivals).size(), 26u);
    ASSERT_FALSE(arrivals.empty());
    EXPECT_GE(arrivals.front() - asked, 250'000'000);
    EXPECT_LE(arrivals.front() - asked, 800'000'000);
}

TEST_F(SimQel1m, CorruptedChecksums) {
    sim_->SetCorruption(ReplyCorruption::HeaderChecksum);
    EXPECT_FALSE(HeaderChecks(Ask(kPoll)));
    sim_->SetCorruption(ReplyCorruption::ReversedHeaderChecksum);
    const std::string reversed = Ask(kPoll);
    ASSERT_EQ(reversed.size(), 26u);
    const std::string header = reversed.substr(0, 10);
    const std::string sum = ChecksumBytes(header);
    EXPECT_EQ(reversed.substr(10, 4), std::string(sum.rbegin(), sum.rend()));
    sim_->SetCorruption(ReplyCorruption::DataChecksum);
    const std::string data = Ask(kPoll);
    EXPECT_TRUE(HeaderChecks(data));
    EXPECT_NE(ChecksumBytes(data.substr(14, 8)), data.substr(22, 4));
}

TEST_F(SimQel1m, ReplySettingsTakeEffectTogether) {
    Qel1mReplySettings settings;
    settings.address = std::string("\x09\x7B", 2);  // padded to 9.123.0
    settings.replyLength = {{6, 27}, {8, 19}};      // 19 is no reply length: zeroing is not answered
    settings.replySplit = {{}, 0, std::string(1, '\0')};
    sim_->SetReplySettings(settings);
    EXPECT_EQ(sim_->Address(), std::string("\x09\x7B\x00", 3));

    const std::string reply = Ask(kPoll);
    ASSERT_EQ(reply.size(), 28u);  // 27 bytes and the one byte after them
    EXPECT_EQ(AddressText(reply.substr(3, 3)), "9.123.0");
    EXPECT_EQ(Ask(kZero), "");
    EXPECT_EQ(sim_->RequestCount(8), 1u);
    EXPECT_EQ(sim_->ValueWord(), 0x047B);

    // A further change keeps what it does not touch; an address is cut to three bytes.
    sim_->ChangeReplySettings([](Qel1mReplySettings& s) { s.address = std::string("\x01\x17\x2D\x05", 4); });
    EXPECT_EQ(sim_->ReplySettings().replyLength.at(6), 27);
    EXPECT_EQ(Ask(kPoll).size(), 28u);
    EXPECT_EQ(sim_->Address(), std::string("\x01\x17\x2D", 3));
}

TEST_F(SimQel1m, OnlyValidRequestsForItAreAnswered) {
    std::string badHeader = kPoll;
    badHeader[13] ^= 1;
    EXPECT_EQ(Ask(badHeader), "");
    std::string badData = kPoll;
    badData[18] = 1;
    EXPECT_EQ(Ask(badData), "");
    // To another device.
    EXPECT_EQ(Ask(BuildFrame("1.2.3", "1.1.1", 6, 1, std::string(1, '\x01'))), "");
    // Unknown command.
    EXPECT_EQ(Ask(BuildFrame("255.255.255", "1.1.1", 7, 1, std::string(1, '\x01'))), "");
    EXPECT_EQ(sim_->RequestCount(6), 0u);
    EXPECT_EQ(sim_->RequestCount(7), 1u);

    // To its own address, from another host: the reply goes back to that host.
    const std::string reply = Ask(BuildFrame("1.23.45", "9.8.7", 6, 1, std::string(1, '\x01')));
    ASSERT_EQ(reply.size(), 26u);
    EXPECT_EQ(AddressText(reply.substr(0, 3)), "9.8.7");
}

TEST_F(SimQel1m, RequestsInPiecesOrAfterNoise) {
    peer_->Write(kPoll.substr(0, 7));
    EXPECT_EQ(peer_->Read(1, 100), "");
    EXPECT_EQ(Ask(kPoll.substr(7)).size(), 26u);

    EXPECT_EQ(Ask(std::string("\x00\x13\xFF", 3) + kPoll).size(), 26u);
    EXPECT_EQ(sim_->RequestCount(6), 2u);
}

TEST_F(SimQel1m, AnIncompleteRequestIsDroppedAfterTheLineGoesQuiet) {
    // Half a request, then a whole one only after the gap: the half is forgotten, so the
    // whole one is read from its own first byte and answered.
    peer_->Write(kPoll.substr(0, 16));
    ASSERT_TRUE(sim_->WaitReceived(16, kWaitMs));
    EXPECT_EQ(peer_->Read(1, static_cast<int>(Simulator::kRequestGapMs) + 200), "");
    EXPECT_EQ(Ask(kPoll).size(), 26u);
    EXPECT_EQ(sim_->RequestCount(6), 1u);
}

TEST_F(SimQel1m, RampRaisesTheValueOverTime) {
    ASSERT_TRUE(sim_->SetValue(1.0));
    sim_->SetRamp(10.0);  // ten a second
    const std::string first = Ask(kPoll, 100);
    ASSERT_EQ(first.size(), 26u);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string second = Ask(kPoll, 100);
    ASSERT_EQ(second.size(), 26u);
    const double a = DecodeScaledValue(ValueWord(first));
    const double b = DecodeScaledValue(ValueWord(second));
    EXPECT_GE(a, 1.0);
    EXPECT_GE(b - a, 2.0);
    EXPECT_LE(b - a, 6.0);

    // Zeroing starts it again from 0.
    ASSERT_EQ(Ask(kZero, 100).size(), 14u);
    EXPECT_LT(DecodeScaledValue(sim_->ValueWord()), 2.0);
    sim_->SetRamp(0);
    const uint16_t held = sim_->ValueWord();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(sim_->ValueWord(), held);
}

TEST_F(SimQel1m, RepliesArePacedLikeEverythingElse) {
    sim_->SetBaud(4800);
    const int64_t start = MonotonicNowNs();
    peer_->Write(kPoll);
    std::vector<int64_t> arrivals;
    EXPECT_EQ(peer_->ReadTimed(26, kWaitMs, arrivals).size(), 26u);
    ASSERT_EQ(arrivals.size(), 26u);
    EXPECT_GE(static_cast<double>(arrivals.back() - start) / 1e6, 26 * 2.083 * 0.95);
}

}  // namespace
}  // namespace qel
