#include "RtfReader.h"

#include <filesystem>
#include <system_error>

#include "Cp1251.h"
#include "PosixFile.h"
#include "ReportBudget.h"

namespace qel {

namespace {

// Lines of plain text: split at CR LF, CR or LF; a line break at the very end starts no
// further line.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.emplace_back(text.substr(start, i - start));
        i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

// Rich text, or plain text in code page 1251, within the report's limits.
FormattedDocument ReadTemplate(std::string_view content) {
    if (content.substr(0, 5) == "{\\rtf") return ReadRtf(content, true);
    FormattedDocument document = PlainDocument(SplitLines(Cp1251ToUtf8(content)));
    if (const std::optional<std::string> breach = BudgetBreach(document))
        throw ReportTemplateTooLarge(kTemplateBeyondBudget + *breach);
    return document;
}

// The whole file, or RtfLoadError with the system's reason (for a folder, or a failing disk).
std::string ReadWholeFile(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error && size > ReportBudget::kFileBytes)
        throw ReportTemplateTooLarge(path + ": " + kTemplateBeyondBudget + FileBytesLimitText());
    PosixFile file;
    std::string content;
    if (!file.OpenForReading(path) || !file.ReadAll(content))
        throw RtfLoadError("Cannot open file \"" + path + "\". " + file.FailureText());
    return content;
}

}  // namespace

void RichTextDocument::LoadFromFile(const std::string& path) {
    const std::string content = ReadWholeFile(path);
    if (content.size() > ReportBudget::kFileBytes)
        throw ReportTemplateTooLarge(path + ": " + kTemplateBeyondBudget + FileBytesLimitText());
    try {
        document_ = ReadTemplate(content);
    } catch (const ReportTemplateTooLarge& e) {
        throw ReportTemplateTooLarge(path + ": " + e.what());
    }
}

void RichTextDocument::LoadFromRtf(std::string_view rtf) {
    if (rtf.size() > ReportBudget::kFileBytes) throw ReportTemplateTooLarge(kTemplateBeyondBudget + FileBytesLimitText());
    document_ = ReadTemplate(rtf);
}

std::string RichTextDocument::GetText() const {
    std::string text;
    for (const std::string& line : Lines()) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void RichTextDocument::SetText(std::string_view text) { document_ = PlainDocument(SplitLines(text)); }

void RichTextDocument::Replace(std::string_view pattern, std::string_view replacement) {
    ReplaceInDocument(document_, pattern, replacement);
}

}  // namespace qel
