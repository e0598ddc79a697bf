#pragma once
// Not part of the program's interface: the driver's inner state, for the driver's own
// tests, which check the receive buffer's size, the packet clock and the polling hold.
#include <cstdint>
#include <vector>

#include "SerialPortDriver.h"

namespace qel {

struct DriverInnerState {
    static const std::vector<uint8_t>& ReceiveBuffer(const TSerialPortDriver& driver) { return driver.receiveBuffer_; }
    static uint32_t PacketBeginTick(const TSerialPortDriver& driver) { return driver.packetBeginTick_; }
    static int32_t PollHoldCount(const TSerialPortDriver& driver) { return driver.pollHoldCount_; }
    // True while connected with a running tick source (without one, the owner polls).
    static bool PollingActive(const TSerialPortDriver& driver) {
        return driver.connected_ && driver.ticks_ && driver.ticks_->Running();
    }
};

}  // namespace qel
