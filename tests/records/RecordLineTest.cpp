#include <gtest/gtest.h>

#include <array>
#include <string>

#include "Qel1Samples.h"
#include "RecordLine.h"
#include "Regional.h"
#include "RegionalGuard.h"

namespace qel {
namespace {

using Packet = std::array<uint8_t, 15>;

// 31.12.05 09:45, device 7, record 300, dose 12 and fraction byte 5.
const Packet kExample = test::ExamplePacketBytes();

RegionalSettings Separators(char time, char date, char decimal) {
    RegionalSettings r;
    r.timeSeparator = time;
    r.dateSeparator = date;
    r.decimalSeparator = decimal;
    return r;
}

class RecordLineTest : public ::testing::Test {
protected:
    // The record's line; its fields are kept for the checks.
    std::string Build(const uint8_t* packet) {
        RecordFields = BuildQel1Record(packet);
        return JoinRecordLine(RecordFields);
    }
    RecordFieldsData RecordFields;

private:
    test::RegionalGuard russian_{Separators(':', '.', ',')};
};

TEST_F(RecordLineTest, ExamplePacketUnderRussianSeparators) {
    EXPECT_EQ(Build(kExample.data()), "00007 00300 09:45 31.12.05 00012,500");
    EXPECT_EQ(RecordFields.DeviceNumberText, "00007");
    EXPECT_EQ(RecordFields.RecordNumberText, "00300");
    EXPECT_EQ(RecordFields.TimeText, "09:45");
    EXPECT_EQ(RecordFields.DateText, "31.12.05");
    EXPECT_EQ(RecordFields.DoseText, "00012,500");
    EXPECT_EQ(RecordFields.FileDateText, "311205");
    EXPECT_EQ(RecordFields.FileNumberText, "300");
}

TEST_F(RecordLineTest, FallbackSeparatorsAndSeparatorsReadAtEachBuild) {
    SetRegional(FallbackRegionalSettings());
    EXPECT_EQ(Build(kExample.data()), "00007 00300 09:45 31/12/05 00012.500");
    SetRegional(Separators('-', '_', ';'));
    EXPECT_EQ(Build(kExample.data()), "00007 00300 09-45 31_12_05 00012;500");
    EXPECT_EQ(RecordFields.FileDateText, "311205");
}

TEST_F(RecordLineTest, LargestNumbersKeepAllTheirDigits) {
    Packet p = kExample;
    p[0] = 0xFF, p[1] = 0xFF;                  // device 65535
    p[2] = 0xFF, p[3] = 0xFF;                  // record 65535
    p[10] = 0xFF, p[11] = 0xFF, p[12] = 0xFF;  // dose 65535 and fraction 255
    EXPECT_EQ(Build(p.data()), "65535 65535 09:45 31.12.05 65535,255");
    EXPECT_EQ(RecordFields.FileNumberText, "65535");
}

TEST_F(RecordLineTest, RecordNumberPaddingForLineAndFileName) {
    Packet p = kExample;
    p[2] = 0x00, p[3] = 0x05;
    Build(p.data());
    EXPECT_EQ(RecordFields.RecordNumberText, "00005");
    EXPECT_EQ(RecordFields.FileNumberText, "005");
    p[2] = 0x30, p[3] = 0x39;  // 12345
    Build(p.data());
    EXPECT_EQ(RecordFields.RecordNumberText, "12345");
    EXPECT_EQ(RecordFields.FileNumberText, "12345");
    p[2] = 0x01, p[3] = 0x00;  // 256: the high byte counts 256
    Build(p.data());
    EXPECT_EQ(RecordFields.FileNumberText, "256");
}

TEST_F(RecordLineTest, AllZeroPacket) {
    const Packet zero{};
    EXPECT_EQ(Build(zero.data()), "00000 00000 00:00 00.00.00 00000,000");
    EXPECT_EQ(RecordFields.FileDateText, "000000");
    EXPECT_EQ(RecordFields.FileNumberText, "000");
}

TEST_F(RecordLineTest, FractionByteIsExtendedNotScaled) {
    Packet p = kExample;
    const std::pair<uint8_t, const char*> cases[] = {{5, "500"}, {50, "500"}, {123, "123"}, {0, "000"}, {255, "255"}, {10, "100"}};
    for (const auto& [fraction, text] : cases) {
        p[12] = fraction;
        Build(p.data());
        EXPECT_EQ(RecordFields.DoseText, std::string("00012,") + text) << int(fraction);
    }
}

TEST_F(RecordLineTest, BcdBytesAboveNineAreNotRefused) {
    Packet p = kExample;
    p[5] = 0xA5;  // hours: 10 * 10 + 5
    p[4] = 0xFF;  // minutes: 165
    p[6] = 0x1F;  // day: 25
    p[9] = 0x77;  // not part of the record
    EXPECT_EQ(Build(p.data()), "00007 00300 105:165 25.12.05 00012,500");
    EXPECT_EQ(RecordFields.FileDateText, "251205");
}

TEST(BcdToByteTest, Values) {
    EXPECT_EQ(BcdToByte(0x59), 59);
    EXPECT_EQ(BcdToByte(0x00), 0);
    EXPECT_EQ(BcdToByte(0x1F), 25);
    EXPECT_EQ(BcdToByte(0xA5), 105);
    EXPECT_EQ(BcdToByte(0xFF), 165);
    EXPECT_EQ(BcdToByte(0x09), 9);
    EXPECT_EQ(BcdToByte(0x90), 90);
}

TEST(PadZeroTest, LengthensButNeverCuts) {
    std::string s;
    PadZeroLeft(s, 2);
    EXPECT_EQ(s, "00");
    s = "123";
    PadZeroLeft(s, 2);
    EXPECT_EQ(s, "123");
    s = "12";
    PadZeroLeft(s, 2);
    EXPECT_EQ(s, "12");
    s = "7";
    PadZeroRight(s, 3);
    EXPECT_EQ(s, "700");
    s = "1234";
    PadZeroRight(s, 3);
    EXPECT_EQ(s, "1234");
    s = "5";
    PadZeroLeft(s, 0);
    EXPECT_EQ(s, "5");
}

TEST(JoinRecordLineTest, FiveFieldsWithSingleSpacesAndNoFileFields) {
    RecordFieldsData f;
    f.DeviceNumberText = "00001";
    f.RecordNumberText = "00002";
    f.TimeText = "10:11";
    f.DateText = "01.02.26";
    f.DoseText = "00003";  // a QEL-1M dose without a fraction
    f.FileDateText = "010226";
    f.FileNumberText = "002";
    EXPECT_EQ(JoinRecordLine(f), "00001 00002 10:11 01.02.26 00003");
}

}  // namespace
}  // namespace qel
