#pragma once
#include <cstdint>

#include "Clock.h"

namespace qel {

// Whether a connection's polled value is still current. It is from a good reply on, as
// long as the polls keep succeeding; once the polls have failed for StaleAfterMs since the
// last good reply, and at least StaleAfterPolls times in a row, it is not: a device that
// was switched off, an adapter that echoes the request and replies that fail their checks
// all leave an old value on screen that must not be filed as a new measurement.
class PollFreshness {
public:
    static constexpr uint32_t StaleAfterMs = 1500;
    static constexpr int StaleAfterPolls = 2;

    // A good reply at `nowMs`.
    void Good(uint32_t nowMs) {
        current_ = true;
        failures_ = 0;
        lastGoodMs_ = nowMs;
    }
    // A failed poll ending at `nowMs`; true when the value stops being current with it.
    bool Failed(uint32_t nowMs) {
        if (failures_ < StaleAfterPolls) ++failures_;
        if (!current_ || failures_ < StaleAfterPolls || !TimedOut(nowMs, lastGoodMs_, StaleAfterMs - 1)) return false;
        current_ = false;
        return true;
    }
    // The first failed poll after a good reply (the moment the device stopped answering).
    bool FirstFailure() const { return failures_ == 1; }
    bool Current() const { return current_; }

private:
    bool current_ = false;
    int failures_ = 0;
    uint32_t lastGoodMs_ = 0;
};

}  // namespace qel
