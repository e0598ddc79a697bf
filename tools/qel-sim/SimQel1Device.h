#pragma once
#include <mutex>
#include <string>

#include "SimDevice.h"
#include "SimPacedWriter.h"
#include "SimPacket.h"

namespace qel {

// A QEL-1: sends packets, and repeats the last one when a host sends the last-record
// command (found also when it comes split across reads). Thread-safe.
class SimQel1Device : public SimDevice {
public:
    explicit SimQel1Device(SimPacedWriter& writer) : writer_(writer) {}

    // A packet from fields; it becomes the last record (with a right checksum, whatever
    // badChecksum spoils on the way). Returns the transmission's id.
    uint64_t SendPacket(const Qel1Fields& fields, bool badChecksum, const SendOptions& options);
    // Any bytes sent as a packet, which a last-record command then repeats.
    uint64_t SendRecord(const std::string& bytes, const SendOptions& options);
    void SetLastRecord(const std::string& packet);
    std::string LastRecord() const;

    void Input(std::string_view bytes, std::vector<std::string>& log) override;
    void DropInput() override;

private:
    SimPacedWriter& writer_;
    mutable std::mutex mu_;
    std::string lastRecord_;
    std::string commandTail_;  // the last bytes, to find a command split across reads
};

}  // namespace qel
