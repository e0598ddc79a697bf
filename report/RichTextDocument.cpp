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
    std::string why;
    if (!LoadFromRtf(content, &why)) return Fail(reason, path + ": " + why);
    return true;
}

bool RichTextDocument::LoadFromRtf(std::string_view rtf, std::string* reason) {
    if (rtf.size() > ReportBudget::kFileBytes) return Fail(reason, kTemplateBeyondBudget + FileBytesLimitText());
    return ReadTemplate(rtf, document_, reason);
}

void RichTextDocument::Replace(std::string_view pattern, std::string_view replacement) {
    ReplaceInDocument(document_, pattern, replacement);
}

}  // namespace qel
