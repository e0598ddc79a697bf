#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace qel {

// One character read from UTF-8 text.
struct Utf8Char {
    char32_t codePoint = 0;   // the character, or the lone byte's value when !valid
    std::size_t length = 1;   // bytes it occupies (1 for a malformed byte)
    bool valid = true;
    // When !valid: the bytes of the broken piece, that is the lead byte and the fitting
    // continuation bytes before the break (at least 1); a converter puts one substitute
    // character in their place.
    std::size_t brokenLength = 0;
};

// Reads the character at `pos` (< s.size()). A malformed or truncated sequence yields one
// invalid byte at a time, so every byte of the text is accounted for exactly once.
Utf8Char DecodeUtf8At(std::string_view s, std::size_t pos);

// Appends a code point as UTF-8; surrogates and values beyond U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, char32_t codePoint);

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

}  // namespace qel
