#include "SettingsText.h"

#include "Utf16.h"
#include "Utf8.h"

namespace qel {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

bool StartsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

// All valid UTF-8; `above7F` tells whether a byte above 0x7F occurs.
bool ValidUtf8(std::string_view bytes, bool& above7F) {
    above7F = false;
    for (std::size_t pos = 0; pos < bytes.size();) {
        if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const Utf8Char c = DecodeUtf8At(bytes, pos);
        if (!c.valid) return false;
        above7F = true;
        pos += c.length;
    }
    return true;
}

// Whether the lines a save writes into a file without a mark go in as UTF-8: more of its
// lines with bytes above 0x7F are UTF-8 than code page 1251. Comments vote only when no
// other line has such bytes, so a stray byte pasted into a comment does not turn a UTF-8
// file into a code page 1251 one.
bool WritesUtf8(std::string_view text) {
    int utf8[2] = {0, 0}, cp1251[2] = {0, 0};  // [0] other lines, [1] comments
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = pos;
        bool high = false;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
            high = high || static_cast<unsigned char>(text[end]) >= 0x80;
            ++end;
        }
        if (high) {
            const std::string_view line = text.substr(pos, end - pos);
            const std::size_t first = line.find_first_not_of(" \t");
            const int comment = first != std::string_view::npos && line[first] == ';' ? 1 : 0;
            ++(IsUtf8Line(line) ? utf8 : cp1251)[comment];
        }
        pos = end + 1;
    }
    const int kind = utf8[0] + cp1251[0] > 0 ? 0 : 1;
    return utf8[kind] > cp1251[kind];
}

}  // namespace

bool IsUtf8Line(std::string_view line) {
    bool above7F = false;
    return ValidUtf8(line, above7F) && above7F;
}

SettingsText DecodeSettingsText(std::string bytes) {
    SettingsText form;
    const bool little = StartsWith(bytes, kUtf16LittleEndianMark);
    if (little || StartsWith(bytes, kUtf16BigEndianMark)) {
        form.encoding = little ? SettingsEncoding::Utf16LittleEndian : SettingsEncoding::Utf16BigEndian;
        form.mark = bytes.substr(0, 2);
        const std::string_view units = std::string_view(bytes).substr(2, (bytes.size() - 2) / 2 * 2);
        form.text = Utf16ToUtf8(units, !little);
        form.tail = bytes.substr(2 + units.size());
        return form;
    }
    if (StartsWith(bytes, kUtf8Mark)) {
        form.encoding = SettingsEncoding::Utf8;
        form.mark = std::string(kUtf8Mark);
        bytes.erase(0, kUtf8Mark.size());
        form.text = std::move(bytes);
        return form;
    }
    form.encoding = WritesUtf8(bytes) ? SettingsEncoding::Utf8 : SettingsEncoding::Cp1251;
    form.text = std::move(bytes);
    return form;
}

std::string EncodeSettingsText(const SettingsText& form, std::string_view text) {
    std::string bytes = form.mark;
    if (form.Utf16())
        bytes += Utf8ToUtf16(text, form.encoding == SettingsEncoding::Utf16BigEndian);
    else
        bytes += text;
    return bytes + form.tail;
}

}  // namespace qel
