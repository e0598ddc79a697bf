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

// Symbol fonts (Symbol, Wingdings, Webdings) have characters of their own where other
// fonts have letters; word processors write them as U+F020-U+F0FF, the font's byte plus
// this base.
inline constexpr char32_t kSymbolFontPrivateUse = 0xF000;

// Whether a font of this name draws its own symbols instead of letters.
bool IsSymbolFontName(const std::string& name);

// The Unicode character that byte 0x20-0xFF of a symbol font shows: Symbol's letters and
// signs; for Wingdings and Webdings the bullets that lists use, and a bullet for the rest.
char32_t SymbolFontCharacter(uint8_t byte, const std::string& fontName);

inline constexpr unsigned kWesternCodePage = 1252;
inline constexpr unsigned kCyrillicCodePage = 1251;

}  // namespace qel
