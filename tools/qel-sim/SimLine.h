#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qel {

// The simulator's end of a serial line: the master side of a pseudo-terminal it made, or a
// real port it opened. Reads and writes never block; the waits are bounded.
class SimLine {
public:
    virtual ~SimLine() = default;
    // What the program under test opens: the pseudo-terminal's slave path, or the device.
    virtual const std::string& Path() const = 0;
    // Bytes moved; 0 when nothing could be moved. Read sets `gone` when the line failed for good.
    virtual std::size_t Read(uint8_t* buffer, std::size_t count, bool& gone) = 0;
    virtual std::size_t Write(const uint8_t* data, std::size_t count) = 0;
    // Returns when input may be waiting, after Wake, or after at most timeoutMs.
    virtual void WaitReadable(uint32_t timeoutMs) = 0;
    virtual void WaitWritable(uint32_t timeoutMs) = 0;
    // Ends a WaitReadable in progress early (where the line can).
    virtual void Wake() = 0;
};

// A new pseudo-terminal in raw mode (8N1, nothing translated, no echo). The simulator keeps
// the slave side open itself as well, so the program under test may open and close it any
// number of times without the master seeing a hang-up. With a non-empty linkPath, a
// symbolic link to the slave is made there (an existing link is replaced; any other file
// is left alone and the call fails) and removed again when the line is destroyed.
std::unique_ptr<SimLine> OpenPtyLine(const std::string& linkPath, std::string& error);

// A serial device opened exclusively, raw 8N1 at the given speed.
std::unique_ptr<SimLine> OpenPortLine(const std::string& device, uint32_t baud, std::string& error);

}  // namespace qel
