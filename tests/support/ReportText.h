#pragma once
#include <string>
#include <string_view>

namespace qel {

// Flags of ReplaceText.
enum ReplaceFlags : unsigned {
    ReplaceAll = 1,  // every occurrence, not only the first
    IgnoreCase = 2,  // match upper-cased copies of source and pattern
};

// `ReplaceText` on plain text, as the report's filling-in is described step by step: the
// reference the program's filling-in (ReportFill, which keeps the formatting) is checked
// and measured against. Replaces the pattern in the source (UTF-8). The search goes on after each replacement,
// so replaced text is never searched again. An empty pattern leaves the source unchanged.
std::string ReplaceText(std::string_view source, std::string_view pattern, std::string_view replacement,
                        unsigned flags);

// Upper case of one character: Latin, Latin-1, Latin Extended-A, Greek and Cyrillic
// letters (all letters of code page 1251 among them); other characters are returned as
// they are. Always one character for one, so positions keep their meaning.
char32_t UpperCaseChar(char32_t c);

}  // namespace qel
