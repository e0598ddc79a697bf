#pragma once
// The RTF control words the reader knows: what each one does, and the value a word of a
// family carries (a field of the page, a side of a cell, ...), by name.
#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace qel::rtf {

enum class Word : uint8_t {
    Par,            // \par
    Sect,           // \sect: a paragraph end here
    Page,           // \page: a paragraph end, then a new page
    Line,           // \line: a forced line break
    Tab,            // \tab \nestcell (nested tables are read as text)
    Cell,           // \cell
    Row,            // \row: the row ends; no TAB after the last cell
    Char,           // a character of its own (\emdash, \bullet, ...)
    Unicode,        // \uN
    UnicodeSkip,    // \ucN
    Binary,         // \binN
    DocCodePage,    // \ansicpg
    Ansi, Mac, Pc, Pca,
    DefaultFont,    // \deff
    Font,           // \f
    FontCharset,    // \fcharset
    FontCodePage,   // \cpg
    FontFamily,     // \froman \fswiss ...: the kind in `value`
    Plain,          // \plain
    FontTable,      // \fonttbl
    ColorTable,     // \colortbl
    ColorPart,      // \red \green \blue: the shift of the part in `value`
    Object,         // \object: skipped, but its \result is shown
    Result,         // \result
    Skip,           // a destination whose content is not text
    // Character formatting.
    Bold, Italic, Underline, UnderlineNone, Strike, FontSize, ForeColor,
    // Paragraph formatting.
    ParagraphDefault, Align, LeftIndent, RightIndent, FirstIndent, SpaceBefore, SpaceAfter,
    LineSpacing, LineMultiple, TabPosition, TabKind, PageBreakBefore, InTable,
    // Page and document.
    PageSize,       // `value`: a PageField
    DefaultTab,
    // Table rows.
    RowDefaults, RowLeft, RowGap, CellEdge, CellBorder, OtherBorder, BorderLine, BorderNone,
    BorderWidth, BorderColor, CellPadding,  // CellBorder: a CellSide
    // Pictures.
    Pict, PictType, PictSize, ShapePicture,  // PictType: a PictureFormat; PictSize: a PictureField
};

struct WordInfo {
    Word kind;
    char32_t value = 0;
};

// The values that words of a family carry in WordInfo::value.
enum PageField : char32_t { kPaperWidth, kPaperHeight, kMarginLeft, kMarginRight, kMarginTop, kMarginBottom };
enum PictureField : char32_t { kGoalWidth, kGoalHeight, kScaleX, kScaleY, kPixelWidth, kPixelHeight };
enum PictureFormat : char32_t { kOtherFormat = 0, kPng = 1, kJpeg = 2 };
enum CellSide : char32_t { kTopSide, kLeftSide, kBottomSide, kRightSide };  // the order of a cell's borders
// \red, \green, \blue: where the part goes in a colour's 0xRRGGBB.
inline constexpr char32_t kRedShift = 16;
inline constexpr char32_t kGreenShift = 8;
inline constexpr char32_t kBlueShift = 0;

// Every control word the reader acts on, by its name without the backslash.
const std::unordered_map<std::string_view, WordInfo>& KnownWords();

}  // namespace qel::rtf
