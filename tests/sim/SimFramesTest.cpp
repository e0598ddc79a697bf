#include <gtest/gtest.h>

#include "DiBusModTransport.h"
#include "SimDiBusDevice.h"
#include "SimHex.h"

namespace qel {
namespace {

const std::string kPoll = *ParseHexBytes("FF FF FF 01 01 01 06 01 01 00 2F 45 74 80 01 01 00 00 00");
const std::string kZero = *ParseHexBytes("FF FF FF 01 01 01 08 01 01 00 2F 85 75 80 01 01 00 00 00");
const std::string kDevice{"\x01\x17\x2D", 3};  // 1.23.45

bool HeaderChecks(const std::string& frame) {
    return frame.size() >= 14 && ChecksumBytes(frame.substr(0, 10)) == frame.substr(10, 4);
}

unsigned LengthField(const std::string& frame) {
    return static_cast<unsigned char>(frame[8]) + 256u * static_cast<unsigned char>(frame[9]);
}

bool DataChecks(const std::string& frame) {
    const unsigned length = LengthField(frame);
    return frame.size() == length + 18 && ChecksumBytes(frame.substr(14, length)) == frame.substr(14 + length, 4);
}

TEST(SimRequestParser, TakesWholeFramesHoweverTheyArrive) {
    DiBusRequestParser parser;
    auto events = parser.Feed(kPoll);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].frame);
    EXPECT_EQ(events[0].bytes, kPoll);
    EXPECT_FALSE(parser.Pending());

    // In pieces: nothing until the last byte.
    EXPECT_TRUE(parser.Feed(kPoll.substr(0, 5)).empty());
    EXPECT_TRUE(parser.Feed(kPoll.substr(5, 12)).empty());
    EXPECT_TRUE(parser.Pending());
    events = parser.Feed(kPoll.substr(17));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].bytes, kPoll);

    // Two back to back, with a leftover byte in front.
    events = parser.Feed("\x55" + kPoll + kZero);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_FALSE(events[0].frame);
    EXPECT_EQ(events[0].bytes, "\x55");
    EXPECT_EQ(events[1].bytes, kPoll);
    EXPECT_EQ(events[2].bytes, kZero);
    EXPECT_FALSE(parser.Pending());
}

TEST(SimRequestParser, RefusesBadChecksumsAndDropsWhatStaysIncomplete) {
    DiBusRequestParser parser;
    std::string badData = kPoll;
    badData.back() = 1;
    auto events = parser.Feed(badData);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0].frame);
    EXPECT_EQ(events[0].bytes, badData);

    // A wrong header checksum: skipped byte by byte, then the good frame behind it is found.
    std::string badHeader = kPoll;
    badHeader[10] = 0;
    events = parser.Feed(badHeader + kZero);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[0].frame);
    EXPECT_EQ(events[0].bytes, badHeader);
    EXPECT_TRUE(events[1].frame);
    EXPECT_EQ(events[1].bytes, kZero);

    EXPECT_TRUE(parser.Feed(kPoll.substr(0, 15)).empty());
    events = parser.DropPending();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].bytes, kPoll.substr(0, 15));
    EXPECT_FALSE(parser.Pending());
    events = parser.Feed(kPoll);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].frame);
}

TEST(SimReplies, PollReplyCarriesValueWordAndAddresses) {
    const std::string r = BuildDiBusReply(kPoll, kDevice, 0x047B, 26, ReplyCorruption::None);
    ASSERT_EQ(r.size(), 26u);
    EXPECT_TRUE(HeaderChecks(r));
    EXPECT_EQ(LengthField(r), 8u);
    EXPECT_TRUE(DataChecks(r));
    EXPECT_EQ(r.substr(0, 3), std::string(3, '\x01'));  // back to the host 1.1.1
    EXPECT_EQ(r.substr(3, 3), kDevice);
    EXPECT_EQ(r[6], 6);
    EXPECT_EQ(r[7], 1);
    EXPECT_EQ(static_cast<unsigned char>(r[16]), 0x7B);
    EXPECT_EQ(static_cast<unsigned char>(r[17]), 0x04);
    EXPECT_EQ(AddressText(r.substr(3, 3)), "1.23.45");
}

TEST(SimReplies, EachLengthHasItsShape) {
    const std::string full = BuildDiBusReply(kZero, kDevice, 0x007B, 26, ReplyCorruption::None);

    const std::string r13 = BuildDiBusReply(kZero, kDevice, 0x007B, 13, ReplyCorruption::None);
    EXPECT_EQ(r13.size(), 13u);

    const std::string r14 = BuildDiBusReply(kZero, kDevice, 0x007B, 14, ReplyCorruption::None);
    ASSERT_EQ(r14.size(), 14u);
    EXPECT_TRUE(HeaderChecks(r14));
    EXPECT_EQ(LengthField(r14), 0u);
    EXPECT_EQ(r14[6], 8);
    EXPECT_EQ(r13, r14.substr(0, 13));

    const std::string r18 = BuildDiBusReply(kZero, kDevice, 0x007B, 18, ReplyCorruption::None);
    ASSERT_EQ(r18.size(), 18u);
    EXPECT_EQ(r18.substr(0, 14), r14);
    EXPECT_EQ(r18.substr(14), std::string(4, '\0'));

    const std::string r20 = BuildDiBusReply(kZero, kDevice, 0x007B, 20, ReplyCorruption::None);
    ASSERT_EQ(r20.size(), 20u);
    EXPECT_EQ(r20.substr(0, 14), r14);

    const std::string r25 = BuildDiBusReply(kZero, kDevice, 0x007B, 25, ReplyCorruption::None);
    EXPECT_EQ(r25, full.substr(0, 25));

    const std::string r27 = BuildDiBusReply(kZero, kDevice, 0x007B, 27, ReplyCorruption::None);
    ASSERT_EQ(r27.size(), 27u);
    EXPECT_TRUE(HeaderChecks(r27));
    EXPECT_EQ(LengthField(r27), 9u);
    EXPECT_TRUE(DataChecks(r27));
    EXPECT_EQ(r27.substr(14, 8), full.substr(14, 8));

    for (int n : {13, 14, 18, 20, 25, 26, 27}) EXPECT_TRUE(IsReplyLength(n)) << n;
    for (int n : {0, 12, 15, 19, 24, 28}) EXPECT_FALSE(IsReplyLength(n)) << n;
}

TEST(SimReplies, CorruptionsSpoilExactlyOneCheck) {
    const std::string good = BuildDiBusReply(kPoll, kDevice, 0x047B, 26, ReplyCorruption::None);

    const std::string header = BuildDiBusReply(kPoll, kDevice, 0x047B, 26, ReplyCorruption::HeaderChecksum);
    EXPECT_FALSE(HeaderChecks(header));
    EXPECT_EQ(header.substr(14), good.substr(14));

    const std::string reversed =
        BuildDiBusReply(kPoll, kDevice, 0x047B, 26, ReplyCorruption::ReversedHeaderChecksum);
    EXPECT_FALSE(HeaderChecks(reversed));
    EXPECT_EQ(reversed.substr(10, 4), std::string(good.rbegin() + 12, good.rbegin() + 16));

    const std::string data = BuildDiBusReply(kPoll, kDevice, 0x047B, 26, ReplyCorruption::DataChecksum);
    EXPECT_TRUE(HeaderChecks(data));
    EXPECT_FALSE(DataChecks(data));

    // A short form has no data checksum to spoil.
    EXPECT_EQ(BuildDiBusReply(kZero, kDevice, 0, 14, ReplyCorruption::DataChecksum),
              BuildDiBusReply(kZero, kDevice, 0, 14, ReplyCorruption::None));
}

}  // namespace
}  // namespace qel
