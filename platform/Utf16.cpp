#include "Utf16.h"

#include <cstdint>

#include "Utf8.h"

namespace qel {

namespace {

char16_t UnitAt(std::string_view bytes, std::size_t pos, bool bigEndian) {
    const auto a = static_cast<uint8_t>(bytes[pos]);
    const auto b = static_cast<uint8_t>(bytes[pos + 1]);
    return static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
}

void AppendUnit(std::string& out, char32_t unit, bool bigEndian) {
    const auto high = static_cast<char>((unit >> 8) & 0xFF);
    const auto low = static_cast<char>(unit & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
}

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The three-byte form of a lone surrogate, which UTF-8 proper has not.
void AppendLoneSurrogate(std::string& out, char32_t u) {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
}

bool IsLoneSurrogateAt(std::string_view s, std::size_t pos) {
    return pos + 2 < s.size() && static_cast<uint8_t>(s[pos]) == 0xED && (static_cast<uint8_t>(s[pos + 1]) & 0xE0) == 0xA0 &&
           (static_cast<uint8_t>(s[pos + 2]) & 0xC0) == 0x80;
}

}  // namespace

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t u = UnitAt(bytes, 2 * i, bigEndian);
        if (IsHighSurrogate(u) && i + 1 < units) {
            const char32_t next = UnitAt(bytes, 2 * i + 2, bigEndian);
            if (IsLowSurrogate(next)) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        if (IsHighSurrogate(u) || IsLowSurrogate(u))
            AppendLoneSurrogate(out, u);
        else
            AppendUtf8(out, u);
    }
    return out;
}

std::string Utf8ToUtf16(std::string_view utf8, bool bigEndian) {
    std::string out;
    out.reserve(utf8.size() * 2);
    for (std::size_t pos = 0; pos < utf8.size();) {
        if (IsLoneSurrogateAt(utf8, pos)) {
            const char32_t u = ((static_cast<uint8_t>(utf8[pos]) & 0x0Fu) << 12) |
                               ((static_cast<uint8_t>(utf8[pos + 1]) & 0x3Fu) << 6) |
                               (static_cast<uint8_t>(utf8[pos + 2]) & 0x3Fu);
            AppendUnit(out, u, bigEndian);
            pos += 3;
            continue;
        }
        const Utf8Char c = DecodeUtf8At(utf8, pos);
        const char32_t cp = c.valid ? c.codePoint : kReplacementCharacter;
        pos += c.valid ? c.length : c.brokenLength;
        if (cp >= 0x10000) {
            AppendUnit(out, 0xD800 + ((cp - 0x10000) >> 10), bigEndian);
            AppendUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF), bigEndian);
        } else {
            AppendUnit(out, cp, bigEndian);
        }
    }
    return out;
}

}  // namespace qel
