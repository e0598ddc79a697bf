#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qel {

// Line settings pushed to an open port in one go.
struct LineSettings {
    uint32_t baudRate = 9600;
    int dataBits = 8;          // 5..8
    int parity = 0;            // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBits = 0;          // 0 one, 1 one and a half, 2 two
    bool rtsCtsFlow = false;   // hardware flow control
    bool xonXoff = false;      // software flow control (no IXANY)
    bool dtrOn = true;
    bool rtsOn = true;
};

// Why a port would not open.
enum class PortOpenError {
    None,         // it opened
    Missing,      // no such device (the path, or the device behind it, is absent)
    NoPermission, // the user may not open it
    Busy,         // another program holds it
    NotTerminal,  // the path names something that is no serial port
    Other,        // any other refusal of the system
};

struct PortOpenFailure {
    PortOpenError reason = PortOpenError::None;
    int systemError = 0;  // the system's error number, 0 when none
    std::string group;    // NoPermission: the group that owns the device, when known
};

enum ModemLineBits : unsigned {
    kModemCTS = 1u << 0,
    kModemDSR = 1u << 1,
    kModemRING = 1u << 2,
    kModemRLSD = 1u << 3,
};

// The narrow face of the operating system's serial port that the driver uses.
// Every call is non-blocking; WaitReadable is the only one that may sleep.
class PortBackend {
public:
    virtual ~PortBackend() = default;
    // Opens the device exclusively; false when it does not exist, is no terminal or is held.
    virtual bool Open(const std::string& devicePath) = 0;
    // Why the last Open failed; reason None after a successful one.
    virtual PortOpenFailure LastOpenFailure() const { return {}; }
    // True once the open line's device is known to be gone (hung up, I/O errors, its node
    // removed); it stays true until the port is closed. A backend that cannot tell says false.
    virtual bool LineGone() { return false; }
    // What the polling tick asks, at once: true when the line's device is gone (as LineGone);
    // otherwise false, with `waiting` the bytes in the input queue (0 when unknown). A backend
    // may answer it more cheaply than LineGone and QueueCounts together, and may look for a
    // removed device node less often than at every call (at least once a second).
    virtual bool ProbeLine(uint32_t& waiting) {
        waiting = 0;
        if (LineGone()) return true;
        if (!InputQueue(waiting)) waiting = 0;
        return false;
    }
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual void Configure(const LineSettings& settings) = 0;  // errors ignored
    virtual void Purge(bool input, bool output) = 0;
    // Bytes waiting in the input and output queues; false when the query fails.
    virtual bool QueueCounts(uint32_t& inQueue, uint32_t& outQueue) = 0;
    // Bytes waiting in the input queue alone, for those who need no output count (one
    // query where QueueCounts may need two); false when the query fails.
    virtual bool InputQueue(uint32_t& inQueue) {
        uint32_t out = 0;
        return QueueCounts(inQueue, out);
    }
    // Active modem input lines (ModemLineBits); false when the query fails.
    virtual bool ModemStatus(unsigned& lines) = 0;
    // Returns bytes transferred, 0 on failure or when nothing could be moved.
    virtual std::size_t Read(uint8_t* buffer, std::size_t count) = 0;
    virtual std::size_t Write(const uint8_t* data, std::size_t count) = 0;
    // Waits up to timeoutMs for input (or for the line to go away); never longer.
    virtual void WaitReadable(uint32_t timeoutMs) = 0;
    // Waits up to timeoutMs for room in the output queue.
    virtual void WaitWritable(uint32_t timeoutMs) = 0;
};

std::unique_ptr<PortBackend> MakeSystemPortBackend();

}  // namespace qel
