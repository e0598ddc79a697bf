#include "SimValueWord.h"

#include <charconv>
#include <cmath>
#include <string>

#include "SimHex.h"
#include "numFormats.h"

namespace qel {
namespace {

constexpr int kMaxMantissa = 1023;
constexpr int kMinExponent = -32;
constexpr int kMaxExponent = 31;

double Decoded(int mantissa, int exponent) { return DecodeScaledValue(MakeValueWord(mantissa, exponent)); }

}  // namespace

uint16_t MakeValueWord(int mantissa, int exponent) {
    return static_cast<uint16_t>((static_cast<unsigned>(exponent) & 0x3Fu) << 10 |
                                 (static_cast<unsigned>(mantissa) & 0x3FFu));
}

int ValueWordMantissa(uint16_t word) { return word & 0x3FF; }


int ValueWordExponent(uint16_t word) {
    const int e = (word >> 10) & 0x3F;
    return e >= 32 ? e - 64 : e;
}

std::optional<uint16_t> EncodeValueWord(double value) {
    if (!std::isfinite(value) || value < 0) return std::nullopt;
    for (int e = kMinExponent; e <= kMaxExponent; ++e) {
        const double scaled = value * std::pow(10.0, 2 - e);
        if (scaled >= kMaxMantissa + 0.5) continue;
        const int m = static_cast<int>(std::llround(scaled));
        if (m == 0) return uint16_t{0};
        // One exponent down, the largest mantissa may still come nearer than this one.
        if (e > kMinExponent && std::fabs(Decoded(kMaxMantissa, e - 1) - value) < std::fabs(Decoded(m, e) - value)) {
            return MakeValueWord(kMaxMantissa, e - 1);
        }
        return MakeValueWord(m, e);
    }
    if (value < Decoded(kMaxMantissa, kMaxExponent) * (1.0 + 0.5 / kMaxMantissa)) {
        return MakeValueWord(kMaxMantissa, kMaxExponent);
    }
    return std::nullopt;
}

std::optional<double> ParseValueText(std::string_view text) {
    std::string copy(text);
    for (char& c : copy) {
        if (c == ',') c = '.';
    }
    if (copy.empty() || copy[0] == '+' || copy[0] == '-') return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(copy.data(), copy.data() + copy.size(), value);
    if (ec != std::errc() || end != copy.data() + copy.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string DescribeValueWord(uint16_t word) {
    const std::string bytes{static_cast<char>(word >> 8), static_cast<char>(word & 0xFF)};
    std::string hex = HexText(bytes);
    hex.erase(2, 1);
    return hex + " = " + std::to_string(ValueWordMantissa(word)) + "/100 x 10^" +
           std::to_string(ValueWordExponent(word)) + " = " + FloatToText(DecodeScaledValue(word), '.');
}

}  // namespace qel
