#include "ProfileText.h"

#include <algorithm>

#include "Cp1251.h"
#include "SettingsText.h"

namespace qel {

namespace {

// One line of a profile text, as byte offsets into it.
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

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
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

std::string_view LineText(std::string_view text, const Line& line) {
    return text.substr(line.begin, line.end - line.begin);
}

// The code page 1251 form of a name: a name that is UTF-8 by the line rule is converted.
std::string Cp1251Name(std::string_view name, bool utf8) { return utf8 ? Utf8ToCp1251(name) : std::string(name); }

// Whether a section or key name of the file is `wanted`; names in UTF-8 (the file's line,
// or the wanted name itself) are compared in their code page 1251 form.
bool LineNameIs(std::string_view text, const Line& line, std::string_view wanted) {
    if (IsAscii(line.name) && IsAscii(wanted)) return SameName(line.name, wanted);
    return SameName(Cp1251Name(line.name, !IsAscii(line.name) && IsUtf8Line(LineText(text, line))),
                    Cp1251Name(wanted, IsUtf8Line(wanted)));
}

// The first section of a name, its last key line, and the first key line of each name
// asked for; the scan ends with that section.
struct SectionScan {
    std::optional<Line> header;
    std::optional<Line> lastKey;
    std::vector<std::optional<Line>> keys;
};

template <typename Names>
SectionScan ScanSection(std::string_view text, std::string_view section, const Names& keys) {
    SectionScan scan;
    scan.keys.resize(keys.size());
    for (std::size_t pos = 0; pos < text.size();) {
        // Empty lines change nothing: a run of them is passed over at once.
        if (text[pos] == '\r' || text[pos] == '\n') {
            ++pos;
            continue;
        }
        const Line line = ParseLine(text, pos);
        pos = line.next;
        if (line.kind == Line::Kind::Section) {
            if (scan.header) break;  // the first matching section ends here
            if (LineNameIs(text, line, section)) scan.header = line;
        } else if (line.kind == Line::Kind::Key && scan.header) {
            scan.lastKey = line;
            for (std::size_t i = 0; i < keys.size(); ++i)
                if (!scan.keys[i] && LineNameIs(text, line, keys[i])) scan.keys[i] = line;
        }
    }
    return scan;
}

// A name that a written line gives back as itself: then later writes of the same batch
// find what earlier ones wrote just where a fresh reading would, and one pass does all.
// (A name that begins with "[" may read as a section header, by what its value holds.)
bool KeyReadsBack(std::string_view key) {
    if (!key.empty() && (key.front() == ';' || key.front() == '[')) return false;
    return key.find('=') == std::string_view::npos && Trim(key) == key;
}

bool SectionReadsBack(std::string_view section) {
    return section.find(']') == std::string_view::npos && Trim(section) == section;
}

struct Splice {
    std::size_t begin;
    std::size_t end;
    std::string text;
};

ProfileRewrite Apply(std::string_view text, std::vector<Splice> splices) {
    std::stable_sort(splices.begin(), splices.end(), [](const Splice& a, const Splice& b) { return a.begin < b.begin; });
    ProfileRewrite out;
    std::size_t cursor = 0;
    for (Splice& s : splices) {
        if (s.begin > cursor) out.pieces.push_back(text.substr(cursor, s.begin - cursor));
        out.added.push_back(std::move(s.text));
        out.pieces.push_back(out.added.back());
        cursor = s.end;
    }
    if (cursor < text.size()) out.pieces.push_back(text.substr(cursor));
    return out;
}

// All entries in one pass; right only when every name reads back as itself.
ProfileRewrite WriteInOnePass(std::string_view text, std::string_view section, const ProfileEntries& entries) {
    // A name written twice keeps the place of its first write and the value of its last.
    std::vector<std::string_view> names;
    std::vector<std::string_view> values;
    for (const auto& [key, value] : entries) {
        std::size_t i = 0;
        while (i < names.size() && !SameName(names[i], key)) ++i;
        if (i == names.size()) {
            names.push_back(key);
            values.push_back(value);
        } else {
            values[i] = value;
        }
    }

    const SectionScan scan = ScanSection(text, section, names);
    std::vector<Splice> splices;
    std::string newLines;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (const auto& line = scan.keys[i]) {
            // Replaced in place, its line end kept; an ASCII name as the file spells it,
            // any other as written now, so that the line has one encoding.
            std::string replaced(IsAscii(line->name) ? line->name : names[i]);
            replaced += '=';
            replaced += values[i];
            splices.push_back({line->begin, line->end, std::move(replaced)});
        } else {
            newLines.append(names[i]).append("=").append(values[i]).append("\r\n");
        }
    }
    if (!newLines.empty()) {
        if (scan.header) {
            // Right after the last key line of the section (or its header).
            const Line& after = scan.lastKey ? *scan.lastKey : *scan.header;
            // That line ended the text without a line end.
            std::string inserted = after.next == after.end ? "\r\n" : "";
            splices.push_back({after.next, after.next, inserted + newLines});
        } else {
            // A new section at the end, without a blank line before it.
            std::string appended;
            if (!text.empty() && text.back() != '\n' && text.back() != '\r') appended = "\r\n";
            appended.append("[").append(section).append("]\r\n").append(newLines);
            splices.push_back({text.size(), text.size(), std::move(appended)});
        }
    }
    return Apply(text, std::move(splices));
}

}  // namespace

std::string ProfileRewrite::Joined() const {
    std::size_t size = 0;
    for (const std::string_view piece : pieces) size += piece.size();
    std::string text;
    text.reserve(size);
    for (const std::string_view piece : pieces) text.append(piece);
    return text;
}

std::vector<std::optional<ProfileValue>> FindProfileLineValues(std::string_view text, std::string_view section,
                                                               const std::vector<std::string>& keys) {
    const SectionScan scan = ScanSection(text, section, keys);
    std::vector<std::optional<ProfileValue>> values(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (scan.keys[i] && scan.keys[i]->hasValue)
            values[i] = ProfileValue{scan.keys[i]->value, IsUtf8Line(LineText(text, *scan.keys[i]))};
    return values;
}

std::vector<std::optional<std::string_view>> FindProfileValues(std::string_view text, std::string_view section,
                                                               const std::vector<std::string>& keys) {
    const auto found = FindProfileLineValues(text, section, keys);
    std::vector<std::optional<std::string_view>> values(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (found[i]) values[i] = found[i]->bytes;
    return values;
}

ProfileRewrite WriteProfileValues(std::string_view text, std::string_view section, const ProfileEntries& entries) {
    bool onePass = SectionReadsBack(section);
    for (const auto& entry : entries) onePass = onePass && KeyReadsBack(entry.first);
    if (onePass) return WriteInOnePass(text, section, entries);

    // Names that a fresh reading would take otherwise (a key that reads as a comment or a
    // section): each write on the text that the one before it left.
    ProfileRewrite out;
    out.added.emplace_back(text);
    for (const auto& entry : entries)
        out.added.front() = WriteInOnePass(out.added.front(), section, ProfileEntries{entry}).Joined();
    out.pieces.push_back(out.added.front());
    return out;
}

}  // namespace qel
