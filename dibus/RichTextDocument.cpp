#include "RtfReader.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>


namespace qel {

namespace {

[[noreturn]] void CannotOpen(const std::string& path, int error) {
    throw RtfLoadError("Cannot open file \"" + path + "\". " + std::system_category().message(error));
}

// The whole file, or RtfLoadError with the system's reason.
std::string ReadWholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) CannotOpen(path, errno);
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            content.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            const int error = errno;  // a folder, or a failing disk
            ::close(fd);
            CannotOpen(path, error);
        }
    }
    ::close(fd);
    return content;
}

}  // namespace

void RichTextDocument::LoadFromFile(const std::string& path) {
    const std::string content = ReadWholeFile(path);
    try {
        lines_ = RtfToLines(content);
    } catch (const RtfLoadError&) {
        throw RtfLoadError("File \"" + path + "\" is not a rich-text document.");
    }
}

void RichTextDocument::LoadFromRtf(std::string_view rtf) { lines_ = RtfToLines(rtf); }

std::string RichTextDocument::GetText() const {
    std::string text;
    for (const std::string& line : lines_) {
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
    lines_ = std::move(lines);
}

}  // namespace qel
