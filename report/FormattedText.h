#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// A formatted document as the rich-text reader understands it: paragraphs and tables with
// their character and paragraph formatting, pictures and the page. All lengths are in
// twips (1/1440 inch), as rich text gives them. Nothing here depends on a window system.

// The kind of face a font table entry asks for, used when the named face is missing.
enum class FontKind : uint8_t { Unknown, Roman, Swiss, Modern, Script, Decor, Tech };

struct FontEntry {
    std::string name;
    FontKind kind = FontKind::Unknown;
};

// A colour as 0xRRGGBB, or none (the printer's default, black).
struct Color {
    bool set = false;
    uint32_t rgb = 0;
    bool operator==(const Color&) const = default;
};

struct CharFormat {
    int font = -1;         // index into FormattedDocument::fonts; -1: the default face
    int halfPoints = 24;   // size in half points (rich text's default is 12 pt)
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    Color color;
    bool operator==(const CharFormat&) const = default;
};

enum class Alignment : uint8_t { Left, Center, Right, Justify };

struct TabStop {
    enum class Kind : uint8_t { Left, Center, Right, Decimal };
    int position = 0;
    Kind kind = Kind::Left;
    bool operator==(const TabStop&) const = default;
};

struct ParagraphFormat {
    Alignment alignment = Alignment::Left;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstLineIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    // Line spacing: 0 is single; with lineMultiple it is in 240ths of a line, otherwise a
    // height in twips (at least that height when positive, exactly when negative).
    int lineSpacing = 0;
    bool lineMultiple = false;
    bool pageBreakBefore = false;
    bool inTable = false;
    std::vector<TabStop> tabs;
};

struct Picture {
    enum class Type : uint8_t { Png, Jpeg };
    Type type = Type::Png;
    std::string bytes;
    int width = 0;   // the size it is shown at, 0 when the file does not say
    int height = 0;
};

// A piece of a paragraph: text in one format (tabs included, no line ends), a forced line
// break, or a picture.
struct Inline {
    enum class Kind : uint8_t { Text, LineBreak, Picture };
    Kind kind = Kind::Text;
    std::string text;        // UTF-8, for Text
    CharFormat format;
    std::size_t picture = 0;  // index into FormattedDocument::pictures, for Picture
};

struct Paragraph {
    ParagraphFormat format;
    std::vector<Inline> inlines;
    // Ended by a paragraph mark; the last paragraph of a file and of a table cell may not be.
    bool closed = false;
    bool pageBreakAfter = false;
};

struct BorderLine {
    int width = 0;  // 0: no line
    Color color;
};

struct TableCell {
    int rightEdge = 0;  // from the row's definition; 0 when it defines none for this cell
    BorderLine top, left, bottom, right;
    int padding = 0;
    std::vector<Paragraph> paragraphs;
    // Ended by a cell mark; text left between the last cell mark and the row's end is not.
    bool closed = false;
};

struct TableRow {
    int leftEdge = 0;
    std::vector<TableCell> cells;
    bool closed = false;  // ended by a row mark (a file may end inside a row)
};

// A paragraph or a run of table rows that follow each other.
struct Block {
    bool isTable = false;
    Paragraph paragraph;
    std::vector<TableRow> rows;
};

struct PageSetup {
    int width = 0;  // paper size, 0 when the document does not set it
    int height = 0;
    int marginLeft = 1800;  // rich text's defaults
    int marginRight = 1800;
    int marginTop = 1440;
    int marginBottom = 1440;
};

struct FormattedDocument {
    std::vector<FontEntry> fonts;
    std::vector<Picture> pictures;
    std::vector<Block> blocks;
    PageSetup page;
    int defaultTab = 720;
    // Whether the text after the last line end is a line even when it is empty. A reader
    // drops an empty last line (a file that ends with a paragraph mark has no line after
    // it); a last line that had text stays a line when replacing empties it.
    bool keepLastLine = false;
};

// The document's plain text as lines (UTF-8): paragraphs and forced line breaks end lines,
// table cells of a row are joined by TAB on one line, pictures give no text.
std::vector<std::string> PlainLines(const FormattedDocument& document);

// Sets keepLastLine: whether the document's text as it is now has text after its last
// line end. The reader calls this once it has read a file.
void SettleLastLine(FormattedDocument& document);

// Lines of plain text: split at CR LF, CR or LF; a line break at the very end starts no
// further line.
std::vector<std::string> SplitLines(std::string_view text);

// A document holding the lines as plain paragraphs in the default format.
FormattedDocument PlainDocument(const std::vector<std::string>& lines);

// Replaces every occurrence of `pattern` (exact match, case included) in each paragraph by
// `replacement`, searching from left to right and never inside a replacement just made.
// A match may run across differently formatted pieces and pictures; the replacement takes
// the format of the match's first character. Line breaks in the replacement (CR LF, CR or
// LF) become forced line breaks. `pattern` must not be empty or hold a line break.
void ReplaceInDocument(FormattedDocument& document, std::string_view pattern, std::string_view replacement);

}  // namespace qel
