#include "ReportText.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "Cp1251.h"
#include "Utf8.h"

namespace qel {
namespace {

TEST(ReplaceText, FlagsOnTheSameSource) {
    EXPECT_EQ(ReplaceText("aXbXc", "X", "-", ReplaceAll), "a-b-c");
    EXPECT_EQ(ReplaceText("aXbXc", "X", "-", 0), "a-bXc");
    EXPECT_EQ(ReplaceText("aXbXc", "x", "-", IgnoreCase), "a-bXc");
    EXPECT_EQ(ReplaceText("aXbXc", "x", "-", 0), "aXbXc");
    EXPECT_EQ(ReplaceText("aXbXc", "x", "-", ReplaceAll | IgnoreCase), "a-b-c");
}

TEST(ReplaceText, EdgesOfTheSearch) {
    EXPECT_EQ(ReplaceText("", "X", "-", ReplaceAll), "");
    EXPECT_EQ(ReplaceText("X", "X", "", ReplaceAll), "");
    EXPECT_EQ(ReplaceText("XabX", "X", "<>", ReplaceAll), "<>ab<>");
    // Replaced text is not searched again, so this ends.
    EXPECT_EQ(ReplaceText("aXb", "X", "XX", ReplaceAll), "aXXb");
    EXPECT_EQ(ReplaceText("aXb", "X", "xX", ReplaceAll | IgnoreCase), "axXb");
    // Occurrences are taken from the left without overlap.
    EXPECT_EQ(ReplaceText("aaa", "aa", "-", ReplaceAll), "-a");
    EXPECT_EQ(ReplaceText("aaaa", "aa", "-", ReplaceAll), "--");
    // A pattern longer than the source, or only partly present.
    EXPECT_EQ(ReplaceText("ab", "abc", "-", ReplaceAll), "ab");
    EXPECT_EQ(ReplaceText("$<nam", "$<name>", "-", ReplaceAll), "$<nam");
    // Zero bytes are ordinary characters.
    EXPECT_EQ(ReplaceText(std::string("a\0b\0", 4), std::string("\0", 1), "-", ReplaceAll), "a-b-");
}

// The algorithm as written down, searching afresh at each step: the reference for
// random texts over a small alphabet, where occurrences overlap and almost-matches abound.
std::string ReplaceByTheLetter(std::string_view source, std::string_view pattern, std::string_view replacement,
                               bool all) {
    std::string result;
    std::string_view rest = source;
    while (!rest.empty()) {
        const std::size_t p = rest.find(pattern);
        if (p == std::string_view::npos) break;
        result.append(rest.substr(0, p)).append(replacement);
        rest.remove_prefix(p + pattern.size());
        if (!all) break;
    }
    return result.append(rest);
}

TEST(ReplaceText, AgreesWithTheStepByStepAlgorithmOnRandomTexts) {
    std::mt19937 random(11);
    const auto randomText = [&](std::size_t maxLength, const char* alphabet) {
        std::string text(random() % (maxLength + 1), ' ');
        const std::size_t letters = std::char_traits<char>::length(alphabet);
        for (char& c : text) c = alphabet[random() % letters];
        return text;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string source = randomText(40, "aab");
        const std::string pattern = randomText(6, "ab");
        if (pattern.empty()) continue;
        for (const bool all : {false, true}) {
            SCOPED_TRACE(source + " / " + pattern);
            ASSERT_EQ(ReplaceText(source, pattern, "<>", all ? ReplaceAll : 0u),
                      ReplaceByTheLetter(source, pattern, "<>", all));
            // Upper case of both sides first: with a pattern in capitals the same places match.
            std::string upper = pattern;
            for (char& c : upper) c = static_cast<char>(c - 0x20);
            ASSERT_EQ(ReplaceText(source, upper, "<>", (all ? ReplaceAll : 0u) | IgnoreCase),
                      ReplaceByTheLetter(source, pattern, "<>", all));
        }
    }
}

TEST(ReplaceText, EmptyPatternLeavesTheSourceUnchanged) {
    for (unsigned flags : {0u, 1u, 2u, 3u}) {
        EXPECT_EQ(ReplaceText("abc", "", "-", flags), "abc");
        EXPECT_EQ(ReplaceText("", "", "-", flags), "");
    }
}

TEST(ReplaceText, PlaceholdersInTheOrderOfTheReport) {
    // Each step searches what the steps before it produced.
    std::string text = "Имя: $<name>\r\nДоза: $<dose> ($<dose>)\r\n$<DOSE>\r\n";
    text = ReplaceText(text, "$<name>", "A$<dose>B $<name>", ReplaceAll);
    EXPECT_EQ(text, "Имя: A$<dose>B $<name>\r\nДоза: $<dose> ($<dose>)\r\n$<DOSE>\r\n");
    text = ReplaceText(text, "$<dose>", "12,3", ReplaceAll);
    EXPECT_EQ(text, "Имя: A12,3B $<name>\r\nДоза: 12,3 (12,3)\r\n$<DOSE>\r\n");
    // Before any reading the value is empty.
    EXPECT_EQ(ReplaceText("№ $<number>.", "$<number>", "", ReplaceAll), "№ .");
}

TEST(ReplaceText, IgnoreCaseWithCyrillic) {
    EXPECT_EQ(ReplaceText("Доза: ДОЗА доза дОзА", "доза", "D", ReplaceAll | IgnoreCase), "D: D D D");
    EXPECT_EQ(ReplaceText("ёлка ЁЛКА", "ЁЛКА", "-", IgnoreCase), "- ЁЛКА");
    EXPECT_EQ(ReplaceText("ёлка ЁЛКА", "ЁЛКА", "-", 0), "ёлка -");
    // The parts around a match are the original text, not its upper-case copy.
    EXPECT_EQ(ReplaceText("привет, Мир; мир", "МИР", "world", ReplaceAll | IgnoreCase), "привет, world; world");
    EXPECT_EQ(ReplaceText("їжак ЇЖАК ґава Ґава", "ЇЖАК", "x", ReplaceAll | IgnoreCase), "x x ґава Ґава");
}

TEST(ReplaceText, IgnoreCaseMapsPositionsBackWhereByteLengthsDiffer) {
    // Dotless i (two bytes) upper-cases to I (one byte); long s to S.
    EXPECT_EQ(ReplaceText("xıyıZ", "I", "-", ReplaceAll | IgnoreCase), "x-y-Z");
    EXPECT_EQ(ReplaceText("ſtop, Stop", "STOP", "go", ReplaceAll | IgnoreCase), "go, go");
    EXPECT_EQ(ReplaceText("a\xFF" "b", "B", "-", IgnoreCase), "a\xFF-");
    // A malformed byte matches only the same byte.
    EXPECT_EQ(ReplaceText("a\xFF" "b\xFE", "\xFE", "-", ReplaceAll | IgnoreCase), "a\xFF" "b-");
    EXPECT_EQ(ReplaceText("a\xFF" "b", "\xC3\xBF", "-", ReplaceAll | IgnoreCase), "a\xFF" "b");
}

TEST(UpperCaseChar, EveryLetterOfCodePage1251) {
    // Small letters of the code page and their capitals, both as code page bytes.
    const std::pair<unsigned, unsigned> pairs[] = {{0x90, 0x80}, {0x83, 0x81}, {0x9A, 0x8A}, {0x9C, 0x8C},
                                                   {0x9D, 0x8D}, {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1},
                                                   {0xBC, 0xA3}, {0xB4, 0xA5}, {0xB8, 0xA8}, {0xBA, 0xAA},
                                                   {0xBF, 0xAF}, {0xB3, 0xB2}, {0xBE, 0xBD}};
    auto codePoint = [](unsigned byte) {
        const char c = static_cast<char>(byte);
        const std::string utf8 = Cp1251ToUtf8(std::string_view(&c, 1));
        return DecodeUtf8At(utf8, 0).codePoint;
    };
    for (const auto& [small, capital] : pairs) {
        EXPECT_EQ(UpperCaseChar(codePoint(small)), codePoint(capital)) << std::hex << small;
        EXPECT_EQ(UpperCaseChar(codePoint(capital)), codePoint(capital)) << std::hex << capital;
    }
    for (unsigned b = 0xE0; b <= 0xFF; ++b) EXPECT_EQ(UpperCaseChar(codePoint(b)), codePoint(b - 0x20)) << b;
    for (unsigned b = 0xC0; b <= 0xDF; ++b) EXPECT_EQ(UpperCaseChar(codePoint(b)), codePoint(b)) << b;
    for (char32_t c = U'a'; c <= U'z'; ++c) EXPECT_EQ(UpperCaseChar(c), c - 32);
    for (char32_t c : {U'0', U'$', U'<', U'№', U'€', U'\0'}) EXPECT_EQ(UpperCaseChar(c), c);
    EXPECT_EQ(UpperCaseChar(U'é'), U'É');
    EXPECT_EQ(UpperCaseChar(U'ÿ'), U'Ÿ');
    EXPECT_EQ(UpperCaseChar(U'÷'), U'÷');
    EXPECT_EQ(UpperCaseChar(U'ł'), U'Ł');
    EXPECT_EQ(UpperCaseChar(U'ž'), U'Ž');
    EXPECT_EQ(UpperCaseChar(U'ς'), U'Σ');
}

}  // namespace
}  // namespace qel
