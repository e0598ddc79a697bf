#include "Clock.h"

#include <cerrno>
#include <ctime>

namespace qel {

namespace {

class MonotonicClock final : public Clock {
public:
    uint32_t NowMs() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        const auto ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
        return static_cast<uint32_t>(ms);  // wraps every 49.7 days, as GetTickCount does
    }

    void SleepMs(uint32_t ms) override {
        timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
        // A signal cuts nanosleep short; sleep the rest.
        while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        }
    }
};

}  // namespace

uint64_t SuspendedMs() {
    timespec boot{}, mono{};
    if (clock_gettime(CLOCK_MONOTONIC, &mono) != 0 || clock_gettime(CLOCK_BOOTTIME, &boot) != 0) return 0;
    const auto ms = [](const timespec& t) {
        return static_cast<int64_t>(t.tv_sec) * 1000 + static_cast<int64_t>(t.tv_nsec) / 1000000;
    };
    const int64_t slept = ms(boot) - ms(mono);
    return slept > 0 ? static_cast<uint64_t>(slept) : 0;
}

Clock& SystemClock() {
    static MonotonicClock clock;
    return clock;
}

}  // namespace qel
