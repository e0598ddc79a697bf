#include "RtfReader.h"

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "Cp1251.h"
#include "Failure.h"
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
bool ReadTemplate(std::string_view content, FormattedDocument& document, std::string* reason) {
    if (content.substr(0, 5) == "{\\rtf") return ReadRtf(content, document, reason, true);
    FormattedDocument plain = PlainDocument(SplitLines(Cp1251ToUtf8(content)));
    if (const std::optional<std::string> breach = BudgetBreach(plain))
        return Fail(reason, kTemplateBeyondBudget + *breach);
    document = std::move(plain);
    return true;
}

// The whole file, or false with the system's reason (for a folder, or a failing disk).
bool ReadWholeFile(const std::string& path, std::string& content, std::string* reason) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error && size > ReportBudget::kFileBytes)
        return Fail(reason, path + ": " + kTemplateBeyondBudget + FileBytesLimitText());
    PosixFile file;
    if (!file.OpenForReading(path) || !file.ReadAll(content))
        return Fail(reason, "Cannot open file \"" + path + "\". " + file.FailureText());
    return true;
}

}  // namespace

bool RichTextDocument::LoadFromFile(const std::string& path, std::string* reason) {
    std::string content;
    if (!ReadWholeFile(path, content, reason)) return false;
    if (content.size() > ReportBudget::kFileBytes)
        return Fail(reason, path + ": " + kTemplateBeyondBudget + FileBytesLimitText());
    std::string why;
    if (!ReadTemplate(content, document_, &why)) return Fail(reason, path + ": " + why);
    return true;
}

bool RichTextDocument::LoadFromRtf(std::string_view rtf, std::string* reason) {
    if (rtf.size() > ReportBudget::kFileBytes) return Fail(reason, kTemplateBeyondBudget + FileBytesLimitText());
    return ReadTemplate(rtf, document_, reason);
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
