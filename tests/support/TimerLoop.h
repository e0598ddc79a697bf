#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "Clock.h"

namespace qel {

// A small single-threaded loop of periodic ticks without a window system, for tests and
// tools. Each tick source keeps its own period and phase (counted from its Start); like
// a window timer it has at most one tick pending, so a late loop fires a source once and
// then resumes its rhythm instead of firing a burst of missed ticks. Between ticks the
// loop sleeps through its clock. A tick source may outlive its loop: it then does nothing.
class TimerLoop {
public:
    // The clock must outlive the loop; a manual clock makes the loop deterministic.
    explicit TimerLoop(Clock& clock = SystemClock());
    ~TimerLoop();
    TimerLoop(const TimerLoop&) = delete;
    TimerLoop& operator=(const TimerLoop&) = delete;

    std::unique_ptr<TickSource> MakeTickSource();

    // Fires the ticks that fall due during the next `ms` milliseconds (the end included).
    void RunFor(uint32_t ms);
    // Runs until `pred` holds or `maxMs` have passed; tells whether `pred` held. `pred` is
    // checked at the start, after each round of ticks and at least every 10 ms.
    bool RunUntil(std::function<bool()> pred, uint32_t maxMs);

    struct Core;

private:
    std::shared_ptr<Core> core_;
};

}  // namespace qel
