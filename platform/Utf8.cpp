#include "Utf8.h"

#include <cstdint>

namespace qel {

Utf8Char DecodeUtf8At(std::string_view s, std::size_t pos) {
    const auto lead = static_cast<uint8_t>(s[pos]);
    if (lead < 0x80) return {lead, 1, true};
    std::size_t need = 0;
    char32_t value = 0;
    // Limits of the second byte rule out overlong forms, surrogates and values above U+10FFFF.
    uint8_t lo = 0x80;
    uint8_t hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        value = lead & 0x0Fu;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        value = lead & 0x07u;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        return {lead, 1, false, 1};
    }
    for (std::size_t k = 1; k <= need; ++k) {
        if (pos + k >= s.size()) return {lead, 1, false, k};  // truncated at the end
        const auto b = static_cast<uint8_t>(s[pos + k]);
        const uint8_t low = k == 1 ? lo : 0x80;
        const uint8_t high = k == 1 ? hi : 0xBF;
        if (b < low || b > high) return {lead, 1, false, k};
        value = (value << 6) | (b & 0x3Fu);
    }
    return {value, need + 1, true};
}

void AppendUtf8(std::string& out, char32_t cp) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacementCharacter;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace qel
