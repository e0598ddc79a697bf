#include "DiBusModTransport.h"

#include <charconv>

#include "Qel1mProtocol.h"

namespace qel {

uint32_t FrameChecksum(std::string_view bytes) {
    const std::size_t n = bytes.size();
    uint32_t c = 0;
    std::size_t i = 0;
    if (n % 2 == 1) {
        c = static_cast<uint8_t>(bytes[0]);
        i = 1;
    }
    for (; i < n; i += 2) {
        const uint32_t pair = (static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 8) |
                              static_cast<uint8_t>(bytes[i + 1]);
        c = ((c << 5) | (c >> 27)) ^ pair;
    }
    return c;
}

std::string ChecksumBytes(std::string_view bytes) {
    const uint32_t c = FrameChecksum(bytes);
    std::string out(kChecksumSize, '\0');
    for (std::size_t k = 0; k < kChecksumSize; ++k) out[k] = static_cast<char>((c >> (8 * k)) & 0xFFu);
    return out;
}

namespace {

[[noreturn]] void Malformed() { throw EFormatError(kAddressFormatMessage); }

// Blanks and control characters at both ends are not part of the address.
std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && static_cast<uint8_t>(s.front()) <= 0x20) s.remove_prefix(1);
    while (!s.empty() && static_cast<uint8_t>(s.back()) <= 0x20) s.remove_suffix(1);
    return s;
}

// A signed decimal integer that fits 32 bits, its low eight bits as the address byte.
char AddressByte(std::string_view number) {
    std::string_view digits = number;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty()) Malformed();
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) Malformed();
    const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
    if (value > limit) Malformed();
    const uint64_t signedValue = negative ? (~value + 1) : value;
    return static_cast<char>(signedValue & 0xFFu);
}

// The first `count` characters of a UTF-8 text.
std::string_view FirstCharacters(std::string_view text, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t seen = 0; pos < text.size(); ++pos) {
        if ((static_cast<uint8_t>(text[pos]) & 0xC0u) != 0x80u) {  // start of a character
            if (seen == count) break;
            ++seen;
        }
    }
    return text.substr(0, pos);
}

}  // namespace

std::string ParseDeviceAddress(std::string_view text) {
    const std::string_view s = TrimBlanks(text);
    const std::size_t dot1 = s.find('.');
    if (dot1 == std::string_view::npos) Malformed();
    const std::string_view first = s.substr(0, dot1);
    std::string_view rest = s.substr(dot1 + 1);
    const std::size_t dot2 = rest.find('.');
    if (dot2 == std::string_view::npos) Malformed();
    const std::string_view second = rest.substr(0, dot2);
    const std::string_view third = rest.substr(dot2 + 1);
    if (third.empty()) Malformed();
    std::string out;
    out += AddressByte(first);
    out += AddressByte(second);
    out += AddressByte(third);
    return out;
}

std::string BuildFrame(std::string_view destination, std::string_view source, uint8_t command,
                       uint8_t parameter, std::string_view data) {
    const std::string dst = ParseDeviceAddress(FirstCharacters(destination, kMaxAddressTextLength));
    const std::string src = ParseDeviceAddress(FirstCharacters(source, kMaxAddressTextLength));
    const auto length = static_cast<uint16_t>(data.size() & 0xFFFFu);
    std::string header = dst + src;
    header += static_cast<char>(command);
    header += static_cast<char>(parameter);
    header += static_cast<char>(length & 0xFFu);
    header += static_cast<char>(length >> 8);
    std::string frame = header;
    frame += ChecksumBytes(header);
    frame.append(data);
    frame += ChecksumBytes(data);
    return frame;
}

std::string PollRequest() {
    return BuildFrame(kBroadcastAddress, kHostAddress, PollCommand, kCommandParameter, kCommandData);
}

std::string ZeroRequest() {
    return BuildFrame(kBroadcastAddress, kHostAddress, ZeroCommand, kCommandParameter, kCommandData);
}

}  // namespace qel
