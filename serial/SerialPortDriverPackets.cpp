// The parts of the driver that this program does not use: packet mode (PacketSize,
// PacketTimeout, PacketMode, OnReceivePacket), the modem lines with CheckLineStatus, and
// the line format and handshaking setters. The driver is a general component and keeps
// its whole contract, which its tests pin; the program reads in stream mode only.
#include <algorithm>

#include "DriverEvent.h"
#include "SerialPortDriver.h"

namespace qel {

TComPortModemLines TSerialPortDriver::ModemLines() {
    if (!connected_) return 0;
    unsigned lines = 0;
    if (!backend_->ModemStatus(lines)) return 0;
    TComPortModemLines result = 0;
    if (lines & kModemCTS) result |= 1u << mlCTS;
    if (lines & kModemDSR) result |= 1u << mlDSR;
    if (lines & kModemRING) result |= 1u << mlRING;
    if (lines & kModemRLSD) result |= 1u << mlRLSD;
    return result;
}

void TSerialPortDriver::PollPackets(uint32_t waiting) {
    const int16_t packetSize = packetSize_;
    const auto size = static_cast<uint32_t>(packetSize);
    if (waiting >= size) {
        do {
            // A handler may have shrunk or regrown the buffer; never read past it.
            const uint32_t n = std::min<uint32_t>(size, static_cast<uint32_t>(receiveBuffer_.size()));
            const std::size_t r = n > 0 ? backend_->Read(receiveBuffer_.data(), n) : 0;
            if (r > 0) RaiseDriverEvent(OnReceivePacket, this, receiveBuffer_.data(), r);
            if (packetBeginTick_ != kNoPacketTick)
                packetBeginTick_ += static_cast<uint32_t>(TransmitTime(speed_, packetSize));
            waiting -= size;
            if (waiting == 0) packetBeginTick_ = kNoPacketTick;
        } while (waiting >= size);
        return;
    }

    const uint32_t now = clock_->NowMs();
    if (packetTimeout_ > 0 && packetBeginTick_ != kNoPacketTick &&
        TimedOut(now, packetBeginTick_, static_cast<uint32_t>(packetTimeout_))) {
        const uint32_t n = std::min<uint32_t>(waiting, static_cast<uint32_t>(receiveBuffer_.size()));
        const std::size_t r = n > 0 ? backend_->Read(receiveBuffer_.data(), n) : 0;
        if (r > 0 && packetMode_ == pmPass) RaiseDriverEvent(OnReceivePacket, this, receiveBuffer_.data(), r);
        packetBeginTick_ = kNoPacketTick;
        return;
    }
    if (waiting > 0 && packetBeginTick_ == kNoPacketTick) packetBeginTick_ = now;
}

void TSerialPortDriver::SetComPortDataBits(TComPortDataBits v) {
    dataBits_ = v;
    ApplySettings();
}

void TSerialPortDriver::SetComPortStopBits(TComPortStopBits v) {
    stopBits_ = v;
    ApplySettings();
}

void TSerialPortDriver::SetComPortParity(TComPortParity v) {
    parity_ = v;
    ApplySettings();
}

void TSerialPortDriver::SetComPortHwHandshaking(TComPortHwHandshaking v) {
    hw_ = v;
    ApplySettings();
}

void TSerialPortDriver::SetComPortSwHandshaking(TComPortSwHandshaking v) {
    sw_ = v;
    ApplySettings();
}

void TSerialPortDriver::SetPacketSize(int16_t v) {
    if (v < 1) {
        packetSize_ = -1;
        return;
    }
    if (v > inBufSize_) {
        // Raised even while connected (where assigning ComPortInBufSize is ignored):
        // a packet must always fit into the receive buffer.
        inBufSize_ = static_cast<uint16_t>(2 * v);
        ReallocateBuffer();
    }
    packetSize_ = v;
}

void TSerialPortDriver::SetPacketTimeout(int32_t v) {
    if (v < 1)
        packetTimeout_ = -1;
    else if (v < pollingDelay_)
        // A packet timeout shorter than a polling period could never be seen; the driver
        // takes one period and 150 ms of slack for the tick's own lateness instead.
        packetTimeout_ = static_cast<int32_t>(pollingDelay_) + 150;
    else
        packetTimeout_ = v;
}

}  // namespace qel
