#include "ProfileFile.h"

#include <string_view>
#include <vector>

#include "Cp1251.h"
#include "FileBytes.h"

namespace qel {

namespace {

// One line of a profile file, as byte offsets into the file's (code page 1251) text.
struct Line {
    enum class Kind { Other, Section, Key };
    Kind kind = Kind::Other;
    std::size_t begin = 0;  // first byte of the line
    std::size_t end = 0;    // one past its last byte, before the line end
    std::size_t next = 0;   // start of the following line (after CR, LF or CR LF)
    std::string_view name;  // section or key name, blanks removed
    std::string_view value; // value of a key line, blanks removed
    bool hasValue = false;  // the key line has an "="
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Lower-case form of a code page 1251 byte, for names that match without regard to case.
unsigned char Fold(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
    if (c >= 0xC0 && c <= 0xDF) return static_cast<unsigned char>(c + 0x20);  // А-Я
    switch (c) {
        case 0x80: return 0x90;  // Ђ
        case 0x81: return 0x83;  // Ѓ
        case 0x8A: case 0x8C: case 0x8D: case 0x8E: case 0x8F:  // Љ Њ Ќ Ћ Џ
            return static_cast<unsigned char>(c + 0x10);
        case 0xA1: return 0xA2;  // Ў
        case 0xA3: return 0xBC;  // Ј
        case 0xA5: return 0xB4;  // Ґ
        case 0xA8: return 0xB8;  // Ё
        case 0xAA: return 0xBA;  // Є
        case 0xAF: return 0xBF;  // Ї
        case 0xB2: return 0xB3;  // І
        case 0xBD: return 0xBE;  // Ѕ
        default: return c;
    }
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(static_cast<unsigned char>(a[i])) != Fold(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

Line ParseLine(std::string_view text, std::size_t begin) {
    Line line;
    line.begin = begin;
    std::size_t end = begin;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    line.end = end;
    line.next = end;
    if (line.next < text.size() && text[line.next] == '\r') ++line.next;
    if (line.next < text.size() && text[line.next] == '\n') ++line.next;

    const std::string_view content = Trim(text.substr(begin, end - begin));
    if (content.empty() || content.front() == ';') return line;  // blank or comment
    if (content.front() == '[') {
        const auto close = content.find(']');
        if (close != std::string_view::npos) {
            line.kind = Line::Kind::Section;
            line.name = Trim(content.substr(1, close - 1));
            return line;
        }
    }
    line.kind = Line::Kind::Key;
    const auto eq = content.find('=');
    if (eq == std::string_view::npos) {
        line.name = content;
        return line;
    }
    line.name = Trim(content.substr(0, eq));
    line.value = Trim(content.substr(eq + 1));
    line.hasValue = true;
    // One pair of matching outer quotes around a longer value is removed.
    const auto& v = line.value;
    if (v.size() > 1 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        line.value = v.substr(1, v.size() - 2);
    return line;
}

std::vector<Line> ParseLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        lines.push_back(ParseLine(text, pos));
        pos = lines.back().next;
    }
    return lines;
}

// Where a section and a key stand in a parsed file.
struct Location {
    std::size_t section = npos;  // index of the section's header line
    std::size_t key = npos;      // index of the first matching key line in it
    std::size_t lastKey = npos;  // index of the last key line of the section
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
};

Location Find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Location at;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == Line::Kind::Section) {
            if (at.section != Location::npos) break;  // the first matching section ends here
            if (SameName(line.name, section)) at.section = i;
        } else if (line.kind == Line::Kind::Key && at.section != Location::npos) {
            at.lastKey = i;
            if (at.key == Location::npos && SameName(line.name, key)) at.key = i;
        }
    }
    return at;
}

// Names and values as they go into the file: code page 1251, and no line breaks, which
// would split the entry and could plant other keys.
std::string ToFileText(std::string_view utf8) {
    std::string text = Utf8ToCp1251(utf8);
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

std::string CutToBuffer(std::string text, std::size_t bufferSize) {
    const std::size_t limit = bufferSize == 0 ? 0 : bufferSize - 1;
    if (text.size() > limit) text.resize(limit);
    return text;
}

}  // namespace

std::string GetProfileString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& def, std::size_t bufferSize) {
    const std::string fallback = Cp1251ToUtf8(CutToBuffer(Utf8ToCp1251(def), bufferSize));
    std::string text;
    if (ReadWholeFile(file, text) != FileReadResult::Ok) return fallback;
    const std::string sectionName(Trim(ToFileText(section)));
    const std::string keyName(Trim(ToFileText(key)));
    const std::vector<Line> lines = ParseLines(text);
    const Location at = Find(lines, sectionName, keyName);
    if (at.key == Location::npos || !lines[at.key].hasValue) return fallback;
    return Cp1251ToUtf8(CutToBuffer(std::string(lines[at.key].value), bufferSize));
}

bool WriteProfileString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value) {
    if (file.empty()) return false;
    std::string text;
    const FileReadResult read = ReadWholeFile(file, text);
    if (read == FileReadResult::Failed) return false;

    const std::string sectionName(Trim(ToFileText(section)));
    const std::string keyName(Trim(ToFileText(key)));
    const std::string valueText = ToFileText(value);
    const std::vector<Line> lines = ParseLines(text);
    const Location at = Find(lines, sectionName, keyName);

    std::string updated;
    if (at.key != Location::npos) {
        // Replace the entry in place; its name as the file spells it, its line end kept.
        const Line& line = lines[at.key];
        updated = text.substr(0, line.begin);
        updated += line.name;
        updated += '=';
        updated += valueText;
        updated += text.substr(line.end);
    } else if (at.section != Location::npos) {
        // A new key right after the last key line of the section (or its header).
        const Line& after = lines[at.lastKey != Location::npos ? at.lastKey : at.section];
        updated = text.substr(0, after.next);
        if (after.next == after.end) updated += "\r\n";  // that line ended the file without a line end
        updated += keyName + "=" + valueText + "\r\n";
        updated += text.substr(after.next);
    } else {
        // A new section at the end of the file, without a blank line before it.
        updated = text;
        if (!updated.empty() && updated.back() != '\n' && updated.back() != '\r') updated += "\r\n";
        updated += "[" + sectionName + "]\r\n" + keyName + "=" + valueText + "\r\n";
    }
    return ReplaceFileAtomically(file, updated);
}

}  // namespace qel
