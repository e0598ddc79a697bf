#pragma once
#include <QTimer>

namespace qel {

// A periodic QTimer that keeps ticking while a handler of one of its own ticks runs a
// nested event loop (a modal box), as a window timer does. Qt never delivers a timer
// again while it is being delivered, so each tick first re-arms the timer, under a new
// identity, before any handler connected to timeout() runs.
class RearmingTimer : public QTimer {
public:
    explicit RearmingTimer(QObject* parent = nullptr);
};

}  // namespace qel
