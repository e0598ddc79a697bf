#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qel {

// `QEL1Packet`: the measurement a QEL-1 sends on its own when the operator presses print,
//   device(2) record(2) minute hour day month year(BCD) reserved(1) dose(2) fraction(1)
//   error(1) checksum(1)
// two-byte numbers big-endian. The fields are decoded by BuildQel1Record (records/).
struct QEL1Packet {
    static constexpr uint32_t Size = 15;
    // Not 0: the device's internal error number, and the packet holds no measurement.
    static constexpr std::size_t ErrorByte = 13;
    // The sum of all the bytes before it (0 to 13), modulo 256.
    static constexpr std::size_t ChecksumByte = 14;
};
static_assert(QEL1Packet::ChecksumByte == QEL1Packet::Size - 1);

// What a host sends a QEL-1 to have its last record again: 04 52 44 00.
inline constexpr std::string_view kQel1LastRecordCommand{"\x04\x52\x44\x00", 4};

}  // namespace qel
