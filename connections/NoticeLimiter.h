#pragma once
#include <cstdint>

#include "Clock.h"

namespace qel {

// Keeps one connection's notifications few. A change is told at once when nothing was
// told for a minute, and so is the return that answers a loss just told (a device pulled
// and plugged in again gives its two notices). Any other change within the minute is held,
// and the held changes are summed up in one notice once a minute has passed since the
// last one told: a connection that flaps gives at most one notice a minute.
class NoticeLimiter {
public:
    static constexpr uint32_t kQuietMs = 60000;

    enum class Change { Loss, Return, Other };

    explicit NoticeLimiter(Clock& clock) : clock_(clock) {}

    // A change worth a notice; true when it is to be told now, false when it is held.
    bool Offer(Change change);
    // How many held changes are to be summed up now (0: no summary due). Asked about once
    // a second; the summary counts as told.
    int DueSummary();
    // Changes held for the next summary.
    int Held() const { return held_; }

private:
    bool QuietPassed(uint32_t now) const { return !told_ || static_cast<uint32_t>(now - lastToldMs_) >= kQuietMs; }
    void Told(uint32_t now, bool lossOpen);

    Clock& clock_;
    bool told_ = false;
    uint32_t lastToldMs_ = 0;
    // The last notice told was a loss, told at once, whose return may follow at once.
    bool lossOpen_ = false;
    int held_ = 0;
};

}  // namespace qel
