#pragma once
// The plain text of an RTF document as its paragraphs (UTF-8, no line ends): the plain
// lines of ReadRtf, which fails as ReadRtf does, for tests of the reader that look at the
// text alone.
#include <string>
#include <string_view>
#include <vector>

#include "FormattedText.h"
#include "RtfReader.h"

namespace qel {

inline bool RtfToLines(std::string_view rtf, std::vector<std::string>& lines, std::string* reason = nullptr) {
    FormattedDocument document;
    if (!ReadRtf(rtf, document, reason)) return false;
    lines = PlainLines(document);
    return true;
}

}  // namespace qel
