#pragma once
#include <string>
#include <string_view>

namespace qel::test {

// "FF 01 2c" to the bytes FF 01 2C; blanks between byte pairs are optional.
inline std::string Bytes(std::string_view hex) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    int high = -1;
    for (char c : hex) {
        const int v = nibble(c);
        if (v < 0) continue;
        if (high < 0) {
            high = v;
        } else {
            out += static_cast<char>(high * 16 + v);
            high = -1;
        }
    }
    return out;
}

// The bytes as upper-case hexadecimal pairs separated by blanks, for readable failures.
inline std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

}  // namespace qel::test
