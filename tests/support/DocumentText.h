#pragma once
// The report document's text as a rich-text view gives and takes it: the oracle of the
// report's filling-in ("get text, ReplaceText, set text" must give what the program's
// replacement in place gives, formatting aside), and a plain view for tests of the reader.
#include <string>
#include <string_view>
#include <vector>

#include "FormattedText.h"
#include "ReportText.h"
#include "RtfReader.h"

namespace qel {

// The document's lines (UTF-8, no line ends).
inline std::vector<std::string> DocumentLines(const RichTextDocument& document) {
    return PlainLines(document.Formatted());
}

// Each line followed by CR LF.
inline std::string DocumentText(const RichTextDocument& document) {
    std::string text;
    for (const std::string& line : DocumentLines(document)) {
        text += line;
        text += "\r\n";
    }
    return text;
}

// Replaces the document by the text, split at CR LF, CR or LF, as plain paragraphs. A
// line break at the very end does not start another line.
inline void SetDocumentText(RichTextDocument& document, std::string_view text) {
    document = RichTextDocument(PlainDocument(SplitLines(text)));
}

// One step of the report's filling-in as a rich-text view makes it: get text, ReplaceText
// with ReplaceAll, set text.
inline void ReplaceAsTextView(RichTextDocument& document, std::string_view pattern, std::string_view value) {
    SetDocumentText(document, ReplaceText(DocumentText(document), pattern, value, ReplaceAll));
}

}  // namespace qel
