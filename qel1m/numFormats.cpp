#include "numFormats.h"

#include <array>
#include <charconv>
#include <cmath>

#include "Qel1mProtocol.h"
#include "Regional.h"

namespace qel {

namespace {

// Powers of ten 10^0 .. 10^32, each the double nearest to the exact power (exact up to 10^22).
constexpr std::array<double, 33> kPowersOfTen = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16,
    1e17, 1e18, 1e19, 1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30, 1e31, 1e32};

constexpr int kSignificantDigits = 15;

}  // namespace

double DecodeScaledValue(uint16_t word) {
    const unsigned m = word & 0x3FFu;
    int e = static_cast<int>((word >> 10) & 0x3Fu);
    if (e >= 32) e -= 64;
    const double x = static_cast<double>(m) / 100.0;
    // A negative exponent divides by 10^-e instead of multiplying by the inexact double
    // nearest to 10^e. While the power is exact (|e| <= 22) the one rounding step gives the
    // correctly rounded product x * 10^e: 0.01 / 10^4 is the double 1e-6, whereas
    // 0.01 * 1e-4 lands one unit above it. Beyond that the result is within a unit, which
    // the 15-digit text never shows.
    if (e >= 0) return x * kPowersOfTen[static_cast<std::size_t>(e)];
    return x / kPowersOfTen[static_cast<std::size_t>(-e)];
}

std::string FloatToText(double value, char decimalSeparator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";

    // Fifteen significant digits, rounded: d.dddddddddddddde[+-]xx.
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific,
                                   kSignificantDigits - 1);
    const std::string_view sci(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));

    std::string_view mantissa = sci.substr(0, sci.find('e'));
    const std::string_view exponentText = sci.substr(sci.find('e') + 1);
    int exponent = 0;
    std::from_chars(exponentText.data() + (exponentText.front() == '+' ? 1 : 0),
                    exponentText.data() + exponentText.size(), exponent);

    std::string out;
    if (mantissa.front() == '-') {
        out += '-';
        mantissa.remove_prefix(1);
    }
    std::string digits;  // the significant digits without the point, trailing zeros dropped
    for (char c : mantissa)
        if (c != '.') digits += c;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    // Digits before the point, counted on the rounded value.
    const int integerDigits = exponent + 1;
    if (integerDigits <= kSignificantDigits && integerDigits >= -4) {
        if (integerDigits <= 0) {
            out += '0';
            out += decimalSeparator;
            out.append(static_cast<std::size_t>(-integerDigits), '0');
            out += digits;
        } else if (static_cast<std::size_t>(integerDigits) >= digits.size()) {
            out += digits;
            out.append(static_cast<std::size_t>(integerDigits) - digits.size(), '0');
        } else {
            out.append(digits, 0, static_cast<std::size_t>(integerDigits));
            out += decimalSeparator;
            out.append(digits, static_cast<std::size_t>(integerDigits));
        }
        return out;
    }

    out += digits[0];
    if (digits.size() > 1) {
        out += decimalSeparator;
        out.append(digits, 1);
    }
    out += 'E';
    if (exponent < 0) out += '-';
    std::array<char, 8> expBuf{};
    const auto expRes = std::to_chars(expBuf.data(), expBuf.data() + expBuf.size(), exponent < 0 ? -exponent : exponent);
    out.append(expBuf.data(), expRes.ptr);
    return out;
}

std::string FloatToText(double value) { return FloatToText(value, Regional().decimalSeparator); }

std::string AddressNumberText(std::string_view reply) {
    if (reply.size() < kSourceOffset + 3) return {};
    const auto second = static_cast<uint8_t>(reply[kSourceOffset + 1]);
    const auto third = static_cast<uint8_t>(reply[kSourceOffset + 2]);
    std::string out;
    out += static_cast<char>('0' + second % 10);
    out += '.';
    std::array<char, 4> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), static_cast<unsigned>(third));
    out.append(buf.data(), res.ptr);
    return out;
}

uint16_t ValueWord(std::string_view reply) {
    if (reply.size() < kValueWordOffset + 2) return 0;
    return static_cast<uint16_t>(static_cast<uint8_t>(reply[kValueWordOffset]) |
                                 (static_cast<uint8_t>(reply[kValueWordOffset + 1]) << 8));
}

}  // namespace qel
