#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qel {

// The addressed command frame of a QEL-1M device:
//   destination(3) source(3) command(1) parameter(1) length(2, little-endian)
//   header checksum(4) data(length) data checksum(4)
// Frames, addresses and checksums are byte strings: every byte value, 0 included, may occur.

// A malformed device address text.
class EFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The message of EFormatError for a malformed address.
inline constexpr const char* kAddressFormatMessage = "Неправильно задан адрес устройства";

// Layout constants.
inline constexpr std::size_t kSourceOffset = 3;
inline constexpr std::size_t kCommandOffset = 6;
inline constexpr std::size_t kLengthOffset = 8;  // little-endian
inline constexpr std::size_t kFrameHeaderSize = 10;
inline constexpr std::size_t kChecksumSize = 4;
inline constexpr std::size_t kShortFrameSize = kFrameHeaderSize + kChecksumSize;  // 14
inline constexpr std::size_t kFrameOverhead = kShortFrameSize + kChecksumSize;    // 18
// An address text is cut to this many characters, the length of "255.255.255".
inline constexpr std::size_t kMaxAddressTextLength = 11;

// Bytes taken in big-endian pairs, a lone first byte of an odd-length string as the
// starting value; each pair: C = rotl(C, 5) xor pair.
uint32_t FrameChecksum(std::string_view bytes);
// FrameChecksum as 4 bytes, least significant first.
std::string ChecksumBytes(std::string_view bytes);

// "a.b.c" (blanks and control characters around it ignored) to three bytes, each the low
// eight bits of a signed decimal number. Throws EFormatError on malformed text.
std::string ParseDeviceAddress(std::string_view text);

// The complete frame. Address texts are cut to 11 characters before parsing; the length
// field is the data length modulo 65536. Throws EFormatError for a malformed address.
std::string BuildFrame(std::string_view destination, std::string_view source, uint8_t command,
                       uint8_t parameter, std::string_view data);

// The two requests the program sends (Qel1mProtocol.h), from the host to every device.
std::string PollRequest();
std::string ZeroRequest();

}  // namespace qel
