#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Clock.h"
#include "PortBackend.h"

namespace qel {

enum TComPortNumber : uint8_t {
    pnCOM1, pnCOM2, pnCOM3, pnCOM4, pnCOM5, pnCOM6, pnCOM7, pnCOM8,
    pnCOM9, pnCOM10, pnCOM11, pnCOM12, pnCOM13, pnCOM14, pnCOM15, pnCOM16
};
enum TComPortBaudRate : uint8_t {
    br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400, br56000, br57600, br115200
};
enum TComPortDataBits : uint8_t { db5BITS, db6BITS, db7BITS, db8BITS };
enum TComPortStopBits : uint8_t { sb1BITS, sb1HALFBITS, sb2BITS };
enum TComPortParity : uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum TComPortHwHandshaking : uint8_t { hhNONE, hhNONERTSON, hhRTSCTS };
enum TComPortSwHandshaking : uint8_t { shNONE, shXONXOFF };
enum TPacketMode : uint8_t { pmDiscard, pmPass };
enum TComPortModemLine : uint8_t { mlCTS, mlDSR, mlRING, mlRLSD };
using TComPortModemLines = unsigned;  // bit (1 << TComPortModemLine) per active line

class TSerialPortDriver;
// Sender, DataPtr, DataSize. The bytes are valid only during the call.
using TComPortReceiveDataEvent = std::function<void(TSerialPortDriver* Sender, const uint8_t* DataPtr, uint32_t DataSize)>;
using TComPortReceivePacketEvent = std::function<void(TSerialPortDriver* Sender, const uint8_t* Packet, uint32_t DataSize)>;
// The device behind the open port has gone (Sender: the driver). Raised once per open.
using TComPortLineLostEvent = std::function<void(TSerialPortDriver* Sender)>;

uint32_t BaudRateValue(TComPortBaudRate rate);
// n characters of 10 bit times at the given speed, in ms, rounded half to even.
int32_t TransmitTime(TComPortBaudRate speed, int32_t n);

// The device a COM port stands for; the owner of the driver knows where that is kept.
using DevicePathLookup = std::function<std::string(TComPortNumber port)>;
// Where a driver without a lookup opens COMn: /dev/ttyS{n-1}.
std::string DefaultDevicePath(TComPortNumber port);

// Owns one serial port: opens it exclusively, polls it on a periodic tick and hands what
// arrived to its owner; writes and reads synchronously with inactivity timeouts.
// No operation throws. Packet mode, the modem lines and the line format and handshaking
// setters belong to the component but not to this program's use of it
// (SerialPortDriverPackets.cpp).
class TSerialPortDriver {
public:
    // A null backend or clock picks the system's own; a null tick source takes one from the
    // installed factory (SetDefaultTickSourceFactory), or none, and then the owner calls PollTick.
    explicit TSerialPortDriver(std::unique_ptr<PortBackend> backend = nullptr, Clock* clock = nullptr,
                               std::unique_ptr<TickSource> ticks = nullptr);
    ~TSerialPortDriver();
    TSerialPortDriver(const TSerialPortDriver&) = delete;
    TSerialPortDriver& operator=(const TSerialPortDriver&) = delete;

    std::string Name;  // component name, for messages and tests
    // Asked at each Connect for the device of ComPort; none gives DefaultDevicePath.
    DevicePathLookup DevicePathOf;

    bool Connect();
    void Disconnect();
    bool IsConnected() const;
    void ApplySettings();
    void Purge(bool input, bool output);
    uint32_t InputCount();
    uint16_t OutputFree();
    TComPortModemLines ModemLines();
    uint32_t SendWithTimeout(const void* data, uint32_t count, uint32_t timeoutMs);
    uint32_t Send(const void* data, uint32_t count);
    bool SendText(const std::string& text);
    // Reads up to count bytes; ends after InputTimeout of silence, and at the latest when
    // the time the bytes take on the line at ComPortSpeed plus InputTimeout has passed.
    uint32_t Read(void* buffer, uint32_t count);
    // The bytes read so far (buffer, count) form a whole message.
    using ReadComplete = std::function<bool(const uint8_t* bytes, uint32_t count)>;
    // The bytes already waiting when the read begins are taken as left from before.
    static constexpr uint32_t kWaitingAtStart = UINT32_MAX;
    // Read that may also end early: once the bytes read so far are `complete` and no further
    // byte has come for more than `confirmMs`. The first `heldOver` bytes may be left over
    // from before (by default those already waiting when the call begins), so they alone
    // never end it early. Otherwise, and when `complete` is empty, exactly as Read.
    uint32_t ReadUntilComplete(void* buffer, uint32_t count, const ReadComplete& complete, uint32_t confirmMs,
                               uint32_t heldOver = kWaitingAtStart);
    void HoldPolling();
    void ReleasePolling();
    void PollTick();

    // Properties, with the assignment rules of the component.
    TComPortNumber ComPort() const { return comPort_; }
    void SetComPort(TComPortNumber v);
    TComPortBaudRate ComPortSpeed() const { return speed_; }
    void SetComPortSpeed(TComPortBaudRate v);
    TComPortDataBits ComPortDataBits() const { return dataBits_; }
    void SetComPortDataBits(TComPortDataBits v);
    TComPortStopBits ComPortStopBits() const { return stopBits_; }
    void SetComPortStopBits(TComPortStopBits v);
    TComPortParity ComPortParity() const { return parity_; }
    void SetComPortParity(TComPortParity v);
    TComPortHwHandshaking ComPortHwHandshaking() const { return hw_; }
    void SetComPortHwHandshaking(TComPortHwHandshaking v);
    TComPortSwHandshaking ComPortSwHandshaking() const { return sw_; }
    void SetComPortSwHandshaking(TComPortSwHandshaking v);
    uint16_t ComPortInBufSize() const { return inBufSize_; }
    void SetComPortInBufSize(uint16_t v);
    uint16_t ComPortOutBufSize() const { return outBufSize_; }
    void SetComPortOutBufSize(uint16_t v);
    int16_t PacketSize() const { return packetSize_; }
    void SetPacketSize(int16_t v);
    int32_t PacketTimeout() const { return packetTimeout_; }
    void SetPacketTimeout(int32_t v);
    TPacketMode PacketMode() const { return packetMode_; }
    void SetPacketMode(TPacketMode v) { packetMode_ = v; }
    uint16_t ComPortPollingDelay() const { return pollingDelay_; }
    void SetComPortPollingDelay(uint16_t v);
    bool EnableDTROnOpen() const { return enableDtr_; }
    void SetEnableDTROnOpen(bool v) { enableDtr_ = v; }
    uint16_t OutputTimeout() const { return outputTimeout_; }
    void SetOutputTimeout(uint16_t v) { outputTimeout_ = v; }
    uint32_t InputTimeout() const { return inputTimeout_; }
    void SetInputTimeout(uint32_t v) { inputTimeout_ = v; }
    bool CheckLineStatus() const { return checkLineStatus_; }
    void SetCheckLineStatus(bool v) { checkLineStatus_ = v; }
    TComPortReceiveDataEvent OnReceiveData;
    TComPortReceivePacketEvent OnReceivePacket;
    // Raised by the polling tick that first finds the device gone. The driver itself stays
    // connected and transfers nothing, as before; what to do about it is the owner's choice.
    TComPortLineLostEvent OnLineLost;

    // The device path the last Connect tried, and why it failed (reason None after success).
    const std::string& DevicePath() const { return devicePath_; }
    const PortOpenFailure& LastOpenFailure() const { return openFailure_; }
    // The open port's device has gone (see OnLineLost); false when not connected.
    bool LineLost() const { return lineLost_; }

    // One Read lasts at most the wire time of the bytes it asks for plus this many input
    // timeouts.
    static constexpr uint32_t kReadBoundTimeouts = 5;

private:
    friend struct DriverInnerState;
    // Packet mode's part of PollTick, with `waiting` bytes queued (SerialPortDriverPackets.cpp).
    void PollPackets(uint32_t waiting);
    // How long one Read of `count` bytes may last in all, in ms.
    uint32_t ReadBound(uint32_t count) const;
    void ReallocateBuffer();
    void StartTicks();
    LineSettings CurrentLineSettings() const;

    std::unique_ptr<PortBackend> backend_;
    Clock* clock_;
    std::unique_ptr<TickSource> ticks_;
    bool connected_ = false;
    bool lineLost_ = false;
    std::string devicePath_;
    PortOpenFailure openFailure_;

    TComPortNumber comPort_ = pnCOM2;
    TComPortBaudRate speed_ = br9600;
    TComPortDataBits dataBits_ = db8BITS;
    TComPortStopBits stopBits_ = sb1BITS;
    TComPortParity parity_ = ptNONE;
    TComPortHwHandshaking hw_ = hhNONERTSON;
    TComPortSwHandshaking sw_ = shNONE;
    uint16_t inBufSize_ = 2048;
    uint16_t outBufSize_ = 2048;
    int16_t packetSize_ = -1;
    int32_t packetTimeout_ = -1;
    TPacketMode packetMode_ = pmDiscard;
    uint16_t pollingDelay_ = 50;
    bool enableDtr_ = true;
    uint16_t outputTimeout_ = 500;
    uint32_t inputTimeout_ = 200;
    bool checkLineStatus_ = false;

    std::vector<uint8_t> receiveBuffer_;
    uint32_t packetBeginTick_ = 0xFFFFFFFFu;
    int32_t pollHoldCount_ = 0;
};

// The tick source used when none is given: set once by the program (a QTimer adapter);
// without a factory the driver has no ticks of its own and tests call PollTick.
using TickSourceFactory = std::function<std::unique_ptr<TickSource>()>;
void SetDefaultTickSourceFactory(TickSourceFactory factory);

}  // namespace qel
