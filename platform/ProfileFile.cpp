#include "ProfileFile.h"

#include <string_view>
#include <utility>

#include "Cp1251.h"
#include "FileBytes.h"
#include "ProfileText.h"
#include "SettingsText.h"

namespace qel {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Names and values as they go into the file: code page 1251, and no line breaks, which
// would split the entry and could plant other keys.
std::string ToFileText(std::string_view utf8) {
    std::string text = Utf8ToCp1251(utf8);
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

// A section or key name as the file compares it: file text without outer blanks.
std::string ToFileName(std::string_view utf8) {
    std::string name = ToFileText(utf8);
    std::size_t first = 0;
    while (first < name.size() && IsBlank(name[first])) ++first;
    std::size_t last = name.size();
    while (last > first && IsBlank(name[last - 1])) --last;
    return name.substr(first, last - first);
}

// A value read from the file, as the program's text.
std::string FromFileText(std::string_view bytes) { return Cp1251ToUtf8(bytes); }

std::string CutToBuffer(std::string_view text, std::size_t bufferSize) {
    const std::size_t limit = bufferSize == 0 ? 0 : bufferSize - 1;
    return std::string(text.substr(0, limit));
}

}  // namespace

std::string GetProfileString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& def, std::size_t bufferSize) {
    const auto values = GetProfileStrings(file, section, {key}, bufferSize);
    if (values.front()) return *values.front();
    return FromFileText(CutToBuffer(Utf8ToCp1251(def), bufferSize));
}

std::vector<std::optional<std::string>> GetProfileStrings(const std::string& file, const std::string& section,
                                                          const std::vector<std::string>& keys,
                                                          std::size_t bufferSize) {
    std::vector<std::optional<std::string>> values(keys.size());
    std::string text;
    if (ReadWholeFile(file, text) != FileReadResult::Ok) return values;
    text = SettingsTextAsCp1251(std::move(text));
    std::vector<std::string> names;
    names.reserve(keys.size());
    for (const std::string& key : keys) names.push_back(ToFileName(key));
    const auto found = FindProfileValues(text, ToFileName(section), names);
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (found[i]) values[i] = FromFileText(CutToBuffer(*found[i], bufferSize));
    return values;
}

bool WriteProfileString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value) {
    return WriteProfileStrings(file, section, {{key, value}});
}

bool WriteProfileStrings(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& entries) {
    if (file.empty()) return false;
    if (entries.empty()) return true;  // nothing to write, as no single write was made
    std::string text;
    if (ReadWholeFile(file, text) == FileReadResult::Failed) return false;
    // A file saved as UTF-8 is written back whole in the program's own code page.
    text = SettingsTextAsCp1251(std::move(text));
    ProfileEntries fileEntries;
    fileEntries.reserve(entries.size());
    for (const auto& [key, value] : entries) fileEntries.emplace_back(ToFileName(key), ToFileText(value));
    const ProfileRewrite rewrite = WriteProfileValues(text, ToFileName(section), fileEntries);
    return ReplaceFileAtomically(file, rewrite.pieces);
}

}  // namespace qel
