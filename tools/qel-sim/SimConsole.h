#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "SimOptions.h"
#include "Simulator.h"

namespace qel {

// The simulator as its command line drives it: the settings of the next packet, the
// periodic sending, and the commands read from standard input.
class SimConsole {
public:
    // Applies the options' line, device type and QEL-1M settings to the simulator.
    SimConsole(Simulator& sim, const CliOptions& options);

    // Runs one command line (see HelpText). Returns false for "quit". What the command has to
    // say (an answer, or what was wrong with it) is put in `reply`, otherwise left empty.
    bool Execute(std::string_view line, std::string& reply);

    // Sends the next packet with the current settings (what "send" alone does).
    uint64_t SendNext();

    uint32_t EveryMs() const { return everyMs_; }

private:
    uint64_t Send(PacketSettings settings, bool recordGiven);
    bool ApplyDevice(std::string_view key, std::string_view value, bool hasValue, std::string& reply);
    std::string Status() const;

    Simulator& sim_;
    PacketSettings packet_;
    DeviceSettings device_;
    uint16_t nextRecord_;
    uint32_t everyMs_;
};

}  // namespace qel
