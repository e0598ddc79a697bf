#pragma once
#include <string>
#include <string_view>

namespace qel {

// Code page 1251 (Windows Cyrillic) to and from UTF-8. Every byte 0x00-0xFF has a
// meaning; the one unassigned byte 0x98 maps to U+0098. A character without a
// code page 1251 form, and malformed UTF-8, become "?".
std::string Cp1251ToUtf8(std::string_view cp1251);
std::string Utf8ToCp1251(std::string_view utf8);

// The characters of UTF-8 text that code page 1251 has no form for, each once, in the
// order they first occur (as UTF-8); empty when the code page holds all of the text.
std::string CharactersOutsideCp1251(std::string_view utf8);

}  // namespace qel
