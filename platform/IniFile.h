#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qel {

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

    // Each write gives false when the system refuses it, with the reason (in the list's
    // language) in `reason` if given; the file is then left as it was.
    [[nodiscard]] bool WriteString(const std::string& section, const std::string& key, const std::string& value,
                                   std::string* reason = nullptr);
    [[nodiscard]] bool WriteInteger(const std::string& section, const std::string& key, int value,
                                    std::string* reason = nullptr);
    [[nodiscard]] bool WriteBool(const std::string& section, const std::string& key, bool value,
                                 std::string* reason = nullptr);

    // The keys of a section with one reading of the file.
    IniValues ReadSection(const std::string& section, const std::vector<std::string>& keys) const;
    // All the writes with one write of the file, byte for byte as the single writes in
    // their order; a refused write (false, with the reason) writes none of them.
    [[nodiscard]] bool WriteSection(const std::string& section, const IniWrites& writes, std::string* reason = nullptr);

private:
    std::string path_;
};

// The integer rule on its own, for reuse and tests.
int ParseProfileInteger(const std::string& text, int def);

}  // namespace qel
