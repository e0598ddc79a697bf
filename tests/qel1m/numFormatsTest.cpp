#include "numFormats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "Hex.h"
#include "Qel1mProtocol.h"
#include "Regional.h"
#include "RegionalGuard.h"

namespace qel {
namespace {

using test::RegionalGuard;

struct TableRow {
    uint16_t word;
    const char* russian;
};

// The value table of the device's value word.
constexpr TableRow kTable[] = {
    {0x007B, "1,23"},  {0x047B, "12,3"}, {0xFC7B, "0,123"}, {0x0C01, "10"},   {0xF801, "0,0001"},
    {0xF001, "1E-6"},  {0x03FF, "10,23"}, {0x7C64, "1E31"}, {0x0000, "0"},
};

TEST(ValueText, TableUnderRussianAndFullStopSettings) {
    {
        RegionalGuard ru(RussianRegionalSettings());
        ASSERT_EQ(Regional().decimalSeparator, ',');
        for (const auto& row : kTable) EXPECT_EQ(FloatToText(DecodeScaledValue(row.word)), row.russian) << row.word;
    }
    {
        RegionalGuard plain(FallbackRegionalSettings());
        for (const auto& row : kTable) {
            std::string expected = row.russian;
            for (char& c : expected)
                if (c == ',') c = '.';
            EXPECT_EQ(FloatToText(DecodeScaledValue(row.word)), expected) << row.word;
        }
    }
}

TEST(DecodeScaledValue, FieldsAndSign) {
    EXPECT_EQ(DecodeScaledValue(0x007B), 1.23);
    EXPECT_EQ(DecodeScaledValue(0x047B), 12.3);
    EXPECT_EQ(DecodeScaledValue(0xF001), 1e-6);  // the exact double, not one unit off
    EXPECT_EQ(DecodeScaledValue(0x7C64), 1e31);
    // Exponent field 32 is -32, 31 is +31; the mantissa never makes the value negative.
    EXPECT_EQ(DecodeScaledValue(0x83FF), 10.23 / 1e32);
    EXPECT_EQ(DecodeScaledValue(0x7FFF), 10.23 * 1e31);
    // Any word with mantissa 0 is zero, whatever its exponent.
    for (unsigned e = 0; e < 64; ++e) EXPECT_EQ(DecodeScaledValue(static_cast<uint16_t>(e << 10)), 0.0);
}

// The exact decimal value m * 10^(e-2) written by the display rules, built from the digits
// of m alone; the 15-digit text must hide every binary rounding of the decoder.
std::string ExpectedText(unsigned m, int e) {
    if (m == 0) return "0";
    std::string digits = std::to_string(m);
    int power = e - 2;
    while (digits.back() == '0') {
        digits.pop_back();
        ++power;
    }
    const int len = static_cast<int>(digits.size());
    const int before = len + power;  // digits before the point
    if (before >= -4 && before <= 15) {
        if (before <= 0) return "0." + std::string(static_cast<std::size_t>(-before), '0') + digits;
        if (before >= len) return digits + std::string(static_cast<std::size_t>(before - len), '0');
        return digits.substr(0, static_cast<std::size_t>(before)) + "." + digits.substr(static_cast<std::size_t>(before));
    }
    std::string out = digits.substr(0, 1);
    if (len > 1) out += "." + digits.substr(1);
    return out + "E" + std::to_string(before - 1);
}

TEST(ValueText, EveryValueWordShowsItsExactDecimalValue) {
    for (unsigned w = 0; w <= 0xFFFF; ++w) {
        const unsigned m = w & 0x3FF;
        int e = static_cast<int>(w >> 10);
        if (e >= 32) e -= 64;
        const double v = DecodeScaledValue(static_cast<uint16_t>(w));
        ASSERT_GE(v, 0.0);
        ASSERT_EQ(FloatToText(v, '.'), ExpectedText(m, e)) << "word " << w;
    }
}

TEST(ValueText, NotationBoundaries) {
    EXPECT_EQ(FloatToText(0.00001, ','), "0,00001");
    EXPECT_EQ(FloatToText(0.0000099999, ','), "9,9999E-6");
    EXPECT_EQ(FloatToText(0.000009999999999999999, ','), "0,00001");  // rounds up to 0.00001
    EXPECT_EQ(FloatToText(999999999999999.0, ','), "999999999999999");
    EXPECT_EQ(FloatToText(1e15, ','), "1E15");
    EXPECT_EQ(FloatToText(9999999999999999.0, ','), "1E16");  // 16 nines round to 1E16
    EXPECT_EQ(FloatToText(123456789012345.67, ','), "123456789012346");
    EXPECT_EQ(FloatToText(1.5e-7, ','), "1,5E-7");
    EXPECT_EQ(FloatToText(1.23e31, ','), "1,23E31");
    EXPECT_EQ(FloatToText(1e100, ','), "1E100");
    EXPECT_EQ(FloatToText(1e-100, ','), "1E-100");
}

TEST(ValueText, FifteenDigitsAndTrailingZeros) {
    EXPECT_EQ(FloatToText(0.1 + 0.2, ','), "0,3");
    EXPECT_EQ(FloatToText(1.0 / 3.0, ','), "0,333333333333333");
    EXPECT_EQ(FloatToText(2.0 / 3.0, '.'), "0.666666666666667");
    EXPECT_EQ(FloatToText(100.0, ','), "100");
    EXPECT_EQ(FloatToText(12.50, ','), "12,5");
    EXPECT_EQ(FloatToText(-1.5, ','), "-1,5");
    EXPECT_EQ(FloatToText(std::numeric_limits<double>::denorm_min(), ','), "4,94065645841247E-324");
    EXPECT_EQ(FloatToText(std::numeric_limits<double>::max(), '.'), "1.79769313486232E308");
    EXPECT_EQ(FloatToText(std::nan(""), ','), "NAN");
    EXPECT_EQ(FloatToText(-std::numeric_limits<double>::infinity(), ','), "-INF");
}

TEST(PollReply, AddressNumberAndValueWord) {
    // A 26-byte reply from source address 1.23.45 carrying the value bytes 7B 04.
    std::string reply = test::Bytes("01 01 01 01 17 2D 06 01 08 00 00 00 00 00 00 00 7B 04 00 00 00 00 00 00 00 00");
    ASSERT_EQ(reply.size(), kPollReplySize);
    EXPECT_EQ(AddressNumberText(reply), "3.45");
    EXPECT_EQ(ValueWord(reply), 0x047B);
    {
        RegionalGuard ru(RussianRegionalSettings());
        EXPECT_EQ(FloatToText(DecodeScaledValue(ValueWord(reply))), "12,3");
    }
    reply[3] = 7, reply[4] = 0, reply[5] = static_cast<char>(200);
    EXPECT_EQ(AddressNumberText(reply), "0.200");
    reply[3] = 9, reply[4] = 123, reply[5] = 7;
    EXPECT_EQ(AddressNumberText(reply), "3.7");
    reply[4] = static_cast<char>(255), reply[5] = 0;
    EXPECT_EQ(AddressNumberText(reply), "5.0");
    EXPECT_EQ(AddressNumberText(reply.substr(0, 5)), "");
    EXPECT_EQ(ValueWord(reply.substr(0, 17)), 0);
}

}  // namespace
}  // namespace qel
