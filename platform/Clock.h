#pragma once
#include <cstdint>
#include <functional>

namespace qel {

// 32-bit wrapping millisecond counter (the GetTickCount stand-in).
// Elapsed time is always uint32_t(now - start), compared strictly greater than a timeout.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t NowMs() = 0;
    // Sleeps until data may have arrived or `ms` passed; used by blocking loops so they
    // do not spin. A manual test clock advances itself here instead of sleeping.
    virtual void SleepMs(uint32_t ms) = 0;
};

// CLOCK_MONOTONIC milliseconds truncated to 32 bits.
Clock& SystemClock();

// How long the machine has been suspended since it booted, in ms: the boot-time clock runs
// on through a suspend, the monotonic one stops. A jump between two readings is a resume.
uint64_t SuspendedMs();

inline bool TimedOut(uint32_t now, uint32_t start, uint32_t timeoutMs) {
    return static_cast<uint32_t>(now - start) > timeoutMs;
}

// Periodic ticks delivered on the thread that runs the event loop (the driver's polling timer).
class TickSource {
public:
    virtual ~TickSource() = default;
    virtual void Start(uint32_t periodMs, std::function<void()> onTick) = 0;
    virtual void Stop() = 0;
    virtual bool Running() const = 0;
};

}  // namespace qel
