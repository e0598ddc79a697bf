#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace qel {

// Bytes written as hexadecimal text, as the simulator's user types them and as it logs them.
// Accepted: pairs of hex digits, optionally grouped ("00 07 01", "00072C", "0x04,0x52"),
// separated by blanks, tabs, commas, colons or hyphens; a lone digit is one byte ("7" = 07).
// Returns nothing for any other character or an odd-length group.
std::optional<std::string> ParseHexBytes(std::string_view text);

// "00 07 2C": two upper-case digits per byte, single blanks between.
std::string HexText(std::string_view bytes);

}  // namespace qel
