#pragma once
#include <string>
#include <string_view>

namespace qel {

// The encodings a settings file is found in. Code page 1251 is the program's own (and a
// new file's); a Linux editor saves UTF-8, with or without a byte-order mark; some editors
// save "Unicode" as UTF-16 with a byte-order mark.
enum class SettingsEncoding { Cp1251, Utf8, Utf16LittleEndian, Utf16BigEndian };

// A settings file's bytes, made ready for the profile rules, and the form of the lines a
// save writes into it.
struct SettingsText {
    SettingsEncoding encoding = SettingsEncoding::Cp1251;
    std::string mark;  // the byte-order mark, as the file has it
    // Code page 1251 and UTF-8 files: the bytes after the mark, as they are; each line is
    // read in its own encoding (IsUtf8Line). UTF-16 files: the text as UTF-8.
    std::string text;
    std::string tail;  // UTF-16: a last odd byte, kept as it is
    bool Utf16() const {
        return encoding == SettingsEncoding::Utf16LittleEndian || encoding == SettingsEncoding::Utf16BigEndian;
    }
};

// A file is UTF-16 when it starts with a UTF-16 byte-order mark; UTF-8 when it starts with
// the UTF-8 mark, or more of its lines with bytes above 0x7F are UTF-8 lines than code page
// 1251 ones (comments counting only where no other line has such bytes); code page 1251
// otherwise (an empty or an ASCII file included).
SettingsText DecodeSettingsText(std::string bytes);
// The file's bytes with `text` in place of its text: for a UTF-16 file, the text encoded
// again (what was not rewritten comes back byte for byte); otherwise mark and text.
std::string EncodeSettingsText(const SettingsText& form, std::string_view text);

// Whether one line is UTF-8: valid UTF-8 with at least one byte above 0x7F. Any other
// line is code page 1251 (an ASCII line is the same in both). Code page 1251 Cyrillic
// text is practically never valid UTF-8, so the reading of a value depends on its own
// line only, not on a byte elsewhere in the file.
bool IsUtf8Line(std::string_view line);

}  // namespace qel
