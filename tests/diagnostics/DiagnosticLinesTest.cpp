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

}  // namespace
}  // namespace qel
