// Polling and zeroing a simulated QEL-1M over a pseudo-terminal.
#include <gtest/gtest.h>

#include <string>

#include "DiBusModTransport.h"
#include "Qel1mCommands.h"
#include "Qel1mProtocol.h"
#include "Qel1mRig.h"
#include "Regional.h"

namespace qel {
namespace {

class Qel1mCommandsTest : public ::testing::Test {
protected:
    test::RussianFixedTime russian;
    test::Qel1mRig rig;
    Simulator& device = *rig.device1;
    TSerialPortDriver& driver = rig.driver1;
};

struct ValueCase {
    uint16_t word;
    const char* text;
};

TEST_F(Qel1mCommandsTest, GoodRepliesGiveTheValueTextInRegionalFormat) {
    const ValueCase cases[] = {
        {0x007B, "1,23"}, {0x047B, "12,3"}, {0xFC7B, "0,123"}, {0x0C01, "10"},   {0xF801, "0,0001"},
        {0xF001, "1E-6"}, {0x03FF, "10,23"}, {0x7C64, "1E31"}, {0x0000, "0"},
    };
    for (const ValueCase& c : cases) {
        device.SetValueWord(c.word);
        const auto value = PollValue(driver);
        ASSERT_TRUE(value.has_value()) << std::hex << c.word;
        EXPECT_EQ(value->Text, c.text) << std::hex << c.word;
        EXPECT_EQ(value->AddressNumber, "3.45");  // the simulator's address 1.23.45
    }
    EXPECT_EQ(device.RequestCount(PollCommand), std::size(cases));
    // Each poll is the 19-byte poll request, byte for byte.
    for (const std::string& request : device.Requests()) EXPECT_EQ(request, PollRequest());
}

TEST_F(Qel1mCommandsTest, ValueFollowsTheDecimalSeparatorOfTheMoment) {
    device.SetValueWord(0x047B);
    EXPECT_EQ(PollValue(driver)->Text, "12,3");
    SetRegional(FallbackRegionalSettings());
    EXPECT_EQ(PollValue(driver)->Text, "12.3");
}

TEST_F(Qel1mCommandsTest, AddressNumberIsLastDigitOfSecondByteAndThirdByte) {
    device.SetAddress(std::string("\x09\x7B\x07", 3));  // 9.123.7
    EXPECT_EQ(PollValue(driver)->AddressNumber, "3.7");
    device.SetAddress(std::string("\x07\x00\xC8", 3));  // 7.0.200
    EXPECT_EQ(PollValue(driver)->AddressNumber, "0.200");
}

TEST_F(Qel1mCommandsTest, OnlyAReplyOfExactly26BytesGivesAValue) {
    for (int length : {13, 14, 18, 20, 25, 27}) {
        device.SetReplyLength(PollCommand, length);
        EXPECT_FALSE(PollValue(driver).has_value()) << length << " bytes";
    }
    device.SetReplyLength(PollCommand, 26);
    device.SetCorruption(ReplyCorruption::DataChecksum);
    EXPECT_FALSE(PollValue(driver).has_value());
    device.SetCorruption(ReplyCorruption::None);
    device.SetSilent(true);
    EXPECT_FALSE(PollValue(driver).has_value());
    device.SetSilent(false);
    EXPECT_TRUE(PollValue(driver).has_value());
}

TEST_F(Qel1mCommandsTest, ZeroingSucceedsOnlyWithTheShortReply) {
    EXPECT_TRUE(ZeroDevice(driver));
    ASSERT_EQ(device.RequestCount(ZeroCommand), 1u);
    EXPECT_EQ(device.Requests().back(), ZeroRequest());
    for (int length : {13, 18, 20, 26}) {
        device.SetReplyLength(ZeroCommand, length);
        EXPECT_FALSE(ZeroDevice(driver)) << length << " bytes";
    }
    device.SetReplyLength(ZeroCommand, 14);
    device.SetSilent(true);
    EXPECT_FALSE(ZeroDevice(driver));
}

TEST_F(Qel1mCommandsTest, ClosedPortGivesNeitherValueNorZeroing) {
    driver.Disconnect();
    EXPECT_FALSE(PollValue(driver).has_value());
    EXPECT_FALSE(ZeroDevice(driver));
    EXPECT_EQ(device.RequestCount(PollCommand), 0u);
}

}  // namespace
}  // namespace qel
