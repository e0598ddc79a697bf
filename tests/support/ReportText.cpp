#include "ReportText.h"

#include <algorithm>
#include <vector>

#include "Utf8.h"

namespace qel {

char32_t UpperCaseChar(char32_t c) {
    if (c >= U'a' && c <= U'z') return c - 0x20;
    if (c < 0xB5) return c;
    if (c == 0xB5) return 0x039C;  // micro sign
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
    if (c == 0xFF) return 0x0178;
    // Latin Extended-A: capital and small letters alternate.
    if ((c >= 0x0100 && c <= 0x012F) || (c >= 0x0132 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177))
        return (c & 1u) ? c - 1 : c;
    if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E)) return (c & 1u) ? c : c - 1;
    if (c == 0x0131) return U'I';  // dotless i
    if (c == 0x017F) return U'S';  // long s
    // Greek.
    if (c >= 0x03B1 && c <= 0x03C9 && c != 0x03C2) return c - 0x20;
    if (c == 0x03C2) return 0x03A3;  // final sigma
    if (c == 0x03AC) return 0x0386;
    if (c >= 0x03AD && c <= 0x03AF) return c - 0x25;
    if (c == 0x03CC) return 0x038C;
    if (c == 0x03CD || c == 0x03CE) return c - 0x3F;
    // Cyrillic: а-я, then ѐ-џ (ё, є, і, ї, ј, љ, њ, ћ, ќ, ў, џ ...), then the paired letters (ґ ...).
    if (c >= 0x0430 && c <= 0x044F) return c - 0x20;
    if (c >= 0x0450 && c <= 0x045F) return c - 0x50;
    if ((c >= 0x0460 && c <= 0x0481) || (c >= 0x048A && c <= 0x04BF) || (c >= 0x04D0 && c <= 0x052F))
        return (c & 1u) ? c - 1 : c;
    if (c >= 0x04C1 && c <= 0x04CE) return (c & 1u) ? c : c - 1;
    if (c == 0x04CF) return 0x04C0;
    return c;
}

namespace {

// Finds a pattern again and again from the left, without overlap, in time linear in the
// text and the pattern together: a search that compares the pattern afresh at every
// position would take the text's length times the pattern's.
template <typename Char>
class PatternSearch {
public:
    explicit PatternSearch(std::basic_string_view<Char> pattern) : pattern_(pattern), border_(pattern.size(), 0) {
        // border_[i]: length of the longest proper prefix of pattern[0..i] that is also its suffix.
        for (std::size_t i = 1, k = 0; i < pattern_.size(); ++i) {
            while (k > 0 && pattern_[i] != pattern_[k]) k = border_[k - 1];
            if (pattern_[i] == pattern_[k]) ++k;
            border_[i] = k;
        }
    }

    // Position of the first occurrence that begins at or after `from`, or npos. The search
    // looks at each character of the text once, from `from` to the end of the match.
    std::size_t Find(std::basic_string_view<Char> text, std::size_t from) const {
        std::size_t k = 0;  // characters of the pattern matched so far
        for (std::size_t i = from; i < text.size(); ++i) {
            while (k > 0 && text[i] != pattern_[k]) k = border_[k - 1];
            if (text[i] == pattern_[k]) ++k;
            if (k == pattern_.size()) return i + 1 - k;
        }
        return std::basic_string_view<Char>::npos;
    }

private:
    std::basic_string_view<Char> pattern_;
    std::vector<std::size_t> border_;
};

// The text as upper-case characters, with the byte offset where each begins in the
// original; one entry past the end holds the text's length. Malformed bytes stand for
// themselves, kept apart from every real character.
struct FoldedText {
    std::u32string chars;
    std::vector<std::size_t> offsets;
};

FoldedText Fold(std::string_view text) {
    FoldedText out;
    out.chars.reserve(text.size());
    out.offsets.reserve(text.size() + 1);
    for (std::size_t pos = 0; pos < text.size();) {
        const Utf8Char ch = DecodeUtf8At(text, pos);
        out.offsets.push_back(pos);
        out.chars += ch.valid ? UpperCaseChar(ch.codePoint) : (0x110000 + ch.codePoint);
        pos += ch.length;
    }
    out.offsets.push_back(text.size());
    return out;
}

// Matching on upper-case copies: each character keeps its length in characters, so a
// match found in the copy is cut from the original at the same character positions.
std::string ReplaceIgnoringCase(std::string_view source, std::string_view pattern, std::string_view replacement,
                                bool all) {
    const FoldedText search = Fold(source);
    const std::u32string pat = Fold(pattern).chars;
    const PatternSearch<char32_t> finder(pat);
    std::string result;
    std::size_t from = 0;  // character position where the unsearched rest begins
    while (from < search.chars.size()) {
        const std::size_t p = finder.Find(search.chars, from);
        if (p == std::u32string::npos) break;
        result.append(source.substr(search.offsets[from], search.offsets[p] - search.offsets[from]));
        result.append(replacement);
        from = p + pat.size();
        if (!all) break;
    }
    result.append(source.substr(search.offsets[std::min(from, search.chars.size())]));
    return result;
}

}  // namespace

std::string ReplaceText(std::string_view source, std::string_view pattern, std::string_view replacement,
                        unsigned flags) {
    // An empty pattern occurs everywhere and would never let the search move on.
    if (pattern.empty()) return std::string(source);
    const bool all = (flags & ReplaceAll) != 0;
    if (flags & IgnoreCase) return ReplaceIgnoringCase(source, pattern, replacement, all);

    const PatternSearch<char> finder(pattern);
    std::string result;
    std::size_t from = 0;
    while (from < source.size()) {
        const std::size_t p = finder.Find(source, from);
        if (p == std::string_view::npos) break;
        result.append(source.substr(from, p - from));
        result.append(replacement);
        from = p + pattern.size();
        if (!all) break;
    }
    if (from < source.size()) result.append(source.substr(from));
    return result;
}

}  // namespace qel
