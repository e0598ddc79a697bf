#include "SimHex.h"

namespace qel {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == ':' || c == '-' || c == '\r' || c == '\n';
}

}  // namespace

std::optional<std::string> ParseHexBytes(std::string_view text) {
    std::string bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsSeparator(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !IsSeparator(text[end])) ++end;
        std::string_view group = text.substr(i, end - i);
        i = end;
        if (group.size() > 2 && group[0] == '0' && (group[1] == 'x' || group[1] == 'X')) group.remove_prefix(2);
        if (group.size() == 1) {
            const int d = HexDigit(group[0]);
            if (d < 0) return std::nullopt;
            bytes.push_back(static_cast<char>(d));
            continue;
        }
        if (group.size() % 2 != 0) return std::nullopt;
        for (std::size_t k = 0; k < group.size(); k += 2) {
            const int hi = HexDigit(group[k]);
            const int lo = HexDigit(group[k + 1]);
            if (hi < 0 || lo < 0) return std::nullopt;
            bytes.push_back(static_cast<char>(hi * 16 + lo));
        }
    }
    return bytes;
}

std::string HexText(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!text.empty()) text.push_back(' ');
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

}  // namespace qel
