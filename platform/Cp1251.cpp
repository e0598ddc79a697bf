#include "Cp1251.h"

#include <array>
#include <cstdint>

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

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        // Every code page 1251 character lies in the Basic Multilingual Plane.
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
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

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes one UTF-8 sequence at `pos`. On success stores the code point and returns the
// sequence length. On malformed input returns the number of bytes that form the
// malformed piece (at least 1) and stores nothing in `cp` - the caller writes one "?".
std::size_t DecodeOne(std::string_view s, std::size_t pos, char32_t& cp, bool& ok) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    ok = false;
    std::size_t need;
    char32_t value;
    // Bounds for the second byte exclude overlong forms, surrogates and values above U+10FFFF.
    unsigned char lo = 0x80, hi = 0xBF;
    if (lead < 0x80) {
        cp = lead;
        ok = true;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        value = lead & 0x0F;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        value = lead & 0x07;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        return 1;
    }
    std::size_t i = 1;
    for (; i <= need; ++i) {
        if (pos + i >= s.size()) return i;
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if (i == 1 ? (b < lo || b > hi) : !IsContinuation(b)) return i;
        value = (value << 6) | (b & 0x3F);
    }
    cp = value;
    ok = true;
    return i;
}

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
        char32_t cp = 0;
        bool ok = false;
        pos += DecodeOne(utf8, pos, cp, ok);
        out.push_back(ok ? ByteOf(cp) : '?');
    }
    return out;
}

}  // namespace qel
