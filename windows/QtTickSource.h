#pragma once

#include <cstdint>
#include <functional>

#include "Clock.h"
#include "RearmingTimer.h"

namespace qel {

// Periodic ticks from a QTimer on the thread that runs the Qt event loop: the polling
// timer of a serial driver inside the program.
class QtTickSource final : public TickSource {
public:
    QtTickSource();
    void Start(uint32_t periodMs, std::function<void()> onTick) override;
    void Stop() override;
    bool Running() const override;

private:
    RearmingTimer timer_;
    std::function<void()> onTick_;
};

// Makes every serial driver created without a tick source of its own use a QtTickSource.
void InstallQtTickSource();

}  // namespace qel
