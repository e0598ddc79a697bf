#include "RtfCodePages.h"

#include <array>
#include <string_view>

#include "Cp1251.h"
#include "Utf8.h"

namespace qel {

unsigned CharsetCodePage(int charset) {
    switch (charset) {
        case 0: return 1252;    // ANSI (Western)
        case 1: return 0;       // default: the document's code page
        case 2: return 1252;    // symbol
        case 77: return 10000;  // Macintosh
        case 128: return 932;   // Shift JIS
        case 129: return 949;   // Hangul
        case 134: return 936;   // GB2312
        case 136: return 950;   // Big5
        case 161: return 1253;  // Greek
        case 162: return 1254;  // Turkish
        case 163: return 1258;  // Vietnamese
        case 177: return 1255;  // Hebrew
        case 178: return 1256;  // Arabic
        case 186: return 1257;  // Baltic
        case 204: return 1251;  // Russian
        case 222: return 874;   // Thai
        case 238: return 1250;  // Eastern European
        case 255: return 437;   // OEM
        default: return 0;
    }
}

namespace {

// Code points of the bytes 0x80-0x9F in code page 1252; the five unassigned bytes stand
// for the control characters of the same value, as Windows maps them.
constexpr std::array<char16_t, 32> kWesternC1 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

}  // namespace

void AppendCodePageByte(std::string& out, unsigned codePage, uint8_t byte) {
    if (byte < 0x80) {
        out += static_cast<char>(byte);
    } else if (codePage == kCyrillicCodePage) {
        const char c = static_cast<char>(byte);
        out += Cp1251ToUtf8(std::string_view(&c, 1));
    } else if (byte < 0xA0) {
        AppendUtf8(out, kWesternC1[byte - 0x80]);
    } else {
        AppendUtf8(out, byte);  // 0xA0-0xFF are Latin-1
    }
}

}  // namespace qel
