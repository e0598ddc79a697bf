#include "ProfileFile.h"

#include <string_view>
#include <utility>

#include "Cp1251.h"
#include "FileBytes.h"
#include "ProfileText.h"
#include "SettingsText.h"
#include "Utf8.h"

namespace qel {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// No line breaks in names and values: they would split the entry and could plant other keys.
std::string OneLine(std::string_view utf8) {
    std::string text(utf8);
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

std::string Trimmed(std::string name) {
    std::size_t first = 0;
    while (first < name.size() && IsBlank(name[first])) ++first;
    std::size_t last = name.size();
    while (last > first && IsBlank(name[last - 1])) --last;
    return name.substr(first, last - first);
}

// A section or key name as the file compares it: code page 1251 without outer blanks.
std::string ToFileName(std::string_view utf8) { return Trimmed(Utf8ToCp1251(OneLine(utf8))); }

// A value read from the file, as the program's text, cut to the buffer (in characters).
std::string FromFileValue(const ProfileValue& value, std::size_t bufferSize) {
    const std::size_t limit = bufferSize == 0 ? 0 : bufferSize - 1;
    if (!value.utf8) return Cp1251ToUtf8(value.bytes.substr(0, limit));
    std::size_t pos = 0;
    for (std::size_t n = 0; n < limit && pos < value.bytes.size(); ++n) pos += DecodeUtf8At(value.bytes, pos).length;
    return std::string(value.bytes.substr(0, pos));
}

std::string CutToBuffer(std::string_view utf8, std::size_t bufferSize) {
    return FromFileValue(ProfileValue{utf8, true}, bufferSize);
}

// The bytes of a line that a save writes into a file of `encoding`. A code page 1251 file
// takes the line in code page 1251 when the code page holds all of it; else the line is
// written in UTF-8, which a reading of that line finds as such, rather than mangled.
std::string ToFileText(std::string_view utf8, SettingsEncoding encoding, bool lineInUtf8) {
    if (encoding != SettingsEncoding::Cp1251 || lineInUtf8) return OneLine(utf8);
    return Utf8ToCp1251(OneLine(utf8));
}

bool ReadSettings(const std::string& file, SettingsText& form, FileReadResult& result,
                  std::string* reason = nullptr) {
    std::string bytes;
    result = ReadWholeFile(file, bytes, reason);
    form = DecodeSettingsText(std::move(bytes));
    return result == FileReadResult::Ok;
}

}  // namespace

std::string GetProfileString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& def, std::size_t bufferSize) {
    const auto values = GetProfileStrings(file, section, {key}, bufferSize);
    if (values.front()) return *values.front();
    return CutToBuffer(def, bufferSize);
}

std::vector<std::optional<std::string>> GetProfileStrings(const std::string& file, const std::string& section,
                                                          const std::vector<std::string>& keys,
                                                          std::size_t bufferSize, std::string* readProblem) {
    std::vector<std::optional<std::string>> values(keys.size());
    SettingsText form;
    FileReadResult result = FileReadResult::Missing;
    std::string reason;
    if (readProblem != nullptr) readProblem->clear();
    if (!ReadSettings(file, form, result, &reason)) {
        if (result == FileReadResult::Failed && readProblem != nullptr) *readProblem = reason;
        return values;
    }
    std::vector<std::string> names;
    names.reserve(keys.size());
    for (const std::string& key : keys) names.push_back(ToFileName(key));
    const auto found = FindProfileLineValues(form.text, ToFileName(section), names);
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (found[i]) values[i] = FromFileValue(*found[i], bufferSize);
    return values;
}

bool WriteProfileString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value) {
    return WriteProfileStrings(file, section, {{key, value}});
}

bool WriteProfileStrings(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& entries, std::string* reason) {
    if (reason != nullptr) reason->clear();
    if (file.empty()) {
        if (reason != nullptr) *reason = "нет имени файла";
        return false;
    }
    if (entries.empty()) return true;  // nothing to write, as no single write was made
    SettingsText form;
    FileReadResult result = FileReadResult::Missing;
    std::string readReason;
    if (!ReadSettings(file, form, result, &readReason) && result == FileReadResult::Failed) {
        if (reason != nullptr) *reason = readReason;
        return false;
    }
    // Only the lines written change; each is written in the file's encoding.
    ProfileEntries fileEntries;
    fileEntries.reserve(entries.size());
    for (const auto& [key, value] : entries) {
        const bool utf8 = form.encoding == SettingsEncoding::Cp1251 && !CharactersOutsideCp1251(key + value).empty();
        fileEntries.emplace_back(Trimmed(ToFileText(key, form.encoding, utf8)), ToFileText(value, form.encoding, utf8));
    }
    const std::string fileSection = Trimmed(ToFileText(section, form.encoding, false));
    const ProfileRewrite rewrite = WriteProfileValues(form.text, fileSection, fileEntries);
    // What a save that was killed part-way left beside the file goes now.
    RemoveLeftoverTemporaries(file);
    if (form.Utf16()) return ReplaceFileAtomically(file, EncodeSettingsText(form, rewrite.Joined()), reason);
    std::vector<std::string_view> pieces;
    pieces.reserve(rewrite.pieces.size() + 1);
    if (!form.mark.empty()) pieces.push_back(form.mark);
    pieces.insert(pieces.end(), rewrite.pieces.begin(), rewrite.pieces.end());
    return ReplaceFileAtomically(file, pieces, reason);
}

std::string CharactersSettingsCannotHold(const std::string& file, std::string_view value) {
    SettingsText form;
    FileReadResult result = FileReadResult::Missing;
    ReadSettings(file, form, result);
    if (form.encoding != SettingsEncoding::Cp1251) return {};
    return CharactersOutsideCp1251(value);
}

}  // namespace qel
