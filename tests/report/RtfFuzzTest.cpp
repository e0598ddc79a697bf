// Random, truncated and mutated rich text: the reader must always end, never crash, and
// give lines of well-formed UTF-8 without line ends that survive the plain-text round trip;
// filling in placeholders inside the formatted document gives the same lines as filling
// them in through the plain text.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "DocumentText.h"
#include "ReportBudget.h"
#include "ReportText.h"
#include "RtfLines.h"
#include "RtfReader.h"
#include "TestFiles.h"
#include "Utf8.h"

namespace qel {
namespace {

bool WellFormed(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        for (std::size_t pos = 0; pos < line.size();) {
            const Utf8Char ch = DecodeUtf8At(line, pos);
            if (!ch.valid || ch.codePoint == U'\r' || ch.codePoint == U'\n') return false;
            pos += ch.length;
        }
    }
    return true;
}

// Reads the input and checks the properties; false with a message on the first breach.
::testing::AssertionResult ReadsSoundly(const std::string& input) {
    std::vector<std::string> lines;
    if (!RtfToLines(input, lines)) {
        if (input.compare(0, 5, "{\\rtf") == 0) return ::testing::AssertionFailure() << "rich text refused";
        return ::testing::AssertionSuccess();
    }
    if (!WellFormed(lines)) return ::testing::AssertionFailure() << "malformed line";
    RichTextDocument doc;
    SetDocumentText(doc, "");
    std::string reason;
    if (!doc.LoadFromRtf(input, &reason)) {
        // A mutated picture header may claim a huge picture: refused, naming the limit.
        if (reason.rfind(kTemplateBeyondBudget, 0) != 0) return ::testing::AssertionFailure() << reason;
        return ::testing::AssertionSuccess();
    }
    const std::string text = DocumentText(doc);
    SetDocumentText(doc, text);
    if (DocumentLines(doc) != lines) return ::testing::AssertionFailure() << "text round trip changed the lines";

    // Values with line ends and placeholders of their own, as in the report's five steps.
    static const std::pair<const char*, const char*> kSteps[] = {
        {"$<name>", "N\r$<dose>$<name>"}, {"$<number>", ""}, {"$<time>", "\n12:00\r\n"}, {"$<dose>", "1,5\r"}};
    RichTextDocument formatted;
    if (!formatted.LoadFromRtf(input)) return ::testing::AssertionFailure() << "a second load refused";
    for (const auto& [placeholder, value] : kSteps) {
        formatted.Replace(placeholder, value);
        ReplaceAsTextView(doc, placeholder, value);
    }
    if (DocumentLines(formatted) != DocumentLines(doc))
        return ::testing::AssertionFailure() << "formatted fill-in differs";
    return ::testing::AssertionSuccess();
}

std::vector<std::string> Corpus() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(QEL_RTF_CORPUS_DIR))
        if (entry.path().extension() == ".rtf") files.push_back(test::ReadBytes(entry.path().string()));
    return files;
}

// Pieces that make the reader take its less common paths.
const char* const kTokens[] = {"{", "}", "\\", "\\'", "\\'e", "\\u-", "\\u65", "\\uc2", "\\uc0", "\\bin",
                               "\\bin3 ", "\\par", "\\*", "\\fonttbl", "\\f1", "\\fcharset204", "\\object",
                               "\\result", "\\pict", "\\cell", "\\row", "\\ansicpg1251", "\\cpg", "\\'ff",
                               "\\u-10179", "\\u-8704", "-", "9999999999", " ", "\r\n", "\t", "\xCF", "\x00",
                               // Formatting, tables and pictures.
                               "\\b", "\\i0", "\\fs30", "\\cf1", "\\colortbl;\\red9;", "\\qc", "\\li-99", "\\tx500",
                               "\\tqr", "\\pard", "\\plain", "\\intbl", "\\trowd", "\\cellx1000", "\\clbrdrt",
                               "\\brdrs", "\\brdrw20", "\\line", "\\page", "\\pagebb", "\\paperw5000", "\\margl99",
                               "\\pngblip", "\\jpegblip", "\\picwgoal99", "\\*\\shppict", "89504e47", "$<", "name>",
                               "$<name>", "$<dose>", "dose>"};

std::string RandomToken(std::mt19937& rng) {
    const std::size_t n = sizeof kTokens / sizeof kTokens[0];
    const char* t = kTokens[std::uniform_int_distribution<std::size_t>(0, n - 1)(rng)];
    return t[0] == '\0' ? std::string(1, '\0') : std::string(t);
}

TEST(RtfFuzz, RandomInput) {
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 3000; ++i) {
        std::string input = "{\\rtf1";
        const int length = std::uniform_int_distribution<int>(0, 600)(rng);
        const bool tokens = i % 2 == 0;  // half from syntax pieces, half from raw bytes
        while (static_cast<int>(input.size()) < length)
            input += tokens ? RandomToken(rng) : std::string(1, static_cast<char>(byte(rng)));
        ASSERT_TRUE(ReadsSoundly(input)) << "case " << i;
    }
}

TEST(RtfFuzz, EveryTruncationOfTheCorpus) {
    for (const std::string& file : Corpus()) {
        for (std::size_t cut = 0; cut <= file.size(); ++cut) ASSERT_TRUE(ReadsSoundly(file.substr(0, cut))) << cut;
    }
}

TEST(RtfFuzz, MutatedCorpus) {
    const std::vector<std::string> corpus = Corpus();
    ASSERT_GE(corpus.size(), 15u);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255);
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 4000; ++i) {
        std::string input = corpus[static_cast<std::size_t>(i) % corpus.size()];
        const int edits = std::uniform_int_distribution<int>(1, 8)(rng);
        for (int k = 0; k < edits && !input.empty(); ++k) {
            const std::size_t at = std::uniform_int_distribution<std::size_t>(0, input.size() - 1)(rng);
            switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
                case 0: input[at] = static_cast<char>(byte(rng)); break;
                case 1: input.erase(at, std::uniform_int_distribution<std::size_t>(1, 16)(rng)); break;
                case 2: input.insert(at, RandomToken(rng)); break;
                default: input.insert(at, input.substr(at, 64)); break;  // repeat a stretch
            }
        }
        ASSERT_TRUE(ReadsSoundly(input)) << "case " << i;
    }
    // Linear reading: thousands of small documents take well under the test's limit.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

// The office suite's templates (tables, pictures, many formatting words) cut and mutated:
// fewer cases, as each file is large.
TEST(RtfFuzz, MutatedOfficeTemplates) {
    std::vector<std::string> corpus;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(QEL_RTF_CORPUS_DIR) + "/office"))
        if (entry.path().extension() == ".rtf") corpus.push_back(test::ReadBytes(entry.path().string()));
    ASSERT_EQ(corpus.size(), 3u);
    std::mt19937 rng(15);
    for (int i = 0; i < 150; ++i) {
        std::string input = corpus[static_cast<std::size_t>(i) % corpus.size()];
        if (i % 5 == 0) input.resize(std::uniform_int_distribution<std::size_t>(0, input.size())(rng));
        const int edits = std::uniform_int_distribution<int>(1, 20)(rng);
        for (int k = 0; k < edits && !input.empty(); ++k) {
            const std::size_t at = std::uniform_int_distribution<std::size_t>(0, input.size() - 1)(rng);
            if (k % 2 == 0) input.insert(at, RandomToken(rng));
            else input.erase(at, std::uniform_int_distribution<std::size_t>(1, 40)(rng));
        }
        ASSERT_TRUE(ReadsSoundly(input)) << "case " << i;
    }
}

}  // namespace
}  // namespace qel
