#pragma once
// Bytes in the frame tests are written as hex text and read by the simulator's own reader:
// "FF 01 2c" is FF 01 2C. Failures print bytes with HexText.
#include <string>
#include <string_view>

#include "SimHex.h"

namespace qel::test {

inline std::string Bytes(std::string_view hex) { return ParseHexBytes(hex).value(); }

}  // namespace qel::test
