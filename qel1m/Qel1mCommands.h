#pragma once
#include <optional>
#include <string>

namespace qel {

class TSerialPortDriver;

// What one good poll reply shows: the value as text, in the regional format, and the
// device's number taken from the reply's source address.
struct PolledValue {
    std::string Text;
    std::string AddressNumber;
};

// Polls the QEL-1M on the driver's line once (command 6). Only a reply of exactly 26 bytes
// gives a value; no reply, a rejected one or one of any other length gives nothing.
std::optional<PolledValue> PollValue(TSerialPortDriver& driver);

// Zeroes the QEL-1M on the driver's line (command 8). True only for the 14-byte short reply;
// the full 18-byte form or any other length counts as no success.
bool ZeroDevice(TSerialPortDriver& driver);

}  // namespace qel
