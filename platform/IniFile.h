#pragma once
#include <stdexcept>
#include <string>

namespace qel {

// Raised when the system refuses to write a key.
class IniWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Typed reads and writes of one INI file (the TIniFile of the settings window).
class IniFile {
public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

    // Strings: up to 2047 characters; absent key gives def, an empty value gives "".
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // Integers: "0x"/"0X" followed by hex digits when longer than two characters,
    // otherwise decimal with an optional sign; anything else (or empty) gives def.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    // Booleans: an integer read with default 1 or 0; any non-zero value is true.
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

private:
    std::string path_;
};

// The integer rule on its own, for reuse and tests.
int ParseProfileInteger(const std::string& text, int def);

}  // namespace qel
