#include "Cp1251.h"

#include <array>
#include <cstdint>

#include "Utf8.h"

namespace qel {

namespace {

// Unicode code points of the bytes 0x80-0xBF; 0xC0-0xFF are U+0410-U+044F in order.
// 0x98 has no character in the code page and stands for U+0098.
constexpr std::array<char16_t, 64> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88-8F
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98-9F
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0-A7
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8-AF
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0-B7
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8-BF
};

constexpr char32_t kCyrillicCapitalA = 0x0410;
constexpr char32_t kCyrillicSmallYa = 0x044F;
constexpr unsigned char kFirstCyrillicByte = 0xC0;

char32_t CodePointOf(unsigned char b) {
    if (b < 0x80) return b;
    if (b >= kFirstCyrillicByte) return kCyrillicCapitalA + (b - kFirstCyrillicByte);
    return kHighHalf[b - 0x80];
}

// The code page byte of a code point, or '?' when the code page has none.
char ByteOf(char32_t cp) {
    if (cp < 0x80) return static_cast<char>(cp);
    if (cp >= kCyrillicCapitalA && cp <= kCyrillicSmallYa)
        return static_cast<char>(kFirstCyrillicByte + (cp - kCyrillicCapitalA));
    for (std::size_t i = 0; i < kHighHalf.size(); ++i)
        if (kHighHalf[i] == cp) return static_cast<char>(0x80 + i);
    return '?';
}

bool HasByte(char32_t cp) { return cp == '?' || ByteOf(cp) != '?'; }

}  // namespace

std::string Cp1251ToUtf8(std::string_view cp1251) {
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (char c : cp1251) AppendUtf8(out, CodePointOf(static_cast<unsigned char>(c)));
    return out;
}

std::string Utf8ToCp1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        // A malformed piece becomes one "?".
        const Utf8Char ch = DecodeUtf8At(utf8, pos);
        out.push_back(ch.valid ? ByteOf(ch.codePoint) : '?');
        pos += ch.valid ? ch.length : ch.brokenLength;
    }
    return out;
}

std::string CharactersOutsideCp1251(std::string_view utf8) {
    std::string outside;
    std::string seen;  // the characters found so far, each followed by a NUL
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const Utf8Char ch = DecodeUtf8At(utf8, pos);
        const char32_t cp = ch.valid ? ch.codePoint : kReplacementCharacter;
        pos += ch.valid ? ch.length : ch.brokenLength;
        if (HasByte(cp)) continue;
        std::string character;
        AppendUtf8(character, cp);
        if (seen.find(character + '\0') != std::string::npos) continue;
        seen += character + '\0';
        outside += character;
    }
    return outside;
}

}  // namespace qel
