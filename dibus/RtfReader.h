#pragma once
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// A rich-text file that cannot be opened or read, or content that is not rich text.
class RtfLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The plain text of an RTF document as its paragraphs (UTF-8, no line ends). Throws
// RtfLoadError unless the text begins with "{\rtf". Any other malformed content is read
// as far as it makes sense, in time linear in its length and with bounded nesting.
std::vector<std::string> RtfToLines(std::string_view rtf);

// The report's document: a list of lines, loaded from a rich-text file, taken out and put
// back as plain text.
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

    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

}  // namespace qel
