#pragma once
#include <cstdint>
#include <string>

namespace qel {

// The code page that a font's character set (RTF \fcharset) stands for; 0 when the
// character set names none (DEFAULT_CHARSET), so the document's code page applies.
unsigned CharsetCodePage(int charset);

// Appends, as UTF-8, the character of one byte of text in a single-byte code page.
// Code pages 1251 (Cyrillic) and 1252 (Western) are known; any other is read as 1252,
// which keeps ASCII and gives Latin-1 for the upper half.
void AppendCodePageByte(std::string& out, unsigned codePage, uint8_t byte);

inline constexpr unsigned kWesternCodePage = 1252;
inline constexpr unsigned kCyrillicCodePage = 1251;

}  // namespace qel
