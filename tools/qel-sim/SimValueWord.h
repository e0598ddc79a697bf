#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qel {

// The value word of a QEL-1M poll reply: mantissa m in bits 0-9 (hundredths, 0..1023) and
// exponent e in bits 10-15 (6-bit two's complement, -32..31); the value is m/100 x 10^e.

uint16_t MakeValueWord(int mantissa, int exponent);  // mantissa 0..1023, exponent -32..31
int ValueWordMantissa(uint16_t word);
int ValueWordExponent(uint16_t word);

// The word that comes nearest to `value`, preferring the smallest exponent (the finest
// steps); 0 gives word 0000. Nothing for a negative, not finite, or too large value
// (above 10.23 x 10^31).
std::optional<uint16_t> EncodeValueWord(double value);

// A value as the user writes it: "1.23", "12,3", "1e-6". Nothing for other text.
std::optional<double> ParseValueText(std::string_view text);

// "047B = 123/100 x 10^1 = 12.3": the word in hex and what it holds, for messages.
// (DecodeScaledValue of numFormats gives the value itself.)
std::string DescribeValueWord(uint16_t word);

}  // namespace qel
