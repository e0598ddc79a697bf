#include <gtest/gtest.h>

#include "Qel1Samples.h"
#include "SimHex.h"
#include "SimPacket.h"
#include "SimValueWord.h"
#include "numFormats.h"

namespace qel {
namespace {

using test::ExampleFields;

TEST(SimPacket, FieldsGiveTheDevicesBytesAndChecksum) {
    EXPECT_EQ(HexText(BuildQel1Packet(ExampleFields())), "00 07 01 2C 45 09 31 12 05 00 00 0C 05 00 DB");

    Qel1Fields withError = ExampleFields();
    withError.error = 7;
    EXPECT_EQ(HexText(BuildQel1Packet(withError)), "00 07 01 2C 45 09 31 12 05 00 00 0C 05 07 E2");
}

TEST(SimPacket, WideFieldsAreBigEndianAndTheChecksumWraps) {
    Qel1Fields f;
    f.device = 0xFFFF;
    f.record = 0xABCD;
    f.minute = 59;
    f.hour = 23;
    f.day = 31;
    f.month = 12;
    f.year = 99;
    f.reserved = 0xFF;
    f.doseInteger = 65535;
    f.doseFraction = 255;
    f.error = 255;
    const std::string p = BuildQel1Packet(f);
    ASSERT_EQ(p.size(), kQel1PacketSize);
    EXPECT_EQ(HexText(p.substr(0, 14)), "FF FF AB CD 59 23 31 12 99 FF FF FF FF FF");
    unsigned sum = 0;
    for (int i = 0; i < 14; ++i) sum += static_cast<unsigned char>(p[i]);
    EXPECT_EQ(static_cast<unsigned char>(p[14]), sum % 256);
}

TEST(SimPacket, BadChecksumDiffersOnlyInTheLastByte) {
    const std::string good = BuildQel1Packet(ExampleFields());
    const std::string bad = BuildQel1Packet(ExampleFields(), true);
    EXPECT_EQ(good.substr(0, 14), bad.substr(0, 14));
    EXPECT_NE(good[14], bad[14]);
    EXPECT_EQ(Qel1Checksum(std::string(14, '\0')), 0);
}

TEST(SimPacket, DoseTextBecomesIntegerAndFractionDigits) {
    uint16_t integer = 1;
    uint8_t fraction = 1;
    ASSERT_TRUE(ParseDose("12.5", integer, fraction));
    EXPECT_EQ(integer, 12);
    EXPECT_EQ(fraction, 5);
    ASSERT_TRUE(ParseDose("12,50", integer, fraction));
    EXPECT_EQ(fraction, 50);
    ASSERT_TRUE(ParseDose("65535.255", integer, fraction));
    EXPECT_EQ(integer, 65535);
    EXPECT_EQ(fraction, 255);
    ASSERT_TRUE(ParseDose("3", integer, fraction));
    EXPECT_EQ(integer, 3);
    EXPECT_EQ(fraction, 0);
    ASSERT_TRUE(ParseDose("0.0", integer, fraction));
    EXPECT_EQ(fraction, 0);

    for (const char* bad : {"", "65536", "12.256", "12.05", "12.", ".5", "-1", "1e3", "12.5.1", " 12"}) {
        integer = 9;
        EXPECT_FALSE(ParseDose(bad, integer, fraction)) << bad;
        EXPECT_EQ(integer, 9) << "left unchanged on failure: " << bad;
    }
}

TEST(SimHex, ParsesTheWaysPeopleWriteBytes) {
    EXPECT_EQ(ParseHexBytes("00 07 01 2c"), std::string("\x00\x07\x01\x2C", 4));
    EXPECT_EQ(ParseHexBytes("0007012C"), std::string("\x00\x07\x01\x2C", 4));
    EXPECT_EQ(ParseHexBytes("0x04,0x52:44-00"), std::string("\x04\x52\x44\x00", 4));
    EXPECT_EQ(ParseHexBytes("7 f"), std::string("\x07\x0F", 2));
    EXPECT_EQ(ParseHexBytes("  "), std::string());
    for (const char* bad : {"123", "0g", "0x", "zz", "00 7g"}) EXPECT_FALSE(ParseHexBytes(bad)) << bad;
    EXPECT_EQ(HexText(std::string("\x00\xFF\x0A", 3)), "00 FF 0A");
    EXPECT_EQ(HexText(""), "");
}

TEST(SimValueWord, EncodesTheDevicesExamplesWithTheSmallestExponent) {
    EXPECT_EQ(EncodeValueWord(1.23), 0x007B);
    EXPECT_EQ(EncodeValueWord(12.3), 0x047B);
    EXPECT_EQ(EncodeValueWord(0.123), 0xFC7B);
    EXPECT_EQ(EncodeValueWord(10.23), 0x03FF);
    EXPECT_EQ(EncodeValueWord(0), 0x0000);
    // 10 is 1000 hundredths x 10^0, finer than the device's own 1 x 10^3 (0C01).
    EXPECT_EQ(EncodeValueWord(10), MakeValueWord(1000, 0));
    EXPECT_EQ(EncodeValueWord(1e31), MakeValueWord(1000, 30));
}

TEST(SimValueWord, LimitsAndNearestValues) {
    EXPECT_EQ(EncodeValueWord(10.23e31), MakeValueWord(1023, 31));
    EXPECT_FALSE(EncodeValueWord(10.24e31));
    EXPECT_FALSE(EncodeValueWord(-0.5));
    EXPECT_FALSE(EncodeValueWord(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(EncodeValueWord(std::numeric_limits<double>::infinity()));
    // 10.24 needs mantissa 1024: 10.23 is nearer than 10.2.
    EXPECT_EQ(EncodeValueWord(10.24), MakeValueWord(1023, 0));
    EXPECT_EQ(EncodeValueWord(10.26), MakeValueWord(1023, 0));
    EXPECT_EQ(EncodeValueWord(10.29), MakeValueWord(103, 1));
    // Smaller than the finest step: zero.
    EXPECT_EQ(EncodeValueWord(1e-40), 0x0000);
    EXPECT_EQ(EncodeValueWord(0.01e-32), MakeValueWord(1, -32));
}

TEST(SimValueWord, EveryWordsValueEncodesBackToTheSameValue) {
    for (unsigned w = 0; w <= 0xFFFF; ++w) {
        const auto word = static_cast<uint16_t>(w);
        const double value = DecodeScaledValue(word);
        const auto again = EncodeValueWord(value);
        ASSERT_TRUE(again) << std::hex << w;
        EXPECT_DOUBLE_EQ(DecodeScaledValue(*again), value) << std::hex << w;
    }
}

TEST(SimValueWord, FieldsAndValueText) {
    EXPECT_EQ(ValueWordMantissa(0xFC7B), 123);
    EXPECT_EQ(ValueWordExponent(0xFC7B), -1);
    EXPECT_EQ(ValueWordExponent(0x7C64), 31);
    EXPECT_EQ(ValueWordExponent(0x8000), -32);
    EXPECT_EQ(DescribeValueWord(0x047B), "047B = 123/100 x 10^1 = 12.3");
    EXPECT_EQ(DescribeValueWord(0xF001), "F001 = 1/100 x 10^-4 = 1E-6");
    EXPECT_EQ(ParseValueText("1,23"), 1.23);
    EXPECT_EQ(ParseValueText("1e-6"), 1e-6);
    for (const char* bad : {"", "-1", "+1", "1.2.3", "abc", "1 ", "inf", "nan"}) EXPECT_FALSE(ParseValueText(bad)) << bad;
}

}  // namespace
}  // namespace qel
