#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qel {

// What a QEL-1 puts into its 15-byte measurement packet.
struct Qel1Fields {
    uint16_t device = 1;
    uint16_t record = 1;
    uint8_t minute = 0;  // 0..59, sent as BCD
    uint8_t hour = 0;    // 0..23, BCD
    uint8_t day = 1;     // 1..31, BCD
    uint8_t month = 1;   // 1..12, BCD
    uint8_t year = 0;    // 0..99 within the century, BCD
    uint8_t reserved = 0;  // byte 9, only counted in the checksum
    uint16_t doseInteger = 0;
    uint8_t doseFraction = 0;  // the fraction's digits as a number: 12.5 is 12 and 5
    uint8_t error = 0;         // 0 for a measurement, else the device's error number
};

inline constexpr std::size_t kQel1PacketSize = 15;

// The command a host sends to ask for the last record again: 04 52 44 00.
inline constexpr std::string_view kLastRecordCommand{"\x04\x52\x44\x00", 4};

// Sum of the bytes modulo 256 (the packet's byte 14 over bytes 0..13).
uint8_t Qel1Checksum(std::string_view bytes);

// The packet; with badChecksum its last byte is the complement of the right checksum.
std::string BuildQel1Packet(const Qel1Fields& fields, bool badChecksum = false);

// Minute, hour, day, month and year of the current local time.
void SetQel1Time(Qel1Fields& fields);

// A whole number as written by a user: decimal digits only (no sign, no blanks), within
// the range of `value`.
bool ParseNumber(std::string_view text, uint32_t& value);

// A dose as written by a user: "12", "12.5", "0.125" (a comma works as well). The fraction's
// digits become the fraction byte as written ("12.5" -> 5, "12.50" -> 50), which is how
// the device reports them; so it must fit a byte and cannot start with 0 unless it is "0".
bool ParseDose(std::string_view text, uint16_t& integer, uint8_t& fraction);

}  // namespace qel
