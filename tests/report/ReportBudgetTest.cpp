#include "ReportBudget.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "RtfReader.h"

namespace qel {
namespace {

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

// A PNG whose header gives this size in pixels (the header is all the budget reads).
std::string PngPicture(unsigned width, unsigned height) {
    char size[17];
    std::snprintf(size, sizeof size, "%08x%08x", width, height);
    return "{\\pict\\pngblip\\picwgoal200\\pichgoal200 89504e470d0a1a0a0000000d49484452" + std::string(size) +
           "08060000001f15c489}";
}

std::string Table(std::size_t rows, std::size_t cells) {
    return "\\trowd\\cellx500 " + Repeat("\\intbl " + Repeat("x\\cell ", cells) + "\\row ", rows);
}

struct BudgetCase {
    const char* what;
    std::string rtf;        // the body, inside {\rtf1 ... }
    std::string (*limit)();  // the limit it passes; nullptr: within the budget
};

TEST(ReportBudget, TemplatesBeyondALimitAreRefusedNamingIt) {
    const BudgetCase cases[] = {
        {"a row of the widest", Table(1, ReportBudget::kCellsPerRow), nullptr},
        {"one cell more in a row", Table(1, ReportBudget::kCellsPerRow + 1), CellsPerRowLimitText},
        {"tables of too many cells", Table(ReportBudget::kCells / 50 + 1, 50), CellsLimitText},
        {"a logo", PngPicture(3000, 3000), nullptr},
        {"a picture of 5600 x 5600", PngPicture(5600, 5600), PictureBytesLimitText},
        {"pictures too large together", Repeat(PngPicture(3000, 1000), 6), PictureBytesLimitText},
        {"too many pictures", Repeat(PngPicture(2, 2), ReportBudget::kPictures + 1), PicturesLimitText},
        {"text of the most characters", std::string(ReportBudget::kCharacters, 'a'), nullptr},
        {"one character more", std::string(ReportBudget::kCharacters + 1, 'a'), CharactersLimitText},
        {"tiny formatted runs", Repeat(Repeat("{\\b x}{\\i y}", 1000) + "\\par ", ReportBudget::kPieces / 2000 + 1),
         PiecesLimitText},
        {"a paragraph of the most runs", Repeat("{\\b x}{\\i y}", ReportBudget::kPiecesPerParagraph / 2), nullptr},
        {"one run more in a paragraph", Repeat("{\\b x}{\\i y}", ReportBudget::kPiecesPerParagraph / 2) + "z",
         PiecesPerParagraphLimitText},
        {"too many paragraphs", Repeat("\\par ", ReportBudget::kParagraphs + 1), ParagraphsLimitText},
    };
    for (const BudgetCase& c : cases) {
        SCOPED_TRACE(c.what);
        RichTextDocument document;
        const std::string rtf = "{\\rtf1\\ansi " + c.rtf + "}";
        std::string reason;
        if (c.limit == nullptr) {
            EXPECT_TRUE(document.LoadFromRtf(rtf, &reason)) << reason;
            EXPECT_EQ(BudgetBreach(document.Formatted()), std::nullopt);
            continue;
        }
        EXPECT_FALSE(document.LoadFromRtf(rtf, &reason));
        EXPECT_EQ(reason, kTemplateBeyondBudget + c.limit());
        // Read without the budget, the whole document names the same limit.
        FormattedDocument whole;
        ASSERT_TRUE(ReadRtf(rtf, whole));
        EXPECT_EQ(BudgetBreach(whole), c.limit());
    }
}

TEST(ReportBudget, LargeFilesAndPlainTextHaveTheirLimits) {
    RichTextDocument document;
    std::string reason;
    EXPECT_FALSE(document.LoadFromRtf("{\\rtf1 " + std::string(ReportBudget::kFileBytes, ' ') + "}", &reason));
    EXPECT_EQ(reason, kTemplateBeyondBudget + FileBytesLimitText());
    EXPECT_FALSE(document.LoadFromRtf(std::string(ReportBudget::kCharacters + 1, 'a'), &reason));
    EXPECT_EQ(reason, kTemplateBeyondBudget + CharactersLimitText());
    EXPECT_TRUE(document.LoadFromRtf(Repeat("line\r\n", 1000)));
}

TEST(ReportBudget, PictureSizesAreReadFromTheirHeaders) {
    const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x01\x2c\0\0\0\xc8", 24);
    EXPECT_EQ(DecodedPictureBytes(png, Picture::Type::Png), 300u * 200u * 4u);
    // A JPEG: start of image, an APP0 segment, then a baseline frame of 640 x 480.
    const std::string jpeg =
        std::string("\xFF\xD8\xFF\xE0\x00\x04\x00\x00\xFF\xC0\x00\x11\x08\x01\xE0\x02\x80\x03", 18);
    EXPECT_EQ(DecodedPictureBytes(jpeg, Picture::Type::Jpeg), 640u * 480u * 4u);
    EXPECT_EQ(DecodedPictureBytes("not a picture", Picture::Type::Png), 0u);
    EXPECT_EQ(DecodedPictureBytes(jpeg.substr(0, 12), Picture::Type::Jpeg), 0u);
}

}  // namespace
}  // namespace qel
