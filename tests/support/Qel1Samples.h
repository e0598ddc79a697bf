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

// A measurement's fields, for the simulator to build its packet from: time as {hour,
// minute}, date as {day, month, two-digit year}, dose as its integer and fraction digits.
struct Clock2 {
    uint8_t hour, minute;
};
struct Date3 {
    uint8_t day, month, year;
};
inline Qel1Fields Qel1Sample(uint16_t device, uint16_t record, Clock2 time, Date3 date, uint16_t doseInteger,
                             uint8_t doseFraction) {
    Qel1Fields f;
    f.device = device;
    f.record = record;
    f.hour = time.hour;
    f.minute = time.minute;
    f.day = date.day;
    f.month = date.month;
    f.year = date.year;
    f.doseInteger = doseInteger;
    f.doseFraction = doseFraction;
    return f;
}

// The example packet's fields.
inline Qel1Fields ExampleFields() { return Qel1Sample(7, 300, {9, 45}, {31, 12, 5}, 12, 5); }

// Its bytes as the receive handler hands them to the record line.
inline std::array<uint8_t, kQel1PacketSize> ExamplePacketBytes() {
    std::array<uint8_t, kQel1PacketSize> bytes{};
    std::memcpy(bytes.data(), kExamplePacket.data(), bytes.size());
    return bytes;
}

}  // namespace qel::test
