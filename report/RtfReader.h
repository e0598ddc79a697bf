#pragma once
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "FormattedText.h"

namespace qel {

// A rich-text file that cannot be opened or read, or content that is not rich text.
class RtfLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An RTF document with its formatting. Throws RtfLoadError unless the text begins with
// "{\rtf". Any other malformed content is read as far as it makes sense, in time linear in
// its length and with bounded nesting. What it cannot show (pictures other than PNG and
// JPEG, fields' instructions, footnotes, headers...) is left out with the text around kept.
FormattedDocument ReadRtf(std::string_view rtf);

// The plain text of an RTF document as its paragraphs (UTF-8, no line ends): the plain
// lines of ReadRtf.
std::vector<std::string> RtfToLines(std::string_view rtf);

// The report's document: loaded from a rich-text file with its formatting, its text taken
// out and put back as plain text, or its text replaced in place keeping the formatting.
class RichTextDocument {
public:
    // Replaces the content with the text of the file. Throws RtfLoadError
    // "Cannot open file "<path>". <reason>" when the file cannot be opened or read, and
    // when its content is not rich text; the document is then left as it was.
    void LoadFromFile(const std::string& path);
    // The same from RTF content in memory.
    void LoadFromRtf(std::string_view rtf);

    // Each line followed by CR LF.
    std::string GetText() const;
    // Replaces the document by the text, split at CR LF, CR or LF. A line break at the
    // very end does not start another line.
    void SetText(std::string_view text);

    // Replaces every occurrence of the pattern (exact match) by the replacement, keeping
    // the formatting of the text around and giving the replacement the format of the text
    // it stands in (see ReplaceInDocument).
    void Replace(std::string_view pattern, std::string_view replacement);

    std::vector<std::string> Lines() const { return PlainLines(document_); }
    const FormattedDocument& Formatted() const { return document_; }

private:
    FormattedDocument document_;
};

}  // namespace qel
