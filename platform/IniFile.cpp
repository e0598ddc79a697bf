#include "IniFile.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <stdexcept>

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

std::string IntegerText(int value) {
    char buf[16];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    static_cast<void>(ec);  // an int always fits
    return std::string(buf, end);
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

bool IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value,
                          std::string* reason) {
    return WriteProfileStrings(path_, section, {{key, value}}, reason);
}

bool IniFile::WriteInteger(const std::string& section, const std::string& key, int value, std::string* reason) {
    return WriteString(section, key, IntegerText(value), reason);
}

bool IniFile::WriteBool(const std::string& section, const std::string& key, bool value, std::string* reason) {
    return WriteString(section, key, value ? "1" : "0", reason);
}

IniValues IniFile::ReadSection(const std::string& section, const std::vector<std::string>& keys) const {
    IniValues values;
    values.keys_ = keys;
    values.values_ = GetProfileStrings(path_, section, keys, kStringBuffer, &values.readProblem_);
    return values;
}

bool IniFile::WriteSection(const std::string& section, const IniWrites& writes, std::string* reason) {
    return WriteProfileStrings(path_, section, writes.Entries(), reason);
}

const std::optional<std::string>& IniValues::Find(const std::string& key) const {
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] == key) return values_[i];
    throw std::logic_error("key " + key + " was not read");
}

std::string IniValues::ReadString(const std::string& key, const std::string& def) const {
    const auto& value = Find(key);
    return value ? *value : def;
}

int IniValues::ReadInteger(const std::string& key, int def) const {
    return ParseProfileInteger(ReadString(key, ""), def);
}

bool IniValues::ReadBool(const std::string& key, bool def) const { return ReadInteger(key, def ? 1 : 0) != 0; }

void IniWrites::WriteInteger(const std::string& key, int value) { WriteString(key, IntegerText(value)); }

}  // namespace qel
