#include <gtest/gtest.h>

#include "PtyPeer.h"
#include "SimConsole.h"
#include "SimHex.h"
#include "SimOptions.h"

namespace qel {
namespace {

using test::PtyPeer;

constexpr int kWaitMs = 2000;

bool Parse(std::vector<std::string> args, CliOptions& options, std::string& error) {
    options = CliOptions{};
    return ParseCliOptions(args, options, error);
}

TEST(SimCliOptions, ReadsEveryKindOfOption) {
    CliOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--pty", "--link", "/tmp/x", "--type=qel1m", "--baud", "4800", "--every", "500",
                       "--device", "7", "--record=300", "--time", "09:45", "--date", "31.12.2005", "--dose",
                       "12.5", "--error", "3", "--pieces", "10,5", "--pause", "20", "--bad-checksum",
                       "--extra", "2", "--value", "12.3", "--address", "1.23.45", "--silent", "--delay",
                       "100", "--reply-bytes", "27", "--zero-reply-bytes=18", "--corrupt=reversed", "--ramp",
                       "--no-stdin"},
                      o, error))
        << error;
    EXPECT_EQ(o.link, "/tmp/x");
    EXPECT_TRUE(o.port.empty());
    EXPECT_EQ(o.type, SimDeviceType::Qel1m);
    EXPECT_EQ(o.baud, 4800u);
    EXPECT_EQ(o.everyMs, 500u);
    EXPECT_EQ(HexText(BuildQel1Packet(o.packet.fields).substr(0, 14)), "00 07 01 2C 45 09 31 12 05 00 00 0C 05 03");
    EXPECT_TRUE(o.recordGiven);
    EXPECT_TRUE(o.packet.fixedTime);
    EXPECT_TRUE(o.packet.fixedDate);
    EXPECT_EQ(o.packet.pieces, (std::vector<std::size_t>{10, 5}));
    EXPECT_EQ(o.packet.pauseMs, 20u);
    EXPECT_TRUE(o.packet.badChecksum);
    EXPECT_EQ(o.packet.extra, 2u);
    EXPECT_EQ(o.device.valueWord, 0x047B);
    ASSERT_EQ(o.notes.size(), 1u);
    EXPECT_NE(o.notes[0].find("047B"), std::string::npos);
    EXPECT_EQ(o.device.address, std::string("\x01\x17\x2D", 3));
    EXPECT_TRUE(o.device.silent);
    EXPECT_EQ(o.device.delayMs, 100u);
    EXPECT_EQ(o.device.pollReplyLength, 27);
    EXPECT_EQ(o.device.zeroReplyLength, 18);
    EXPECT_EQ(o.device.corruption, ReplyCorruption::ReversedHeaderChecksum);
    EXPECT_GT(o.device.rampPerSecond, 0);
    EXPECT_TRUE(o.noStdin);

    ASSERT_TRUE(Parse({"--corrupt", "--value-word", "0xFC7B", "--hex", "00 07 01"}, o, error)) << error;
    EXPECT_EQ(o.device.corruption, ReplyCorruption::HeaderChecksum);
    EXPECT_EQ(o.device.valueWord, 0xFC7B);
    EXPECT_EQ(o.packet.hex, std::string("\x00\x07\x01", 3));

    ASSERT_TRUE(Parse({"-h"}, o, error));
    EXPECT_TRUE(o.help);
}

TEST(SimCliOptions, RefusesWhatItCannotDo) {
    CliOptions o;
    std::string error;
    const std::vector<std::vector<std::string>> bad = {
        {"--port", "/dev/ttyS0", "--link", "/tmp/x"}, {"--port", "/dev/ttyS0", "--pty"},
        {"--device"}, {"--device", "65536"}, {"--record", "-1"}, {"--time", "24:00"}, {"--time", "9"},
        {"--date", "32.01.05"}, {"--date", "01.13.05"}, {"--date", "01.01.5"}, {"--dose", "12.05"},
        {"--error", "256"}, {"--pieces", "10,,5"}, {"--pieces", "10,0"}, {"--pieces", "10,"},
        {"--reply-bytes", "19"}, {"--zero-reply-bytes", "0"}, {"--address", "1.2"},
        {"--address", "1.2.3.4"}, {"--value", "-1"}, {"--value", "1.1e33"}, {"--value-word", "10000"},
        {"--corrupt=both"}, {"--type", "qel2"}, {"--bad-checksum=maybe"}, {"--every", "1s"},
        {"--hex", "0g"}, {"--whatever"}, {"plain"}, {"--"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(Parse(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(SimCliOptions, HelpNamesEveryOptionAndCommand) {
    const std::string help = HelpText();
    for (const char* word :
         {"--pty", "--link", "--port", "--type", "--baud", "--every", "--device", "--record", "--time", "--date",
          "--dose", "--error", "--hex", "--pieces", "--pause", "--bad-checksum", "--extra", "--value",
          "--value-word", "--address", "--silent", "--delay", "--reply-bytes", "--zero-reply-bytes",
          "--corrupt", "--ramp", "--no-stdin", "send ", "set ", "hex ", "every ", "status", "quit", "04 52 44 00"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
}

class SimConsoleTest : public ::testing::Test {
protected:
    void Start(std::vector<std::string> args) {
        std::string error;
        ASSERT_TRUE(ParseCliOptions(args, options_, error)) << error;
        sim_ = Simulator::CreatePty("", error);
        ASSERT_TRUE(sim_) << error;
        console_ = std::make_unique<SimConsole>(*sim_, options_);
        peer_ = std::make_unique<PtyPeer>(sim_->Path());
        ASSERT_TRUE(peer_->IsOpen());
    }

    std::string Run(const std::string& line) {
        std::string reply;
        EXPECT_TRUE(console_->Execute(line, reply)) << line;
        return reply;
    }

    CliOptions options_;
    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<SimConsole> console_;
    std::unique_ptr<PtyPeer> peer_;
};

TEST_F(SimConsoleTest, SendUsesTheSettingsAndCountsRecordsOn) {
    Start({"--device", "7", "--record", "300", "--time", "09:45", "--date", "31.12.05", "--dose", "12.5"});
    EXPECT_EQ(Run("send"), "");
    EXPECT_EQ(HexText(peer_->Read(15, kWaitMs)), "00 07 01 2C 45 09 31 12 05 00 00 0C 05 00 DB");
    Run("send");
    EXPECT_EQ(HexText(peer_->Read(15, kWaitMs).substr(2, 2)), "01 2D");

    // Values for one packet; an explicit record number carries the count on from there.
    Run("send record=7 dose=1.25 error=2");
    const std::string p = peer_->Read(15, kWaitMs);
    EXPECT_EQ(HexText(p.substr(2, 2)), "00 07");
    EXPECT_EQ(HexText(p.substr(10, 4)), "00 01 19 02");
    Run("send");
    const std::string next = peer_->Read(15, kWaitMs);
    EXPECT_EQ(HexText(next.substr(2, 2)), "00 08");
    EXPECT_EQ(HexText(next.substr(10, 4)), "00 0C 05 00") << "the one-packet values are not kept";

    // A wrong value sends nothing and says why.
    EXPECT_NE(Run("send dose=12.05"), "");
    EXPECT_EQ(peer_->Read(1, 100), "");
}

TEST_F(SimConsoleTest, SendInPiecesWithBadChecksumAndExtraBytes) {
    Start({"--time", "00:00", "--date", "01.01.00"});
    Run("send pieces=4 pause=200 bad-checksum extra=1");
    EXPECT_EQ(peer_->Read(15, 100).size(), 4u);
    const std::string rest = peer_->Read(12, kWaitMs);
    ASSERT_EQ(rest.size(), 12u);
    EXPECT_EQ(static_cast<unsigned char>(rest.back()), 0xFF);
    const std::string good = BuildQel1Packet(options_.packet.fields);
    EXPECT_NE(rest[10], good[14]);
}

TEST_F(SimConsoleTest, SetChangesLaterPacketsAndTheDevice) {
    Start({"--time", "00:00", "--date", "01.01.00"});
    Run("set device=513 record=65535");
    Run("send");
    EXPECT_EQ(HexText(peer_->Read(15, kWaitMs).substr(0, 4)), "02 01 FF FF");
    Run("send");
    EXPECT_EQ(HexText(peer_->Read(15, kWaitMs).substr(0, 4)), "02 01 00 00") << "record numbers wrap";

    // A bad setting among good ones changes nothing.
    EXPECT_NE(Run("set device=9 reply-bytes=19"), "");
    Run("send");
    EXPECT_EQ(HexText(peer_->Read(15, kWaitMs).substr(0, 2)), "02 01");

    EXPECT_NE(Run("value 12.3").find("047B"), std::string::npos);
    EXPECT_EQ(sim_->ValueWord(), 0x047B);
    Run("word 007B");
    EXPECT_EQ(sim_->ValueWord(), 0x007B);
    Run("set address=9.123.7 silent=on");
    EXPECT_EQ(sim_->Address(), std::string("\x09\x7B\x07", 3));
    Run("type qel1m");
    EXPECT_EQ(sim_->Type(), SimDeviceType::Qel1m);
    peer_->Write(*ParseHexBytes("FF FF FF 01 01 01 06 01 01 00 2F 45 74 80 01 01 00 00 00"));
    ASSERT_TRUE(sim_->WaitRequests(6, 1, kWaitMs));
    EXPECT_EQ(peer_->Read(1, 150), "") << "silent";
    Run("set silent=off reply-bytes=20");
    peer_->Write(*ParseHexBytes("FF FF FF 01 01 01 06 01 01 00 2F 45 74 80 01 01 00 00 00"));
    EXPECT_EQ(peer_->Read(100, 200).size(), 20u);
    EXPECT_NE(Run("status").find("command 6: 2"), std::string::npos);
}

TEST_F(SimConsoleTest, HexEveryBaudAndQuit) {
    Start({});
    Run("hex 04 52 44 00");
    EXPECT_EQ(peer_->Read(4, kWaitMs), std::string("\x04\x52\x44\x00", 4));
    EXPECT_NE(Run("hex"), "");
    EXPECT_NE(Run("hex 0g"), "");
    Run("every 250");
    EXPECT_EQ(console_->EveryMs(), 250u);
    Run("every off");
    EXPECT_EQ(console_->EveryMs(), 0u);
    EXPECT_NE(Run("every soon"), "");
    Run("baud 9600");
    EXPECT_EQ(sim_->Baud(), 9600u);
    Run("baud off");
    EXPECT_EQ(sim_->Baud(), 0u);
    EXPECT_EQ(Run("   "), "");
    EXPECT_EQ(Run("# a comment"), "");
    EXPECT_NE(Run("launch"), "");
    EXPECT_NE(Run("help").find("--pty"), std::string::npos);
    std::string reply;
    EXPECT_FALSE(console_->Execute("quit", reply));
}

TEST_F(SimConsoleTest, HexPacketIsWhatTheLastRecordCommandRepeats) {
    Start({"--hex", "00 07 01 2C 45 09 31 12 05 00 00 0C 05 00 DB"});
    Run("send");
    const std::string packet = peer_->Read(15, kWaitMs);
    EXPECT_EQ(HexText(packet), "00 07 01 2C 45 09 31 12 05 00 00 0C 05 00 DB");
    peer_->Write(std::string("\x04\x52\x44\x00", 4));
    EXPECT_EQ(peer_->Read(15, kWaitMs), packet);
}

}  // namespace
}  // namespace qel
