#pragma once
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace qel {

// Raised when the system refuses to write a key: the file and the reason (in the list's
// language).
class IniWriteError : public std::runtime_error {
public:
    IniWriteError(const std::string& path, const std::string& reason)
        : std::runtime_error("cannot write " + path + ": " + reason), path_(path), reason_(reason) {}
    const std::string& Path() const { return path_; }
    const std::string& Reason() const { return reason_; }

private:
    std::string path_;
    std::string reason_;
};

// Values of some keys of one section, read from one reading of the file; typed reads
// as IniFile's. Asking for a key that was not read is a programming error (logic_error).
class IniValues {
public:
    std::string ReadString(const std::string& key, const std::string& def) const;
    int ReadInteger(const std::string& key, int def) const;
    bool ReadBool(const std::string& key, bool def) const;
    // Why a file that exists could not be read (the values are then the defaults); empty
    // when it was read or is missing.
    const std::string& ReadProblem() const { return readProblem_; }

private:
    friend class IniFile;
    std::string readProblem_;
    const std::optional<std::string>& Find(const std::string& key) const;
    std::vector<std::string> keys_;
    std::vector<std::optional<std::string>> values_;
};

// Writes of one section gathered in order, to be stored with one write of the file.
class IniWrites {
public:
    void WriteString(const std::string& key, const std::string& value) { entries_.emplace_back(key, value); }
    void WriteInteger(const std::string& key, int value);
    void WriteBool(const std::string& key, bool value) { WriteString(key, value ? "1" : "0"); }
    const std::vector<std::pair<std::string, std::string>>& Entries() const { return entries_; }

private:
    std::vector<std::pair<std::string, std::string>> entries_;
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

    // The keys of a section with one reading of the file.
    IniValues ReadSection(const std::string& section, const std::vector<std::string>& keys) const;
    // All the writes with one write of the file, byte for byte as the single writes in
    // their order; a refused write (IniWriteError) writes none of them.
    void WriteSection(const std::string& section, const IniWrites& writes);

private:
    std::string path_;
};

// The integer rule on its own, for reuse and tests.
int ParseProfileInteger(const std::string& text, int def);

}  // namespace qel
