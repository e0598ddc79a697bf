#include <gtest/gtest.h>

#include <string>

#include "DiagnosticLines.h"

namespace qel {
namespace {

TEST(DiagnosticLines, KeepsEveryLineByteForByteAcrossBlocksAndAfterClear) {
    DiagnosticLines lines;
    const std::string longLine(DiagnosticLines::kBlockSize + 7, 'x');  // a block of its own
    const std::string cyrillic = "Принят пакет: 00007 00300 09:45 31.12.05 00012,500";
    std::vector<std::string> expected{"", std::string("a\0b", 3), longLine, ""};
    // Enough lines to fill several blocks, one exactly filling what a block has left.
    for (int n = 0; n < 5000; ++n) expected.push_back(cyrillic + std::to_string(n));
    expected.push_back(std::string(DiagnosticLines::kBlockSize, 'y'));
    expected.push_back("after");
    for (const std::string& line : expected) lines.Append(line);

    ASSERT_EQ(lines.Count(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(lines.Line(i), expected[i]) << "line " << i;
    EXPECT_EQ(lines.All(), expected);
    EXPECT_THROW(static_cast<void>(lines.Line(expected.size())), std::out_of_range);

    lines.Clear();
    EXPECT_TRUE(lines.Empty());
    lines.Append("again");
    EXPECT_EQ(lines.All(), std::vector<std::string>{"again"});
}

// At the bound the oldest tenth goes at once, one line says so, and the newest lines stay
// whole (also those of long lines in blocks of their own); then it runs on to the bound again.
TEST(DiagnosticLines, AtTheBoundDropsTheOldestTenthWithOneLineThatSaysSo) {
    DiagnosticLines lines(1000);
    std::vector<std::string> all;
    for (int n = 0; n < 1000; ++n) {
        all.push_back((n % 97 == 0 ? std::string(DiagnosticLines::kBlockSize + 1, 'L') : "строка ") + std::to_string(n));
        EXPECT_EQ(lines.Append(all.back()), 0u);
    }
    ASSERT_EQ(lines.Count(), 1000u);
    EXPECT_EQ(lines.Append("новая"), 100u);
    std::vector<std::string> expected(all.begin() + 100, all.end());
    expected.push_back("Из списка удалены самые старые строки (100): он хранит не более 1000 строк");
    expected.push_back("новая");
    EXPECT_EQ(lines.All(), expected);

    // Up to the bound again without a drop, then the next tenth.
    std::size_t drops = 0;
    while (lines.Count() < 1000) drops += lines.Append("x");
    EXPECT_EQ(drops, 0u);
    EXPECT_EQ(lines.Append("y"), 100u);
    EXPECT_EQ(lines.Count(), 902u);
    EXPECT_EQ(lines.Line(0), expected[100]);
    EXPECT_EQ(lines.Line(901), "y");
}

TEST(DiagnosticLines, TheProgramsListHoldsHalfAMillionLines) {
    DiagnosticLines lines;
    EXPECT_EQ(lines.Bound(), 500000u);
    std::size_t dropped = 0;
    for (int n = 0; n < 500000; ++n) dropped += lines.Append("Ещё не записаны предыдущие данные - текущие - игнорируются.");
    EXPECT_EQ(dropped, 0u);
    EXPECT_EQ(lines.Append("last"), 50000u);
    EXPECT_EQ(lines.Count(), 450002u);
    EXPECT_EQ(lines.Line(450000), DiagnosticLines::DroppedLinesText(50000, 500000));
}

}  // namespace
}  // namespace qel
