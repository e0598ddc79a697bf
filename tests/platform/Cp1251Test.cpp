#include "Cp1251.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace qel {
namespace {

std::string AllBytes() {
    std::string s;
    for (int b = 0; b < 256; ++b) s.push_back(static_cast<char>(b));
    return s;
}

// The C library's own converter, as an independent reference.
std::string IconvToUtf8(const std::string& cp1251) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "<no iconv>";
    std::string in = cp1251;
    char out[16] = {};
    char* inPtr = in.data();
    char* outPtr = out;
    std::size_t inLeft = in.size(), outLeft = sizeof out;
    const std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1)) return "<unmapped>";
    return std::string(out, static_cast<std::size_t>(outPtr - out));
}

TEST(Cp1251, EveryByteSurvivesTheRoundTrip) {
    const std::string bytes = AllBytes();
    const std::string utf8 = Cp1251ToUtf8(bytes);
    EXPECT_EQ(Utf8ToCp1251(utf8), bytes);
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(one)), one) << "byte " << b;
    }
}

TEST(Cp1251, EveryAssignedByteMatchesTheSystemConverter) {
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98) continue;  // unassigned in the code page
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Cp1251ToUtf8(one), IconvToUtf8(one)) << "byte " << b;
    }
}

TEST(Cp1251, UnassignedByteStandsForItsOwnCodePoint) {
    EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xC2\x98");
    EXPECT_EQ(Utf8ToCp1251("\xC2\x98"), "\x98");
}

TEST(Cp1251, AllCyrillicLettersBothWays) {
    const std::string upper = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";
    const std::string lower = "абвгдеёжзийклмнопрстуфхцчшщъыьэюя";
    std::string upperBytes, lowerBytes;
    for (int b = 0xC0; b <= 0xDF; ++b) {
        upperBytes.push_back(static_cast<char>(b));
        lowerBytes.push_back(static_cast<char>(b + 0x20));
        if (b == 0xC5) {  // Ё and ё follow Е and е in the alphabet but not in the code page
            upperBytes.push_back('\xA8');
            lowerBytes.push_back('\xB8');
        }
    }
    ASSERT_EQ(upperBytes.size() + lowerBytes.size(), 66u);
    EXPECT_EQ(Utf8ToCp1251(upper), upperBytes);
    EXPECT_EQ(Utf8ToCp1251(lower), lowerBytes);
    EXPECT_EQ(Cp1251ToUtf8(upperBytes), upper);
    EXPECT_EQ(Cp1251ToUtf8(lowerBytes), lower);
    EXPECT_EQ(Utf8ToCp1251("Принят пакет: №5 — 1€"), "\xCF\xF0\xE8\xED\xFF\xF2 \xEF\xE0\xEA\xE5\xF2: \xB9" "5 \x97 1\x88");
}

TEST(Cp1251, CharactersWithoutAFormBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a中b"), "a?b");
    EXPECT_EQ(Utf8ToCp1251("äΩ"), "??");
    EXPECT_EQ(Utf8ToCp1251("x\xF0\x9F\x98\x80y"), "x?y");  // outside the Basic Multilingual Plane
    EXPECT_EQ(Utf8ToCp1251(std::string("\0z", 2)), std::string("\0z", 2));
}

TEST(Cp1251, MalformedUtf8BecomesOneQuestionMarkPerBrokenPiece) {
    EXPECT_EQ(Utf8ToCp1251("\x80"), "?");                 // continuation without a lead byte
    EXPECT_EQ(Utf8ToCp1251("Я\xD0"), "\xDF?");            // cut at the end
    EXPECT_EQ(Utf8ToCp1251("\xE2\x82" "A"), "?A");        // cut short by an ASCII byte
    EXPECT_EQ(Utf8ToCp1251("\xC0\xAF"), "??");            // overlong form of "/"
    EXPECT_EQ(Utf8ToCp1251("\xE0\x80\xAF"), "???");       // overlong three-byte form
    EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "???");       // a surrogate
    EXPECT_EQ(Utf8ToCp1251("\xF4\x90\x80\x80"), "????");  // above U+10FFFF
    EXPECT_EQ(Utf8ToCp1251("\xFF" "b"), "?b");
}

}  // namespace
}  // namespace qel
