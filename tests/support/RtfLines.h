#pragma once
// The plain text of an RTF document as its paragraphs (UTF-8, no line ends): the plain
// lines of ReadRtf, for tests of the reader that look at the text alone.
#include <string>
#include <string_view>
#include <vector>

#include "FormattedText.h"
#include "RtfReader.h"

namespace qel {

inline std::vector<std::string> RtfToLines(std::string_view rtf) { return PlainLines(ReadRtf(rtf)); }

}  // namespace qel
