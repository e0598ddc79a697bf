#include "DiBusModTransport.h"

#include <gtest/gtest.h>

#include "Hex.h"

namespace qel {
namespace {

using test::Bytes;

TEST(FrameChecksum, ReferenceValues) {
    EXPECT_EQ(FrameChecksum(""), 0x00000000u);
    EXPECT_EQ(FrameChecksum(Bytes("01")), 0x00000001u);
    EXPECT_EQ(FrameChecksum("abc"), 0x00006E43u);
    EXPECT_EQ(FrameChecksum(Bytes("FF FF FF 01 01 01 06 01 01 00")), 0x8074452Fu);
    EXPECT_EQ(FrameChecksum(Bytes("FF FF FF 01 01 01 08 01 01 00")), 0x8075852Fu);
}

TEST(FrameChecksum, PairsAreBigEndianAndRotationKeepsAllBits) {
    EXPECT_EQ(FrameChecksum(Bytes("12 34")), 0x1234u);
    // A lone first byte is the starting value, then rotated with the pair.
    EXPECT_EQ(FrameChecksum(Bytes("01 00 00")), 0x20u);
    // Bits leaving at the top come back at the bottom (rotation, not shift).
    EXPECT_EQ(FrameChecksum(Bytes("FF FF 00 00")), 0x001FFFE0u);
    EXPECT_EQ(FrameChecksum(Bytes("FF FF 00 00 00 00 00 00 00 00")), 0xFFF0000Fu);
    // Zero bytes count: a zero pair still rotates the sum.
    EXPECT_NE(FrameChecksum(Bytes("00 01 00 00")), FrameChecksum(Bytes("00 01")));
}

TEST(ChecksumBytes, LowByteFirstAndAlwaysFourBytes) {
    EXPECT_EQ(ChecksumBytes(""), std::string(4, '\0'));
    EXPECT_EQ(HexText(ChecksumBytes(Bytes("01"))), "01 00 00 00");
    EXPECT_EQ(HexText(ChecksumBytes("abc")), "43 6E 00 00");
    EXPECT_EQ(HexText(ChecksumBytes(Bytes("FF FF FF 01 01 01 06 01 01 00"))), "2F 45 74 80");
    EXPECT_EQ(HexText(ChecksumBytes(Bytes("FF FF FF 01 01 01 08 01 01 00"))), "2F 85 75 80");
}

TEST(ParseDeviceAddress, WellFormedTexts) {
    EXPECT_EQ(HexText(ParseDeviceAddress("1.1.1")), "01 01 01");
    EXPECT_EQ(HexText(ParseDeviceAddress("255.255.255")), "FF FF FF");
    EXPECT_EQ(HexText(ParseDeviceAddress("  1.1.1 \t\r\n")), "01 01 01");
    EXPECT_EQ(HexText(ParseDeviceAddress("256.0.255")), "00 00 FF");
    EXPECT_EQ(HexText(ParseDeviceAddress("-1.+2.-256")), "FF 02 00");
    EXPECT_EQ(HexText(ParseDeviceAddress("0.0.0")), "00 00 00");
    EXPECT_EQ(HexText(ParseDeviceAddress("007.010.2147483647")), "07 0A FF");
    EXPECT_EQ(HexText(ParseDeviceAddress("1.2.-2147483648")), "01 02 00");
}

TEST(ParseDeviceAddress, MalformedTextsRaiseFormatError) {
    for (const char* text : {"", "   ", "1.1", "1.1.", "1..1", "..", "a.b.c", "1.1.x", "1.1.1.1",
                             "1. 1.1", "1.1.1a", "+.1.1", "1.-.1", "0x1.1.1", "1,1,1", "1.1.2147483648",
                             "1.1.-2147483649", "1.1.99999999999999999999999", "1.1.1\xC2\xA0"}) {
        if (std::string_view(text) == "1.1.1 ") continue;  // trailing blanks are trimmed: well formed
        try {
            ParseDeviceAddress(text);
            ADD_FAILURE() << "accepted \"" << text << "\"";
        } catch (const EFormatError& e) {
            EXPECT_STREQ(e.what(), "Неправильно задан адрес устройства") << text;
        }
    }
}

TEST(BuildFrame, TheTwoRequestsByteForByte) {
    EXPECT_EQ(HexText(BuildFrame("255.255.255", "1.1.1", 6, 1, Bytes("01"))),
              "FF FF FF 01 01 01 06 01 01 00 2F 45 74 80 01 01 00 00 00");
    EXPECT_EQ(HexText(BuildFrame("255.255.255", "1.1.1", 8, 1, Bytes("01"))),
              "FF FF FF 01 01 01 08 01 01 00 2F 85 75 80 01 01 00 00 00");
    EXPECT_EQ(PollRequest(), BuildFrame("255.255.255", "1.1.1", 6, 1, Bytes("01")));
    EXPECT_EQ(ZeroRequest(), BuildFrame("255.255.255", "1.1.1", 8, 1, Bytes("01")));
}

TEST(BuildFrame, LengthFieldAndChecksums) {
    const std::string empty = BuildFrame("1.2.3", "4.5.6", 9, 0, "");
    ASSERT_EQ(empty.size(), 18u);
    EXPECT_EQ(HexText(empty.substr(0, 10)), "01 02 03 04 05 06 09 00 00 00");
    EXPECT_EQ(empty.substr(10, 4), ChecksumBytes(empty.substr(0, 10)));
    EXPECT_EQ(HexText(empty.substr(14)), "00 00 00 00");

    const std::string data(300, '\0');
    const std::string big = BuildFrame("1.1.1", "1.1.1", 1, 1, data);
    ASSERT_EQ(big.size(), 318u);
    EXPECT_EQ(HexText(big.substr(8, 2)), "2C 01");
    EXPECT_EQ(big.substr(14, 300), data);

    // Zero bytes inside the data survive, and the data checksum covers them.
    const std::string withZeros = Bytes("00 7B 00 04");
    const std::string frame = BuildFrame("1.1.1", "1.1.1", 1, 1, withZeros);
    ASSERT_EQ(frame.size(), 22u);
    EXPECT_EQ(frame.substr(14, 4), withZeros);
    EXPECT_EQ(frame.substr(18), ChecksumBytes(withZeros));

    // The length field holds the data length modulo 65536.
    const std::string huge(65536 + 5, 'x');
    const std::string wrapped = BuildFrame("1.1.1", "1.1.1", 1, 1, huge);
    EXPECT_EQ(HexText(wrapped.substr(8, 2)), "05 00");
    EXPECT_EQ(wrapped.size(), huge.size() + 18);
}

TEST(BuildFrame, AddressTextsAreCutToElevenCharacters) {
    // "100.100.100.1" is read as its first 11 characters "100.100.100".
    EXPECT_EQ(HexText(BuildFrame("100.100.100.1", "1.1.1", 6, 1, "").substr(0, 6)), "64 64 64 01 01 01");
    EXPECT_EQ(HexText(BuildFrame("1.1.1", "100.100.100.1", 6, 1, "").substr(0, 6)), "01 01 01 64 64 64");
    // The cut happens before trimming: leading blanks use up characters.
    EXPECT_EQ(HexText(BuildFrame("     1.1.100", "1.1.1", 6, 1, "").substr(0, 3)), "01 01 0A");
    EXPECT_EQ(HexText(BuildFrame("    1.1.100", "1.1.1", 6, 1, "").substr(0, 3)), "01 01 64");
    EXPECT_THROW(BuildFrame("         1.1", "1.1.1", 6, 1, ""), EFormatError);
    // ParseDeviceAddress itself does not cut.
    EXPECT_THROW(ParseDeviceAddress("100.100.100.1"), EFormatError);
}

TEST(BuildFrame, MalformedAddressesPassTheErrorToTheCaller) {
    EXPECT_THROW(BuildFrame("1.1", "1.1.1", 6, 1, Bytes("01")), EFormatError);
    EXPECT_THROW(BuildFrame("1.1.1", "", 6, 1, Bytes("01")), EFormatError);
}

}  // namespace
}  // namespace qel
