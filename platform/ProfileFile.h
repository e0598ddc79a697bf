#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qel {

// Profile-string access to an INI file, with the observable rules of the Windows calls.
// Names and values are UTF-8 in the program and code page 1251 in the file. Every call
// reads the file afresh, once, and writes it at most once; nothing is cached between calls.

// Value of key in section, or `def` when the file, the section or the key is absent
// (or the line has no "="). A value longer than bufferSize - 1 characters is cut.
std::string GetProfileString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& def,
                             std::size_t bufferSize = 2048);

// Several keys of one section from one reading of the file: for each key what
// GetProfileString gives, or nullopt where it would give the default.
std::vector<std::optional<std::string>> GetProfileStrings(const std::string& file, const std::string& section,
                                                          const std::vector<std::string>& keys,
                                                          std::size_t bufferSize = 2048);

// Writes key=value into section. Returns false and leaves the file as it was when the
// write is refused (missing folder, unwritable file or folder, empty file name).
bool WriteProfileString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value);

// Writes the (key, value) pairs into section in their order with one replacement of the
// file; the file then holds, byte for byte, what WriteProfileString for each pair in turn
// would leave. A refused write leaves the file as it was and writes none of them.
bool WriteProfileStrings(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace qel
