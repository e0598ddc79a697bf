// The rich-text reader's formatted document, and replacing text inside it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DocumentText.h"
#include "FormattedText.h"
#include "ReportText.h"
#include "RtfReader.h"
#include "TestFiles.h"

namespace qel {
namespace {

using Lines = std::vector<std::string>;

// Rich text that must read.
FormattedDocument Read(std::string_view rtf) {
    FormattedDocument document;
    std::string reason;
    EXPECT_TRUE(ReadRtf(rtf, document, &reason)) << reason;
    return document;
}

FormattedDocument LoadCorpus(const std::string& name) {
    return Read(test::ReadBytes(std::string(QEL_RTF_CORPUS_DIR) + "/" + name));
}

// The text pieces of a paragraph with their format, pictures and line breaks as markers.
struct Piece {
    std::string text;
    CharFormat format;
};

std::vector<Piece> Pieces(const Paragraph& paragraph) {
    std::vector<Piece> pieces;
    for (const Inline& in : paragraph.inlines) {
        if (in.kind == Inline::Kind::Text) pieces.push_back({in.text, in.format});
        else if (in.kind == Inline::Kind::LineBreak) pieces.push_back({"<br>", in.format});
        else pieces.push_back({"<pic" + std::to_string(in.picture) + ">", in.format});
    }
    return pieces;
}

const Piece* Find(const std::vector<Piece>& pieces, const std::string& text) {
    for (const Piece& p : pieces)
        if (p.text.find(text) != std::string::npos) return &p;
    return nullptr;
}

TEST(FormattedReader, CharacterAndParagraphFormats) {
    const FormattedDocument doc = LoadCorpus("formatting.rtf");
    EXPECT_EQ(PlainLines(doc), (Lines{"Title", "plain bold italic under none struck redblue", "a\tb\tc", "d", "right",
                                     "A1", "A2\tB", "C\tD", "xymono"}));
    ASSERT_EQ(doc.fonts.size(), 3u);
    EXPECT_EQ(doc.fonts[0].name, "Times New Roman");
    EXPECT_EQ(doc.fonts[0].kind, FontKind::Roman);
    EXPECT_EQ(doc.fonts[1].name, "Arial");  // the \*\panose inside the entry is no part of the name
    EXPECT_EQ(doc.fonts[1].kind, FontKind::Swiss);
    EXPECT_EQ(doc.fonts[2].kind, FontKind::Modern);
    EXPECT_EQ(doc.defaultTab, 567);
    EXPECT_EQ(doc.page.width, 11906);
    EXPECT_EQ(doc.page.height, 16838);
    EXPECT_EQ(doc.page.marginLeft, 1701);
    EXPECT_EQ(doc.page.marginRight, 850);
    EXPECT_EQ(doc.page.marginTop, 1134);
    EXPECT_EQ(doc.page.marginBottom, 1134);

    ASSERT_GE(doc.blocks.size(), 6u);
    const Paragraph& title = doc.blocks[0].paragraph;
    EXPECT_EQ(title.format.alignment, Alignment::Center);
    EXPECT_EQ(title.format.spaceBefore, 120);
    EXPECT_EQ(title.format.spaceAfter, 240);
    const std::vector<Piece> titlePieces = Pieces(title);
    ASSERT_EQ(titlePieces.size(), 1u);
    EXPECT_TRUE(titlePieces[0].format.bold);
    EXPECT_EQ(titlePieces[0].format.halfPoints, 32);
    EXPECT_EQ(titlePieces[0].format.font, 1);

    const Paragraph& body = doc.blocks[1].paragraph;
    EXPECT_EQ(body.format.alignment, Alignment::Justify);
    EXPECT_EQ(body.format.leftIndent, 567);
    EXPECT_EQ(body.format.rightIndent, 283);
    EXPECT_EQ(body.format.firstLineIndent, -283);
    EXPECT_EQ(body.format.lineSpacing, 360);
    EXPECT_TRUE(body.format.lineMultiple);
    const std::vector<Piece> pieces = Pieces(body);
    const Piece* plain = Find(pieces, "plain");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->format, (CharFormat{0, 24, false, false, false, false, {}}));
    EXPECT_TRUE(Find(pieces, "bold")->format.bold);
    EXPECT_TRUE(Find(pieces, "italic")->format.italic);
    EXPECT_TRUE(Find(pieces, "under")->format.underline);
    EXPECT_FALSE(Find(pieces, "none")->format.underline);
    EXPECT_TRUE(Find(pieces, "struck")->format.strike);
    EXPECT_EQ(Find(pieces, "red")->format.color, (Color{true, 0xC00000}));
    EXPECT_EQ(Find(pieces, "blue")->format.color, (Color{true, 0x0000FF}));
    EXPECT_EQ(Find(pieces, "blue")->format.halfPoints, 20);

    const Paragraph& tabs = doc.blocks[2].paragraph;
    EXPECT_EQ(tabs.format.tabs, (std::vector<TabStop>{{2835, TabStop::Kind::Left}, {9355, TabStop::Kind::Right}}));
    EXPECT_EQ(Pieces(tabs)[1].text, "<br>");  // \line is a break inside the paragraph
    EXPECT_EQ(tabs.format.alignment, Alignment::Left);  // \pard resets

    const Paragraph& right = doc.blocks[3].paragraph;
    EXPECT_EQ(right.format.alignment, Alignment::Right);
    EXPECT_TRUE(right.format.pageBreakBefore);
    EXPECT_TRUE(right.pageBreakAfter);
}

TEST(FormattedReader, TablesWithWidthsAndBorders) {
    const FormattedDocument doc = LoadCorpus("formatting.rtf");
    ASSERT_GE(doc.blocks.size(), 6u);
    const Block& table = doc.blocks[4];
    ASSERT_TRUE(table.isTable);
    ASSERT_EQ(table.rows.size(), 2u);  // rows that follow each other make one table
    const TableRow& first = table.rows[0];
    EXPECT_TRUE(first.closed);
    EXPECT_EQ(first.leftEdge, 100);
    ASSERT_EQ(first.cells.size(), 2u);
    const TableCell& a = first.cells[0];
    EXPECT_EQ(a.rightEdge, 3000);
    EXPECT_EQ(a.padding, 57);
    EXPECT_EQ(a.top.width, 15);
    EXPECT_EQ(a.left.width, 15);
    EXPECT_EQ(a.bottom.width, 30);
    EXPECT_EQ(a.bottom.color, (Color{true, 0x0000FF}));
    EXPECT_EQ(a.right.width, 0);
    ASSERT_EQ(a.paragraphs.size(), 2u);  // a cell of two paragraphs
    EXPECT_TRUE(a.paragraphs[0].closed);
    EXPECT_FALSE(a.paragraphs[1].closed);
    const TableCell& b = first.cells[1];
    EXPECT_EQ(b.rightEdge, 6000);
    EXPECT_EQ(b.bottom.width, 15);  // a line style without a width is a thin line
    EXPECT_EQ(b.top.width, 0);      // the definitions of one cell do not leak into the next
    // The second row's definition has no borders.
    EXPECT_EQ(table.rows[1].cells[0].top.width, 0);
    EXPECT_EQ(table.rows[1].leftEdge, 0);
}

TEST(FormattedReader, PicturesInPngAndJpegOnly) {
    const FormattedDocument doc = LoadCorpus("formatting.rtf");
    // The \shppict picture and the JPEG are kept; the \nonshppict copy and the EMF are not.
    ASSERT_EQ(doc.pictures.size(), 2u);
    const Picture& png = doc.pictures[0];
    EXPECT_EQ(png.type, Picture::Type::Png);
    EXPECT_EQ(png.bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.bytes.size(), 84u);
    EXPECT_EQ(png.width, 300);   // 600 twips at 50 %
    EXPECT_EQ(png.height, 600);  // 300 twips at 200 %
    const Picture& jpeg = doc.pictures[1];
    EXPECT_EQ(jpeg.type, Picture::Type::Jpeg);
    EXPECT_EQ(jpeg.bytes, "\xff\xd8\xff\xe0");
    EXPECT_EQ(jpeg.width, 60);  // 4 pixels at 96 per inch
    const std::vector<Piece> last = Pieces(doc.blocks.back().paragraph);
    ASSERT_GE(last.size(), 3u);
    EXPECT_EQ(last[0].text, "<pic0>");
    EXPECT_EQ(last[1].text, "x");
    EXPECT_EQ(last[2].text, "<pic1>");
}

TEST(FormattedReader, ImpossibleValuesAreKeptInBounds) {
    const FormattedDocument doc = Read(
        "{\\rtf1\\paperw-5\\paperh99999999999\\margl-7 \\fs0 a\\fs99999 b\\li99999999 c\\par"
        "{\\pict\\pngblip\\picwgoal99999999\\picscalex99999 00}\\par}");
    EXPECT_EQ(doc.page.width, 0);
    EXPECT_EQ(doc.page.height, 100000);
    EXPECT_EQ(doc.page.marginLeft, 0);
    const std::vector<Piece> pieces = Pieces(doc.blocks[0].paragraph);
    EXPECT_EQ(pieces[0].format.halfPoints, 24);
    EXPECT_EQ(pieces[1].format.halfPoints, 3276);
    EXPECT_EQ(doc.blocks[0].paragraph.format.leftIndent, 100000);
    ASSERT_EQ(doc.pictures.size(), 1u);
    EXPECT_EQ(doc.pictures[0].width, 100000);
}

// --- Replacing text in the formatted document --------------------------------------------

std::vector<std::string> PlainRoundTrip(const std::string& rtf, const std::vector<std::pair<std::string, std::string>>& steps) {
    RichTextDocument doc;
    EXPECT_TRUE(doc.LoadFromRtf(rtf));
    for (const auto& [pattern, value] : steps) ReplaceAsTextView(doc, pattern, value);
    return DocumentLines(doc);
}

std::vector<std::string> Formatted(const std::string& rtf, const std::vector<std::pair<std::string, std::string>>& steps,
                                   RichTextDocument* out = nullptr) {
    RichTextDocument doc;
    EXPECT_TRUE(doc.LoadFromRtf(rtf));
    for (const auto& [pattern, value] : steps) doc.Replace(pattern, value);
    if (out) *out = doc;
    return DocumentLines(doc);
}

TEST(FormattedReplace, SameTextAsThePlainRoundTrip) {
    struct Case {
        const char* rtf;
        std::vector<std::pair<std::string, std::string>> steps;
    };
    const Case cases[] = {
        // Every occurrence; each step searches what the earlier steps left; never its own.
        {"{\\rtf1 $<name> $<dose>\\par [$<name>$<name>]\\par}", {{"$<name>", "A $<dose> $<name>"}, {"$<dose>", "7"}}},
        // Split across runs, groups and a picture; a match inside a table cell.
        {"{\\rtf1 {\\b $<na}{\\i me>} x{\\pict\\pngblip 00}y $<{\\pict\\pngblip 00}name>\\par}", {{"$<name>", "N"}}},
        {"{\\rtf1\\trowd\\cellx1000\\cellx2000\\intbl $<dose>\\cell a$<dose>b\\cell\\row}", {{"$<dose>", "1,5"}}},
        // Text after the row's last cell mark, closed by the row mark.
        {"{\\rtf1\\trowd\\cellx1000\\intbl $<dose>\\cell tail $<dose>\\row after\\par}", {{"$<dose>", "1,5"}}},
        {"{\\rtf1\\trowd\\cellx1000\\intbl a\\cell $<dose>\\row}", {{"$<dose>", ""}}},
        // Exact: another case or a partial placeholder is no match; empty values.
        {"{\\rtf1 $<Dose> $<dose $<dose>> $$<dose>\\par}", {{"$<dose>", ""}}},
        // Values with line ends become lines, as the plain text splits them.
        {"{\\rtf1 a$<name>b\\line c\\par}", {{"$<name>", "1\r\n2\r3\n4"}}},
        {"{\\rtf1 $<name>$<name>\\par}", {{"$<name>", "\nx\r"}}},
        {"{\\rtf1 $<name>\\line $<name>\\par}", {{"$<name>", "\r"}}},
        // Overlapping candidates are taken from the left.
        {"{\\rtf1 aaaa\\par}", {{"aa", "b"}}},
        // No placeholder: the text stays.
        {"{\\rtf1 plain\\tab text\\par}", {{"$<name>", "x"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rtf);
        EXPECT_EQ(Formatted(c.rtf, c.steps), PlainRoundTrip(c.rtf, c.steps));
    }
}

TEST(FormattedReplace, ReplacementTakesTheFormatOfTheTextItStandsIn) {
    RichTextDocument doc;
    Formatted("{\\rtf1 Dose: $<{\\b dose>} and {\\i\\cf1 $<dose>} end\\par}", {{"$<dose>", "12,5"}}, &doc);
    const std::vector<Piece> pieces = Pieces(doc.Formatted().blocks[0].paragraph);
    // The first "12,5" in the plain format of "$<" (one piece with the text around it),
    // the second in the italic red of its placeholder.
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].text, "Dose: 12,5 and ");
    EXPECT_FALSE(pieces[0].format.bold);
    EXPECT_EQ(pieces[1].text, "12,5");
    EXPECT_TRUE(pieces[1].format.italic);
    EXPECT_EQ(pieces[2].text, " end");
    // A picture inside a match comes after the replacement, one before it stays before.
    Formatted("{\\rtf1 {\\pict\\pngblip 00}$<na{\\pict\\pngblip 00}me>!\\par}", {{"$<name>", "N"}}, &doc);
    std::string shown;
    for (const Piece& p : Pieces(doc.Formatted().blocks[0].paragraph)) shown += p.text;
    EXPECT_EQ(shown, "<pic0>N<pic1>!");
}

}  // namespace
}  // namespace qel
