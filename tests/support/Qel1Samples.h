#pragma once
// The QEL-1 packet the tests send most: device 7, record 300, 09:45 on 31.12.05, dose 12.5.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "SimPacket.h"

namespace qel::test {

// Its bytes as the device sends them, checksum DB last.
inline const std::string kExamplePacket{"\x00\x07\x01\x2C\x45\x09\x31\x12\x05\x00\x00\x0C\x05\x00\xDB", 15};

// Its record line under Russian regional settings.
inline const std::string kExampleLine = "00007 00300 09:45 31.12.05 00012,500";

// Its fields, for the simulator to build the packet from.
inline Qel1Fields ExampleFields() {
    Qel1Fields f;
    f.device = 7;
    f.record = 300;
    f.hour = 9;
    f.minute = 45;
    f.day = 31;
    f.month = 12;
    f.year = 5;
    f.doseInteger = 12;
    f.doseFraction = 5;
    return f;
}

// Its bytes as the receive handler hands them to the record line.
inline std::array<uint8_t, kQel1PacketSize> ExamplePacketBytes() {
    std::array<uint8_t, kQel1PacketSize> bytes{};
    std::memcpy(bytes.data(), kExamplePacket.data(), bytes.size());
    return bytes;
}

}  // namespace qel::test
