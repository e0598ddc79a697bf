#include "RtfReader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "Failure.h"
#include "ReportBudget.h"
#include "RtfCodePages.h"
#include "RtfControlWords.h"
#include "Utf8.h"

namespace qel {

namespace {

using rtf::Word;
using rtf::WordInfo;

// Groups nested deeper than this are read but their content is dropped, so hostile input
// cannot make the group stack grow without bound.
constexpr std::size_t kMaxGroupDepth = 256;
// Control words are at most 32 letters long; longer ones match nothing known.
constexpr std::size_t kMaxWordLength = 32;
// Parameters beyond this magnitude are clamped while their digits are read on.
constexpr int32_t kMaxParameter = 1'000'000'000;
// Tab stops a paragraph keeps, cells a row definition keeps, letters a font name keeps:
// more are ignored, so the state copied into every group stays small.
constexpr std::size_t kMaxTabStops = 64;
constexpr std::size_t kMaxCellDefinitions = 64;
constexpr std::size_t kMaxFontNameLength = 128;
// Lengths in twips beyond about 2 m are clamped.
constexpr int32_t kMaxLength = 100'000;

struct FontInfo {
    unsigned charsetCodePage = 0;  // from \fcharset; 0: the document's code page
    unsigned codePage = 0;         // from \cpg, which wins over the character set
    int index = -1;                // its entry in the document's font list
    bool symbolCharset = false;    // \fcharset2: the bytes are the font's own characters
    std::optional<bool> symbolName;  // whether its name is a symbol font's, once asked
};

// What a group carries and its nested groups inherit.
struct GroupState {
    bool skip = false;            // the group's text is not document text
    bool fontTable = false;       // \f and \fcharset define fonts here, text names them
    bool colorTable = false;      // \red \green \blue and ";" define colours here
    bool pict = false;            // text here is a picture's hexadecimal data
    bool isObject = false;        // this group is an \object
    bool parentIsObject = false;  // an \result here is the object's visible text
    int ucSkip = 1;               // fallback characters after \uN
    int font = -1;                // current font; -1 for the document's default font
    int definedFont = -1;         // font being defined in the font table
    CharFormat chars;             // `font` is resolved when text is added
    ParagraphFormat paragraph;
};

// A cell as the row definition gives it.
struct CellDefinition {
    int rightEdge = 0;
    std::array<BorderLine, 4> borders;  // top, left, bottom, right
    int padding = 0;
};

struct PictureInProgress {
    std::size_t depth = 0;  // group depth of the \pict; 0: none being read
    int type = rtf::kOtherFormat;  // rtf::kPng, rtf::kJpeg, or a format that is not shown
    std::string bytes;
    int nibble = -1;        // the high half of a byte whose low half has not come yet
    // Indexed by rtf::PictureField: goal width and height (twips), scale x and y (per cent),
    // width and height in pixels.
    std::array<int32_t, 6> size{0, 0, 100, 100, 0, 0};
};

int32_t ClampLength(int32_t value) { return std::clamp(value, -kMaxLength, kMaxLength); }

class Parser {
public:
    Parser(std::string_view rtf, bool budgeted) : in_(rtf), budgeted_(budgeted) {}

    FormattedDocument Run() {
        while (pos_ < in_.size() && !ended_) {
            const auto c = static_cast<uint8_t>(in_[pos_++]);
            switch (c) {
                case '{': OpenGroup(); break;
                case '}': CloseGroup(); break;
                case '\\': ControlSequence(); break;
                case '\r':
                case '\n': break;  // line ends of the file are not text
                default: TextByte(c); break;
            }
        }
        if (!breach_) Finish();
        return std::move(doc_);
    }

    // The limit of ReportBudget that stopped the reading, if one did.
    const std::optional<std::string>& Breach() const { return breach_; }

private:
    GroupState& State() { return overflowDepth_ > 0 || stack_.empty() ? overflow_ : stack_.back(); }

    void OpenGroup() {
        pendingSkip_ = 0;
        if (overflowDepth_ > 0 || stack_.size() >= kMaxGroupDepth) {
            if (overflowDepth_++ == 0) {
                overflow_ = stack_.back();
                overflow_.skip = true;
                overflow_.fontTable = overflow_.colorTable = overflow_.pict = false;
            }
            return;
        }
        GroupState child = stack_.empty() ? GroupState{} : stack_.back();
        child.parentIsObject = child.isObject;
        child.isObject = false;
        stack_.push_back(std::move(child));
    }

    void CloseGroup() {
        pendingSkip_ = 0;
        if (overflowDepth_ > 0) {
            --overflowDepth_;
            return;
        }
        if (picture_.depth != 0 && picture_.depth == stack_.size()) EndPicture();
        if (!stack_.empty()) stack_.pop_back();
        if (stack_.empty()) ended_ = true;  // the document's outer group is closed
    }

    // Drops one fallback character of a \uN; true if this one was dropped.
    bool DropFallback() {
        if (pendingSkip_ <= 0) return false;
        --pendingSkip_;
        return true;
    }

    void TextByte(uint8_t c) {
        if (State().pict) {
            PictureByte(c);
            return;
        }
        if (DropFallback()) return;
        if (State().colorTable && c == ';') {
            EndColor();
            return;
        }
        DecodedByte(c);
    }

    // A byte of text in the current code page.
    void DecodedByte(uint8_t c) {
        if (State().skip && !State().fontTable) return;
        if (c >= 0x20 && !State().fontTable && SymbolFont()) {
            Emit(kSymbolFontPrivateUse + c);  // the font's own character, mapped in Emit
            return;
        }
        if (c < 0x80) {
            Emit(c);
            return;
        }
        std::string decoded;
        AppendCodePageByte(decoded, CurrentCodePage(), c);
        for (std::size_t at = 0; at < decoded.size();) {
            const Utf8Char ch = DecodeUtf8At(decoded, at);
            Emit(ch.codePoint);
            at += ch.length;
        }
    }

    unsigned CurrentCodePage() {
        GroupState& st = State();
        const int font = st.fontTable ? st.definedFont : st.font >= 0 ? st.font : defaultFont_;
        const auto it = fonts_.find(font);
        if (it != fonts_.end()) {
            if (it->second.codePage != 0) return it->second.codePage;
            if (it->second.charsetCodePage != 0) return it->second.charsetCodePage;
        }
        return documentCodePage_;
    }

    void Emit(char32_t cp) {
        GroupState& st = State();
        if (st.fontTable) {
            FontNameChar(cp);
            return;
        }
        if (st.skip) return;
        if (cp < 0x20 && cp != U'\t') return;  // control characters (\u10, \u0) carry no text
        if (highSurrogate_ != 0) {
            if (cp >= 0xDC00 && cp <= 0xDFFF) {
                std::string ch;
                AppendUtf8(ch, 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (cp - 0xDC00));
                highSurrogate_ = 0;
                AppendText(ch);
                return;
            }
            FlushSurrogate();
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            highSurrogate_ = cp;  // joined with the low half that should follow
            return;
        }
        // Word processors write the characters of Symbol and Wingdings in the private
        // use area U+F020-U+F0FF (and as bytes of a symbol-charset font): their Unicode
        // characters print, where the private ones would print as missing glyphs.
        if (cp >= kSymbolFontPrivateUse + 0x20 && cp <= kSymbolFontPrivateUse + 0xFF)
            cp = SymbolFontCharacter(static_cast<uint8_t>(cp - kSymbolFontPrivateUse), CurrentFontName());
        std::string ch;
        AppendUtf8(ch, cp);  // a lone low surrogate becomes U+FFFD there
        AppendText(ch);
    }

    void FlushSurrogate() {
        if (highSurrogate_ == 0) return;
        highSurrogate_ = 0;
        std::string ch;
        AppendUtf8(ch, kReplacementCharacter);
        AppendText(ch);
    }

    // The character format of text added now, its font resolved to the document's list.
    CharFormat CurrentCharFormat() {
        const GroupState& st = State();
        CharFormat format = st.chars;
        const int font = st.font >= 0 ? st.font : defaultFont_;
        const auto it = fonts_.find(font);
        format.font = it != fonts_.end() ? it->second.index : -1;
        return format;
    }

    void AppendText(const std::string& utf8) {
        const CharFormat format = CurrentCharFormat();
        std::vector<Inline>& inlines = paragraph_.inlines;
        if (inlines.empty() || inlines.back().kind != Inline::Kind::Text || !(inlines.back().format == format)) {
            Inline piece;
            piece.format = format;
            inlines.push_back(std::move(piece));
            Counted([](BudgetCount& c) { c.Piece(); });
        }
        inlines.back().text += utf8;
        Counted([](BudgetCount& c) { c.Characters(1); });
    }

    // Counts what the document gained, and ends the reading at the first limit passed:
    // what the step under way adds after it is dropped with the document.
    template <class Step>
    void Counted(Step step) {
        if (!budgeted_ || breach_) return;
        step(budget_);
        breach_ = budget_.Breach();
        if (breach_) ended_ = true;
    }

    // The font of the text now, and whether it is a symbol font (character set 2, or a
    // font named Symbol, Wingdings or Webdings), whose bytes stand for its own characters.
    FontInfo* CurrentFont() {
        const GroupState& st = State();
        const auto it = fonts_.find(st.font >= 0 ? st.font : defaultFont_);
        return it != fonts_.end() ? &it->second : nullptr;
    }
    std::string CurrentFontName() {
        const FontInfo* font = CurrentFont();
        return font != nullptr && font->index >= 0 ? doc_.fonts[static_cast<std::size_t>(font->index)].name : std::string();
    }
    bool SymbolFont() {
        FontInfo* font = CurrentFont();
        if (font == nullptr) return false;
        if (font->symbolCharset) return true;
        if (!font->symbolName) font->symbolName = IsSymbolFontName(CurrentFontName());  // asked for every byte
        return *font->symbolName;
    }

    // --- Paragraphs, cells and rows ---------------------------------------------------

    void LineBreak() {
        if (State().skip) return;
        FlushSurrogate();
        Counted([](BudgetCount& c) { c.Piece(); });
        Inline piece;
        piece.kind = Inline::Kind::LineBreak;
        piece.format = CurrentCharFormat();
        paragraph_.inlines.push_back(std::move(piece));
    }

    void EndParagraph(bool pageBreak) {
        if (State().skip) return;
        FlushSurrogate();
        Paragraph done = TakeParagraph();
        done.closed = true;
        done.pageBreakAfter = pageBreak;
        if (rowOpen_ || done.format.inTable) {
            cell_.paragraphs.push_back(std::move(done));
            return;
        }
        FlushCellAsParagraphs();
        AddParagraphBlock(std::move(done));
    }

    Paragraph TakeParagraph() {
        Counted([](BudgetCount& c) { c.Paragraph(); });
        Paragraph done = std::move(paragraph_);
        paragraph_ = Paragraph{};
        done.format = State().paragraph;
        return done;
    }

    void AddParagraphBlock(Paragraph paragraph) {
        Block block;
        block.paragraph = std::move(paragraph);
        doc_.blocks.push_back(std::move(block));
        lastBlockIsTable_ = false;
    }

    // Table paragraphs that no cell mark followed are ordinary paragraphs after all.
    void FlushCellAsParagraphs() {
        for (Paragraph& p : cell_.paragraphs) AddParagraphBlock(std::move(p));
        cell_ = TableCell{};
    }

    void EndCell() {
        if (State().skip) return;
        FlushSurrogate();
        cell_.paragraphs.push_back(TakeParagraph());
        cell_.closed = true;
        row_.cells.push_back(std::move(cell_));
        Counted([&](BudgetCount& c) {
            c.Cell();
            c.Row(row_.cells.size());
        });
        cell_ = TableCell{};
        rowOpen_ = true;
    }

    void EndRow(bool closed) {
        FlushSurrogate();
        // Text after the last cell mark stays in the row as a cell of its own.
        if (!paragraph_.inlines.empty() || !cell_.paragraphs.empty()) {
            cell_.paragraphs.push_back(TakeParagraph());
            row_.cells.push_back(std::move(cell_));
            Counted([&](BudgetCount& c) {
                c.Cell();
                c.Row(row_.cells.size());
            });
        }
        cell_ = TableCell{};
        paragraph_ = Paragraph{};
        row_.closed = closed;
        row_.leftEdge = rowLeft_;
        for (std::size_t i = 0; i < row_.cells.size() && i < cellDefinitions_.size(); ++i) {
            TableCell& cell = row_.cells[i];
            const CellDefinition& def = cellDefinitions_[i];
            cell.rightEdge = def.rightEdge;
            cell.top = def.borders[0];
            cell.left = def.borders[1];
            cell.bottom = def.borders[2];
            cell.right = def.borders[3];
            cell.padding = def.padding;
        }
        if (!lastBlockIsTable_) {
            Block block;
            block.isTable = true;
            doc_.blocks.push_back(std::move(block));
            lastBlockIsTable_ = true;
        }
        doc_.blocks.back().rows.push_back(std::move(row_));
        row_ = TableRow{};
        rowOpen_ = false;
    }

    void Finish() {
        FlushSurrogate();
        if (rowOpen_) {
            EndRow(false);
            return;
        }
        FlushCellAsParagraphs();
        if (!paragraph_.inlines.empty()) AddParagraphBlock(TakeParagraph());
    }

    // --- Font and colour tables --------------------------------------------------------

    FontInfo& DefinedFont(int number) {
        FontInfo& info = fonts_[number];
        if (info.index < 0) {
            info.index = static_cast<int>(doc_.fonts.size());
            doc_.fonts.emplace_back();
        }
        return info;
    }

    void FontNameChar(char32_t cp) {
        const int number = State().definedFont;
        if (number < 0 || cp < 0x20) return;
        if (cp == U';') {
            FontEntry& entry = doc_.fonts[static_cast<std::size_t>(DefinedFont(number).index)];
            if (entry.name.empty()) entry.name = fontName_;
            fontName_.clear();
            return;
        }
        if (fontName_.size() < kMaxFontNameLength) AppendUtf8(fontName_, cp);
    }

    void EndColor() {
        colors_.push_back(Color{colorSet_, colorValue_});
        colorSet_ = false;
        colorValue_ = 0;
    }

    Color ColorAt(int32_t index) const {
        if (index < 0 || static_cast<std::size_t>(index) >= colors_.size()) return {};
        return colors_[static_cast<std::size_t>(index)];
    }

    // --- Pictures ------------------------------------------------------------------------

    void PictureByte(uint8_t c) {
        const int v = HexValue(static_cast<char>(c));
        if (v < 0) return;
        if (picture_.nibble < 0) {
            picture_.nibble = v;
            return;
        }
        picture_.bytes.push_back(static_cast<char>(picture_.nibble * 16 + v));
        picture_.nibble = -1;
    }

    void EndPicture() {
        PictureInProgress done = std::move(picture_);
        picture_ = PictureInProgress{};
        if (done.type == rtf::kOtherFormat || done.bytes.empty()) return;
        // The size it is shown at: the goal size, else the pixels at 96 per inch, scaled.
        const auto shown = [&](int goal, int pixels, int scale) {
            const int64_t base = goal > 0 ? goal : static_cast<int64_t>(std::max(0, pixels)) * 15;
            return static_cast<int>(std::min<int64_t>(kMaxLength, base * std::clamp(scale, 1, 1000) / 100));
        };
        Picture picture;
        picture.type = done.type == rtf::kPng ? Picture::Type::Png : Picture::Type::Jpeg;
        Counted([&](BudgetCount& c) {
            c.Picture(DecodedPictureBytes(done.bytes, picture.type));
            c.Piece();
        });
        picture.bytes = std::move(done.bytes);
        picture.width = shown(done.size[rtf::kGoalWidth], done.size[rtf::kPixelWidth], done.size[rtf::kScaleX]);
        picture.height = shown(done.size[rtf::kGoalHeight], done.size[rtf::kPixelHeight], done.size[rtf::kScaleY]);
        Inline piece;
        piece.kind = Inline::Kind::Picture;
        piece.picture = doc_.pictures.size();
        doc_.pictures.push_back(std::move(picture));
        // The picture's group is still on the stack; its format is that of the text around.
        piece.format = CurrentCharFormat();
        paragraph_.inlines.push_back(std::move(piece));
    }

    // --- Control words ---------------------------------------------------------------------

    void ControlSequence() {
        if (pos_ >= in_.size()) return;  // a lone backslash at the end
        const auto c = static_cast<uint8_t>(in_[pos_]);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            ControlWord();
        } else {
            ++pos_;
            ControlSymbol(c);
        }
    }

    void ControlSymbol(uint8_t c) {
        if (c == '\'') {
            // \'hh: one byte in the current code page; a broken escape is dropped.
            int value = 0;
            int digits = 0;
            while (digits < 2 && pos_ < in_.size()) {
                const int v = HexValue(in_[pos_]);
                if (v < 0) break;
                value = value * 16 + v;
                ++digits;
                ++pos_;
            }
            if (DropFallback() || digits != 2 || State().pict) return;
            DecodedByte(static_cast<uint8_t>(value));
            return;
        }
        if (c == '*') {
            // An ignorable destination: its content is never text of ours, unless it is
            // one we know (a picture in \shppict).
            GroupState& st = State();
            st.skip = true;
            st.isObject = st.fontTable = st.colorTable = st.pict = false;
            return;
        }
        if (DropFallback()) return;
        switch (c) {
            case '\\':
            case '{':
            case '}': Emit(c); break;
            case '~': Emit(0x00A0); break;  // non-breaking space
            case '_': Emit(0x2011); break;  // non-breaking hyphen
            case '\r':
            case '\n': EndParagraph(false); break;  // a backslash before a line end is \par
            default: break;                 // \- \: \| and the unknown
        }
    }

    static int HexValue(char ch) {
        if (ch >= '0' && ch <= '9') return ch - '0';
        if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
        if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
        return -1;
    }

    void ControlWord() {
        const std::size_t start = pos_;
        while (pos_ < in_.size() && ((in_[pos_] >= 'a' && in_[pos_] <= 'z') || (in_[pos_] >= 'A' && in_[pos_] <= 'Z')))
            ++pos_;
        std::string_view name = in_.substr(start, pos_ - start);
        if (name.size() > kMaxWordLength) name = {};  // too long to be any word we know

        bool hasParam = false;
        bool negative = false;
        int64_t magnitude = 0;
        if (pos_ + 1 < in_.size() && in_[pos_] == '-' && in_[pos_ + 1] >= '0' && in_[pos_ + 1] <= '9') {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && in_[pos_] >= '0' && in_[pos_] <= '9') {
            hasParam = true;
            magnitude = std::min<int64_t>(kMaxParameter, magnitude * 10 + (in_[pos_] - '0'));
            ++pos_;
        }
        const auto param = static_cast<int32_t>(negative ? -magnitude : magnitude);
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;  // the delimiting space

        const auto& words = rtf::KnownWords();
        const auto it = words.find(name);
        if (it == words.end()) {
            DropFallback();  // unknown words are ignored, but count as a fallback character
            return;
        }
        const WordInfo info = it->second;
        if (info.kind == Word::Binary) {
            // Raw bytes follow; they are data, never text or syntax.
            const std::size_t count = std::min(hasParam && param > 0 ? static_cast<std::size_t>(param) : 0,
                                               in_.size() - pos_);
            if (State().pict) picture_.bytes.append(in_.substr(pos_, count));
            pos_ += count;
            DropFallback();
            return;
        }
        if (DropFallback()) return;
        Apply(info, hasParam, param);
    }

    void Apply(const WordInfo& info, bool hasParam, int32_t param) {
        GroupState& st = State();
        // A switch without a parameter, or with one other than 0, turns its property on.
        const bool on = !hasParam || param != 0;
        switch (info.kind) {
            case Word::Par:
            case Word::Sect: EndParagraph(false); return;
            case Word::Page: EndParagraph(true); return;
            case Word::Line: LineBreak(); return;
            case Word::Tab: Emit(U'\t'); return;
            case Word::Cell: EndCell(); return;
            case Word::Row:
                if (!st.skip) EndRow(true);
                return;
            case Word::Char: Emit(info.value); return;
            case Word::Unicode:
                if (hasParam) {
                    // Negative values are the upper half of the 16-bit range.
                    const int32_t unit = param < 0 ? param + 65536 : param;
                    Emit(unit >= 0 && unit <= 0xFFFF ? static_cast<char32_t>(unit) : kReplacementCharacter);
                }
                pendingSkip_ = st.ucSkip;
                return;
            case Word::UnicodeSkip: st.ucSkip = hasParam ? std::max(0, param) : 1; return;
            case Word::Binary: return;
            case Word::DocCodePage:
                if (hasParam && param > 0) documentCodePage_ = static_cast<unsigned>(param);
                return;
            case Word::Ansi: documentCodePage_ = kWesternCodePage; return;
            case Word::Mac: documentCodePage_ = 10000; return;
            case Word::Pc: documentCodePage_ = 437; return;
            case Word::Pca: documentCodePage_ = 850; return;
            case Word::DefaultFont: defaultFont_ = param; return;
            case Word::Font:
                if (st.fontTable) {
                    st.definedFont = param;
                    fontName_.clear();
                    DefinedFont(param);
                } else {
                    st.font = param;
                }
                return;
            case Word::FontCharset:
                if (st.fontTable && st.definedFont >= 0) {
                    FontInfo& font = DefinedFont(st.definedFont);
                    font.charsetCodePage = CharsetCodePage(param);
                    font.symbolCharset = param == 2;
                }
                return;
            case Word::FontCodePage:
                if (st.fontTable && st.definedFont >= 0 && param > 0)
                    DefinedFont(st.definedFont).codePage = static_cast<unsigned>(param);
                return;
            case Word::FontFamily:
                if (st.fontTable && st.definedFont >= 0)
                    doc_.fonts[static_cast<std::size_t>(DefinedFont(st.definedFont).index)].kind =
                        static_cast<FontKind>(info.value);
                return;
            case Word::Plain:
                st.font = -1;
                st.chars = CharFormat{};
                return;
            case Word::FontTable:
                st.fontTable = true;
                st.skip = true;
                return;
            case Word::ColorTable:
                st.colorTable = true;
                st.skip = true;
                colors_.clear();
                return;
            case Word::ColorPart:
                if (st.colorTable) {
                    colorValue_ |= static_cast<uint32_t>(std::clamp(param, 0, 255)) << info.value;
                    colorSet_ = true;
                }
                return;
            case Word::Object:
                st.skip = true;
                st.isObject = true;
                return;
            case Word::Result:
                if (st.parentIsObject) st.skip = false;
                return;
            case Word::Skip:
                st.skip = true;
                st.isObject = st.fontTable = st.colorTable = st.pict = false;
                return;
            case Word::ShapePicture:
                // A picture wrapped as an ignorable destination: shown when its group is.
                st.skip = stack_.size() >= 2 && overflowDepth_ == 0 ? stack_[stack_.size() - 2].skip : true;
                return;
            case Word::Pict:
                if (st.skip || picture_.depth != 0 || overflowDepth_ > 0) {
                    st.skip = true;
                    return;
                }
                st.skip = true;
                st.pict = true;
                picture_.depth = stack_.size();
                return;
            case Word::PictType:
                if (st.pict) picture_.type = static_cast<int>(info.value);
                return;
            case Word::PictSize:
                if (st.pict) picture_.size[info.value] = std::clamp(param, 0, kMaxLength);
                return;
            default: break;
        }
        if (st.skip) return;  // formatting inside a destination that is not shown
        ApplyFormatting(info, hasParam, param, on);
    }

    void ApplyFormatting(const WordInfo& info, bool hasParam, int32_t param, bool on) {
        GroupState& st = State();
        ParagraphFormat& para = st.paragraph;
        const int32_t length = ClampLength(param);
        switch (info.kind) {
            case Word::Bold: st.chars.bold = on; break;
            case Word::Italic: st.chars.italic = on; break;
            case Word::Underline: st.chars.underline = on; break;
            case Word::UnderlineNone: st.chars.underline = false; break;
            case Word::Strike: st.chars.strike = on; break;
            case Word::FontSize: st.chars.halfPoints = hasParam && param > 0 ? std::min(param, 3276) : 24; break;
            case Word::ForeColor: st.chars.color = ColorAt(param); break;
            case Word::ParagraphDefault: para = ParagraphFormat{}; break;
            case Word::Align: para.alignment = static_cast<Alignment>(info.value); break;
            case Word::LeftIndent: para.leftIndent = length; break;
            case Word::RightIndent: para.rightIndent = length; break;
            case Word::FirstIndent: para.firstLineIndent = length; break;
            case Word::SpaceBefore: para.spaceBefore = std::max(0, length); break;
            case Word::SpaceAfter: para.spaceAfter = std::max(0, length); break;
            case Word::LineSpacing: para.lineSpacing = length; break;
            case Word::LineMultiple: para.lineMultiple = on; break;
            case Word::TabPosition:
                if (para.tabs.size() < kMaxTabStops && length > 0) para.tabs.push_back({length, tabKind_});
                tabKind_ = TabStop::Kind::Left;
                break;
            case Word::TabKind: tabKind_ = static_cast<TabStop::Kind>(info.value); break;
            case Word::PageBreakBefore: para.pageBreakBefore = on; break;
            case Word::InTable: para.inTable = true; break;
            case Word::PageSize: {
                PageSetup& page = doc_.page;
                // A paper of no size is ignored; a margin of none is kept.
                if (length <= 0 && (info.value == rtf::kPaperWidth || info.value == rtf::kPaperHeight)) break;
                const int value = std::max(0, length);
                switch (info.value) {
                    case rtf::kPaperWidth: page.width = value; break;
                    case rtf::kPaperHeight: page.height = value; break;
                    case rtf::kMarginLeft: page.marginLeft = value; break;
                    case rtf::kMarginRight: page.marginRight = value; break;
                    case rtf::kMarginTop: page.marginTop = value; break;
                    default: page.marginBottom = value; break;
                }
                break;
            }
            case Word::DefaultTab:
                if (length > 0) doc_.defaultTab = length;
                break;
            case Word::RowDefaults:
                cellDefinitions_.clear();
                nextCell_ = CellDefinition{};
                rowLeft_ = 0;
                border_ = nullptr;
                break;
            case Word::RowLeft: rowLeft_ = length; break;
            case Word::RowGap: nextCell_.padding = std::max(0, length); break;
            case Word::CellEdge:
                if (cellDefinitions_.size() < kMaxCellDefinitions) {
                    nextCell_.rightEdge = length;
                    cellDefinitions_.push_back(nextCell_);
                }
                nextCell_.borders = {};
                border_ = nullptr;
                break;
            case Word::CellBorder:
                border_ = &nextCell_.borders[info.value];
                *border_ = BorderLine{};
                break;
            case Word::OtherBorder: border_ = nullptr; break;
            case Word::BorderLine:
                if (border_ && border_->width == 0) border_->width = 15;  // a thin line until \brdrw says
                break;
            case Word::BorderNone:
                if (border_) *border_ = BorderLine{};
                break;
            case Word::BorderWidth:
                if (border_) border_->width = std::clamp(length, 1, 1440);
                break;
            case Word::BorderColor:
                if (border_) border_->color = ColorAt(param);
                break;
            case Word::CellPadding: nextCell_.padding = std::clamp(length, 0, 1440); break;
            default: break;
        }
    }

    std::string_view in_;
    const bool budgeted_;
    BudgetCount budget_;
    std::size_t pos_ = 0;
    bool ended_ = false;
    std::optional<std::string> breach_;
    std::vector<GroupState> stack_;
    std::size_t overflowDepth_ = 0;
    GroupState overflow_;  // shared by every group nested beyond the limit
    std::map<int, FontInfo> fonts_;
    unsigned documentCodePage_ = kWesternCodePage;
    int defaultFont_ = -1;
    int pendingSkip_ = 0;
    char32_t highSurrogate_ = 0;

    FormattedDocument doc_;
    Paragraph paragraph_;        // the paragraph being read
    TableCell cell_;             // table paragraphs read since the last cell mark
    TableRow row_;               // cells read since the last row mark
    bool rowOpen_ = false;       // a cell mark came since the last row mark
    bool lastBlockIsTable_ = false;
    std::string fontName_;
    std::vector<Color> colors_;
    bool colorSet_ = false;
    uint32_t colorValue_ = 0;
    TabStop::Kind tabKind_ = TabStop::Kind::Left;
    std::vector<CellDefinition> cellDefinitions_;
    CellDefinition nextCell_;
    BorderLine* border_ = nullptr;  // the cell border that \brdr words describe now
    int rowLeft_ = 0;
    PictureInProgress picture_;
};

}  // namespace

bool ReadRtf(std::string_view rtf, FormattedDocument& document, std::string* reason, bool budgeted) {
    if (rtf.substr(0, 5) != "{\\rtf") return Fail(reason, "The content is not a rich-text document.");
    Parser parser(rtf, budgeted);
    FormattedDocument read = parser.Run();
    if (parser.Breach()) return Fail(reason, kTemplateBeyondBudget + *parser.Breach());
    SettleLastLine(read);
    document = std::move(read);
    return true;
}

}  // namespace qel
