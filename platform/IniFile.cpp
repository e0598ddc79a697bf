#include "IniFile.h"

#include <charconv>
#include <cstdint>
#include <limits>

#include "ProfileFile.h"

namespace qel {

namespace {

constexpr std::size_t kStringBuffer = 2048;

// Parses all of `text` as an unsigned number in `base`; false for anything else,
// a sign included.
bool ParseUnsigned(std::string_view text, int base, uint64_t& value) {
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, value, base);
    return ec == std::errc() && ptr == last;
}

}  // namespace

int ParseProfileInteger(const std::string& text, int def) {
    constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int>::max());
    uint64_t magnitude = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (!ParseUnsigned(std::string_view(text).substr(2), 16, magnitude) || magnitude > kMax) return def;
        return static_cast<int>(magnitude);
    }
    std::string_view digits(text);
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (!ParseUnsigned(digits, 10, magnitude)) return def;
    if (negative) {
        if (magnitude > kMax + 1) return def;
        return static_cast<int>(-static_cast<int64_t>(magnitude));
    }
    if (magnitude > kMax) return def;
    return static_cast<int>(magnitude);
}

std::string IniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    return GetProfileString(path_, section, key, def, kStringBuffer);
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
    return ParseProfileInteger(ReadString(section, key, ""), def);
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    if (!WriteProfileString(path_, section, key, value))
        throw IniWriteError("cannot write [" + section + "] " + key + " to " + path_);
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    char buf[16];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    static_cast<void>(ec);  // an int always fits
    WriteString(section, key, std::string(buf, end));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

}  // namespace qel
