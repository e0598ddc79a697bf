#include "NoticeLimiter.h"

namespace qel {

bool NoticeLimiter::Offer(Change change) {
    const uint32_t now = clock_.NowMs();
    if (held_ == 0 && (QuietPassed(now) || (lossOpen_ && change == Change::Return))) {
        Told(now, change == Change::Loss);
        return true;
    }
    ++held_;
    lossOpen_ = false;
    return false;
}

int NoticeLimiter::DueSummary() {
    const uint32_t now = clock_.NowMs();
    if (held_ == 0 || !QuietPassed(now)) return 0;
    const int held = held_;
    held_ = 0;
    Told(now, false);
    return held;
}

void NoticeLimiter::Told(uint32_t now, bool lossOpen) {
    told_ = true;
    lastToldMs_ = now;
    lossOpen_ = lossOpen;
}

}  // namespace qel
