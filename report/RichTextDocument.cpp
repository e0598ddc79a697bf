#include "RtfReader.h"

#include "PosixFile.h"

namespace qel {

namespace {

// The whole file, or RtfLoadError with the system's reason (for a folder, or a failing disk).
std::string ReadWholeFile(const std::string& path) {
    PosixFile file;
    std::string content;
    if (!file.OpenForReading(path) || !file.ReadAll(content))
        throw RtfLoadError("Cannot open file \"" + path + "\". " + file.FailureText());
    return content;
}

}  // namespace

void RichTextDocument::LoadFromFile(const std::string& path) {
    const std::string content = ReadWholeFile(path);
    try {
        document_ = ReadRtf(content);
    } catch (const RtfLoadError&) {
        throw RtfLoadError("File \"" + path + "\" is not a rich-text document.");
    }
}

void RichTextDocument::LoadFromRtf(std::string_view rtf) { document_ = ReadRtf(rtf); }

std::string RichTextDocument::GetText() const {
    std::string text;
    for (const std::string& line : Lines()) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void RichTextDocument::SetText(std::string_view text) {
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
    document_ = PlainDocument(lines);
}

void RichTextDocument::Replace(std::string_view pattern, std::string_view replacement) {
    ReplaceInDocument(document_, pattern, replacement);
}

}  // namespace qel
