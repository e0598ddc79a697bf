#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// What a simulated device does with the bytes a host sends it. The simulator's reader
// thread hands each read to the device being played; the device answers through the
// paced writer. Event lines for the log are added to `log`, which is written after the
// simulator's locks are let go.
class SimDevice {
public:
    using SteadyClock = std::chrono::steady_clock;

    virtual ~SimDevice() = default;
    virtual void Input(std::string_view bytes, std::vector<std::string>& log) = 0;
    // Drops what waited too long for the rest of it. Returns how soon, in ms (at most
    // limitMs), it should be called again.
    virtual uint32_t ExpireInput(SteadyClock::time_point /*now*/, uint32_t limitMs, std::vector<std::string>& /*log*/) {
        return limitMs;
    }
    // Forgets the start of a command or request (the simulator stops playing this device).
    virtual void DropInput() = 0;
};

}  // namespace qel
