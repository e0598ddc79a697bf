#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qel {

// Profile-string access to an INI file, with the observable rules of the Windows calls.
// Names and values are UTF-8 in the program. In the file each line is read in its own
// encoding (code page 1251 or UTF-8, see SettingsText.h; a UTF-16 file as UTF-16), and a
// write changes the bytes of the lines it writes only, in the file's encoding. Every call
// reads the file afresh, once, and writes it at most once; nothing is cached between calls.

// Value of key in section, or `def` when the file, the section or the key is absent
// (or the line has no "="). A value longer than bufferSize - 1 characters is cut.
std::string GetProfileString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& def,
                             std::size_t bufferSize = 2048);

// Several keys of one section from one reading of the file: for each key what
// GetProfileString gives, or nullopt where it would give the default. A file that exists
// but cannot be read gives the defaults, and `readProblem` (if given) says why.
std::vector<std::optional<std::string>> GetProfileStrings(const std::string& file, const std::string& section,
                                                          const std::vector<std::string>& keys,
                                                          std::size_t bufferSize = 2048,
                                                          std::string* readProblem = nullptr);

// Writes key=value into section. Returns false and leaves the file as it was when the
// write is refused (missing folder, unwritable file or folder, empty file name).
bool WriteProfileString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value);

// Writes the (key, value) pairs into section in their order with one replacement of the
// file; the file then holds, byte for byte, what WriteProfileString for each pair in turn
// would leave. A refused write leaves the file as it was and writes none of them, and
// puts the reason (Russian, for the list) into `reason` when one is given.
//
// Lines go into a UTF-8 or UTF-16 file as such, into a code page 1251 file (a new one
// included) in code page 1251; a line that code page 1251 cannot hold goes in as UTF-8,
// never mangled. The program asks first (CharactersSettingsCannotHold) and keeps such a
// value out of a code page 1251 file.
bool WriteProfileStrings(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& entries,
                         std::string* reason = nullptr);

// The characters of `value` (UTF-8) that the settings file's encoding cannot hold, each
// once, as UTF-8: empty for a UTF-8 or UTF-16 file, and where code page 1251 holds them all.
std::string CharactersSettingsCannotHold(const std::string& file, std::string_view value);

}  // namespace qel
