#include "Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace qel {
namespace {

TEST(Utf8, DecodesOneToFourByteCharacters) {
    const std::string text = "aЖ€😀";
    const Utf8Char a = DecodeUtf8At(text, 0);
    EXPECT_TRUE(a.valid);
    EXPECT_EQ(a.codePoint, U'a');
    EXPECT_EQ(a.length, 1u);
    const Utf8Char zhe = DecodeUtf8At(text, 1);
    EXPECT_EQ(zhe.codePoint, U'Ж');
    EXPECT_EQ(zhe.length, 2u);
    const Utf8Char euro = DecodeUtf8At(text, 3);
    EXPECT_EQ(euro.codePoint, U'€');
    EXPECT_EQ(euro.length, 3u);
    const Utf8Char smile = DecodeUtf8At(text, 6);
    EXPECT_TRUE(smile.valid);
    EXPECT_EQ(smile.codePoint, U'😀');
    EXPECT_EQ(smile.length, 4u);
}

// A malformed sequence is one invalid byte at a time for a reader that must account for
// every byte, and one broken piece for a converter that substitutes it.
TEST(Utf8, MalformedSequencesGiveOneByteAndTheirBrokenPiece) {
    struct Case {
        std::string text;
        std::size_t brokenLength;
    };
    const Case cases[] = {
        {"\x80", 1},                  // continuation without a lead byte
        {"\xFF", 1},                  // never a lead byte
        {"\xC0\xAF", 1},              // overlong form: the second byte does not fit
        {"\xE2\x82" "A", 2},          // cut short by an ASCII byte
        {"\xF0\x9F\x98", 3},          // cut at the end
        {"\xED\xA0\x80", 1},          // a surrogate
        {"\xF4\x90\x80\x80", 1},      // above U+10FFFF
    };
    for (const Case& c : cases) {
        const Utf8Char ch = DecodeUtf8At(c.text, 0);
        EXPECT_FALSE(ch.valid) << c.text;
        EXPECT_EQ(ch.codePoint, static_cast<unsigned char>(c.text[0])) << c.text;
        EXPECT_EQ(ch.length, 1u) << c.text;
        EXPECT_EQ(ch.brokenLength, c.brokenLength) << c.text;
    }
}

TEST(Utf8, AppendsEveryPlaneAndReplacesWhatIsNoCharacter) {
    std::string out;
    for (char32_t cp : {U'a', U'Ж', U'€', U'😀'}) AppendUtf8(out, cp);
    EXPECT_EQ(out, "aЖ€😀");
    out.clear();
    AppendUtf8(out, 0xD800);
    AppendUtf8(out, 0x110000);
    EXPECT_EQ(out, "\uFFFD\uFFFD");
}

}  // namespace
}  // namespace qel
