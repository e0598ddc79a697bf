#pragma once
#include <cstddef>
#include <string>

namespace qel {

// Profile-string access to an INI file, with the observable rules of the Windows calls.
// Names and values are UTF-8 in the program and code page 1251 in the file; the file is
// read afresh at every call and never cached.

// Value of key in section, or `def` when the file, the section or the key is absent
// (or the line has no "="). A value longer than bufferSize - 1 characters is cut.
std::string GetProfileString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& def,
                             std::size_t bufferSize = 2048);

// Writes key=value into section. Returns false and leaves the file as it was when the
// write is refused (missing folder, unwritable file or folder, empty file name).
bool WriteProfileString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value);

}  // namespace qel
