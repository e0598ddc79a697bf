#include "RtfReader.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <unordered_map>

#include "RtfCodePages.h"
#include "Utf8.h"

namespace qel {

namespace {

// Groups nested deeper than this are read but their content is dropped, so hostile input
// cannot make the group stack grow without bound.
constexpr std::size_t kMaxGroupDepth = 256;
// Control words are at most 32 letters long; longer ones match nothing known.
constexpr std::size_t kMaxWordLength = 32;
// Parameters beyond this magnitude are clamped while their digits are read on.
constexpr int32_t kMaxParameter = 1'000'000'000;

enum class Word : uint8_t {
    Break,          // \par \sect \page \line
    Tab,            // \tab \cell \nestcell
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
    Plain,          // \plain
    FontTable,      // \fonttbl
    Object,         // \object: skipped, but its \result is shown
    Result,         // \result
    Skip,           // a destination whose content is not text
};

struct WordInfo {
    Word kind;
    char32_t ch = 0;
};

const std::unordered_map<std::string_view, WordInfo>& KnownWords() {
    static const std::unordered_map<std::string_view, WordInfo> words = {
        {"par", {Word::Break}}, {"sect", {Word::Break}}, {"page", {Word::Break}}, {"line", {Word::Break}},
        {"tab", {Word::Tab}}, {"cell", {Word::Tab}}, {"nestcell", {Word::Tab}}, {"row", {Word::Row}},
        {"emdash", {Word::Char, 0x2014}}, {"endash", {Word::Char, 0x2013}}, {"bullet", {Word::Char, 0x2022}},
        {"lquote", {Word::Char, 0x2018}}, {"rquote", {Word::Char, 0x2019}},
        {"ldblquote", {Word::Char, 0x201C}}, {"rdblquote", {Word::Char, 0x201D}},
        {"emspace", {Word::Char, 0x2003}}, {"enspace", {Word::Char, 0x2002}}, {"qmspace", {Word::Char, 0x2005}},
        {"u", {Word::Unicode}}, {"uc", {Word::UnicodeSkip}}, {"bin", {Word::Binary}},
        {"ansicpg", {Word::DocCodePage}}, {"ansi", {Word::Ansi}}, {"mac", {Word::Mac}}, {"pc", {Word::Pc}},
        {"pca", {Word::Pca}}, {"deff", {Word::DefaultFont}}, {"f", {Word::Font}},
        {"fcharset", {Word::FontCharset}}, {"cpg", {Word::FontCodePage}}, {"plain", {Word::Plain}},
        {"fonttbl", {Word::FontTable}}, {"object", {Word::Object}}, {"result", {Word::Result}},
        // Destinations that hold no document text.
        {"colortbl", {Word::Skip}}, {"stylesheet", {Word::Skip}}, {"info", {Word::Skip}},
        {"pict", {Word::Skip}}, {"nonshppict", {Word::Skip}}, {"shprslt", {Word::Skip}}, {"do", {Word::Skip}},
        {"header", {Word::Skip}}, {"headerl", {Word::Skip}}, {"headerr", {Word::Skip}}, {"headerf", {Word::Skip}},
        {"footer", {Word::Skip}}, {"footerl", {Word::Skip}}, {"footerr", {Word::Skip}}, {"footerf", {Word::Skip}},
        {"footnote", {Word::Skip}}, {"annotation", {Word::Skip}}, {"atnid", {Word::Skip}},
        {"atnauthor", {Word::Skip}}, {"ftnsep", {Word::Skip}}, {"ftnsepc", {Word::Skip}},
        {"ftncn", {Word::Skip}}, {"aftnsep", {Word::Skip}}, {"aftnsepc", {Word::Skip}}, {"aftncn", {Word::Skip}},
        {"listtable", {Word::Skip}}, {"listoverridetable", {Word::Skip}}, {"listtext", {Word::Skip}},
        {"pntext", {Word::Skip}}, {"pn", {Word::Skip}}, {"fldinst", {Word::Skip}}, {"xe", {Word::Skip}},
        {"tc", {Word::Skip}}, {"tcn", {Word::Skip}}, {"txe", {Word::Skip}}, {"rxe", {Word::Skip}},
        {"revtbl", {Word::Skip}}, {"rsidtbl", {Word::Skip}}, {"filetbl", {Word::Skip}},
        {"template", {Word::Skip}}, {"objdata", {Word::Skip}}, {"objclass", {Word::Skip}},
        {"themedata", {Word::Skip}}, {"colorschememapping", {Word::Skip}}, {"latentstyles", {Word::Skip}},
        {"datastore", {Word::Skip}}, {"generator", {Word::Skip}}, {"xmlnstbl", {Word::Skip}},
    };
    return words;
}

struct FontInfo {
    unsigned charsetCodePage = 0;  // from \fcharset; 0: the document's code page
    unsigned codePage = 0;         // from \cpg, which wins over the character set
};

// What a group carries and its nested groups inherit.
struct GroupState {
    bool skip = false;            // the group's text is not document text
    bool fontTable = false;       // \f and \fcharset define fonts here
    bool isObject = false;        // this group is an \object
    bool parentIsObject = false;  // an \result here is the object's visible text
    int ucSkip = 1;               // fallback characters after \uN
    int font = -1;                // current font; -1 for the document's default font
    int definedFont = -1;         // font being defined in the font table
};

class Parser {
public:
    explicit Parser(std::string_view rtf) : in_(rtf) {}

    std::vector<std::string> Run() {
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
        FlushSurrogate();
        if (!line_.empty()) lines_.push_back(std::move(line_));
        return std::move(lines_);
    }

private:
    GroupState& State() { return overflowDepth_ > 0 || stack_.empty() ? overflow_ : stack_.back(); }

    void OpenGroup() {
        pendingSkip_ = 0;
        if (overflowDepth_ > 0 || stack_.size() >= kMaxGroupDepth) {
            if (overflowDepth_++ == 0) {
                overflow_ = stack_.back();
                overflow_.skip = true;
            }
            return;
        }
        GroupState child = stack_.empty() ? GroupState{} : stack_.back();
        child.parentIsObject = child.isObject;
        child.isObject = false;
        stack_.push_back(child);
    }

    void CloseGroup() {
        pendingSkip_ = 0;
        if (overflowDepth_ > 0) {
            --overflowDepth_;
            return;
        }
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
        if (DropFallback()) return;
        DecodedByte(c);
    }

    // A byte of text in the current code page.
    void DecodedByte(uint8_t c) {
        if (State().skip) return;
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
        const int font = State().font >= 0 ? State().font : defaultFont_;
        const auto it = fonts_.find(font);
        if (it != fonts_.end()) {
            if (it->second.codePage != 0) return it->second.codePage;
            if (it->second.charsetCodePage != 0) return it->second.charsetCodePage;
        }
        return documentCodePage_;
    }

    void Emit(char32_t cp) {
        if (State().skip) return;
        if (cp < 0x20 && cp != U'\t') return;  // control characters (\u10, \u0) carry no text
        if (highSurrogate_ != 0) {
            if (cp >= 0xDC00 && cp <= 0xDFFF) {
                AppendUtf8(line_, 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (cp - 0xDC00));
                highSurrogate_ = 0;
                return;
            }
            FlushSurrogate();
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            highSurrogate_ = cp;  // joined with the low half that should follow
            return;
        }
        AppendUtf8(line_, cp);  // a lone low surrogate becomes U+FFFD there
    }

    void FlushSurrogate() {
        if (highSurrogate_ == 0) return;
        AppendUtf8(line_, kReplacementCharacter);
        highSurrogate_ = 0;
    }

    void Break() {
        if (State().skip) return;
        FlushSurrogate();
        lines_.push_back(std::move(line_));
        line_.clear();
    }

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
            if (DropFallback() || digits != 2) return;
            DecodedByte(static_cast<uint8_t>(value));
            return;
        }
        if (c == '*') {
            // An ignorable destination: its content is never text of ours.
            State().skip = true;
            State().isObject = false;
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
            case '\n': Break(); break;      // a backslash before a line end is \par
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

        const auto& words = KnownWords();
        const auto it = words.find(name);
        if (it == words.end()) {
            DropFallback();  // unknown words are ignored, but count as a fallback character
            return;
        }
        const WordInfo info = it->second;
        if (info.kind == Word::Binary) {
            // Raw bytes follow; they are data, never text or syntax.
            const std::size_t count = hasParam && param > 0 ? static_cast<std::size_t>(param) : 0;
            pos_ += std::min(count, in_.size() - pos_);
            DropFallback();
            return;
        }
        if (DropFallback()) return;
        Apply(info, hasParam, param);
    }

    void Apply(const WordInfo& info, bool hasParam, int32_t param) {
        GroupState& st = State();
        switch (info.kind) {
            case Word::Break: Break(); break;
            case Word::Tab: Emit(U'\t'); break;
            case Word::Row:
                if (!st.skip && !line_.empty() && line_.back() == '\t') line_.pop_back();
                Break();
                break;
            case Word::Char: Emit(info.ch); break;
            case Word::Unicode:
                if (hasParam) {
                    // Negative values are the upper half of the 16-bit range.
                    const int32_t unit = param < 0 ? param + 65536 : param;
                    Emit(unit >= 0 && unit <= 0xFFFF ? static_cast<char32_t>(unit) : kReplacementCharacter);
                }
                pendingSkip_ = st.ucSkip;
                break;
            case Word::UnicodeSkip: st.ucSkip = hasParam ? std::max(0, param) : 1; break;
            case Word::Binary: break;
            case Word::DocCodePage:
                if (hasParam && param > 0) documentCodePage_ = static_cast<unsigned>(param);
                break;
            case Word::Ansi: documentCodePage_ = kWesternCodePage; break;
            case Word::Mac: documentCodePage_ = 10000; break;
            case Word::Pc: documentCodePage_ = 437; break;
            case Word::Pca: documentCodePage_ = 850; break;
            case Word::DefaultFont: defaultFont_ = param; break;
            case Word::Font:
                if (st.fontTable) st.definedFont = param;
                else st.font = param;
                break;
            case Word::FontCharset:
                if (st.fontTable && st.definedFont >= 0) fonts_[st.definedFont].charsetCodePage = CharsetCodePage(param);
                break;
            case Word::FontCodePage:
                if (st.fontTable && st.definedFont >= 0 && param > 0)
                    fonts_[st.definedFont].codePage = static_cast<unsigned>(param);
                break;
            case Word::Plain: st.font = -1; break;
            case Word::FontTable:
                st.fontTable = true;
                st.skip = true;
                break;
            case Word::Object:
                st.skip = true;
                st.isObject = true;
                break;
            case Word::Result:
                if (st.parentIsObject) st.skip = false;
                break;
            case Word::Skip:
                st.skip = true;
                st.isObject = false;
                break;
        }
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    bool ended_ = false;
    std::vector<GroupState> stack_;
    std::size_t overflowDepth_ = 0;
    GroupState overflow_;  // shared by every group nested beyond the limit
    std::map<int, FontInfo> fonts_;
    unsigned documentCodePage_ = kWesternCodePage;
    int defaultFont_ = -1;
    int pendingSkip_ = 0;
    char32_t highSurrogate_ = 0;
    std::vector<std::string> lines_;
    std::string line_;
};

}  // namespace

std::vector<std::string> RtfToLines(std::string_view rtf) {
    if (rtf.substr(0, 5) != "{\\rtf") throw RtfLoadError("The content is not a rich-text document.");
    return Parser(rtf).Run();
}

}  // namespace qel
