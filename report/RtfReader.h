#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FormattedText.h"

namespace qel {

// An RTF document with its formatting, into `document`. False, with the reason in
// `reason` if given, unless the text begins with "{\rtf". Any other malformed content is
// read as far as it makes sense, in time linear in its length and with bounded nesting.
// What it cannot show (pictures other than PNG and JPEG, fields' instructions, footnotes,
// headers...) is left out with the text around kept. List paragraphs keep the marker the
// writer stored ("1.", a bullet); the characters of symbol fonts become their Unicode
// characters. `budgeted`: reading stops as soon as the document passes a limit of
// ReportBudget, with false and the reason "Шаблон отчёта превышает предел: <limit>".
[[nodiscard]] bool ReadRtf(std::string_view rtf, FormattedDocument& document, std::string* reason = nullptr,
                           bool budgeted = false);

// The report's document: loaded from a rich-text file with its formatting, its text taken
// out and put back as plain text, or its text replaced in place keeping the formatting.
class RichTextDocument {
public:
    RichTextDocument() = default;
    explicit RichTextDocument(FormattedDocument document) : document_(std::move(document)) {}

    // Replaces the content with the text of the file, within the limits of ReportBudget.
    // A file without the rich-text header is plain text in code page 1251 (an empty file
    // an empty document), as a rich-text view loads it. False, with the reason in `reason`
    // if given, when the file cannot be opened or read ("Cannot open file "<path>".
    // <reason>") or is beyond a limit ("<path>: Шаблон отчёта превышает предел: <limit>");
    // the document is then left as it was.
    [[nodiscard]] bool LoadFromFile(const std::string& path, std::string* reason = nullptr);
    // The same from content in memory (rich text, else plain text in code page 1251); the
    // reason of a content beyond a limit names no file.
    [[nodiscard]] bool LoadFromRtf(std::string_view rtf, std::string* reason = nullptr);

    // Replaces every occurrence of the pattern (exact match) by the replacement, keeping
    // the formatting of the text around and giving the replacement the format of the text
    // it stands in (see ReplaceInDocument).
    void Replace(std::string_view pattern, std::string_view replacement);

    const FormattedDocument& Formatted() const { return document_; }

private:
    FormattedDocument document_;
};

}  // namespace qel
