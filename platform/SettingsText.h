#pragma once
#include <string>

namespace qel {

// The bytes of a settings file as code page 1251, the program's own form. A file that a
// Linux editor saved as UTF-8 (it starts with the UTF-8 byte-order mark, or it holds bytes
// above 0x7F and all of it is valid UTF-8) is converted, the mark dropped; anything else
// is code page 1251 already and comes back unchanged. Cyrillic in code page 1251 is not
// valid UTF-8, so the two are not mistaken for each other.
std::string SettingsTextAsCp1251(std::string bytes);

// Whether the bytes are read as UTF-8 by the rule above.
bool IsUtf8SettingsText(const std::string& bytes);

}  // namespace qel
