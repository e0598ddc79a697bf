#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace qel {

// The value word of a QEL-1M poll reply: bits 0-9 the mantissa m in hundredths,
// bits 10-15 the exponent e (two's complement on 6 bits). Value = (m / 100) * 10^e.
double DecodeScaledValue(uint16_t word);

// A value as the program shows it: general format with at most 15 significant digits,
// trailing zeros dropped, the given decimal separator; fixed notation from 0.00001 up to
// 15 digits before the separator, otherwise "1E-6" / "1,5E31" form; zero is "0".
std::string FloatToText(double value, char decimalSeparator);
// The same with the regional decimal separator.
std::string FloatToText(double value);

// The device number of a poll reply: the last decimal digit of reply byte 4, ".", the
// decimal text of reply byte 5 (source address 1.23.45 gives "3.45"). Empty for a reply
// too short to hold a source address.
std::string AddressNumberText(std::string_view reply);

// The value word of a poll reply (kValueWordOffset, low byte first); 0 if the reply is shorter.
uint16_t ValueWord(std::string_view reply);

}  // namespace qel
