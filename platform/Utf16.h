#pragma once
#include <string>
#include <string_view>

namespace qel {

// UTF-16 bytes (without a byte-order mark) to and from UTF-8, losslessly: a surrogate
// without its partner is kept as the three-byte form of its own value (as WTF-8 does),
// so the bytes of text that is decoded and encoded again come back as they were. A last
// odd byte is not part of the text; the caller keeps it.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);
std::string Utf8ToUtf16(std::string_view utf8, bool bigEndian);

}  // namespace qel
