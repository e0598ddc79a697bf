#include "QtTickSource.h"

#include <limits>
#include <memory>
#include <utility>

#include "Dialogs.h"
#include "SerialPortDriver.h"

namespace qel {

QtTickSource::QtTickSource() {
    // A few ms either way change nothing for a poll of the input queue, and Qt may then
    // serve the ticks of both drivers and Timer1 in one wake-up.
    timer_.setTimerType(Qt::CoarseTimer);
    // The timer re-arms itself first, so the next tick may come while this one's handler
    // runs a nested event loop (a modal box).
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        // A copy: the handler may restart or stop this source while it runs. What it lets
        // out is caught here (RunHandler); the box has no window of its own to sit over.
        const std::function<void()> onTick = onTick_;
        if (onTick) RunHandler(nullptr, onTick);
    });
}

void QtTickSource::Start(uint32_t periodMs, std::function<void()> onTick) {
    onTick_ = std::move(onTick);
    constexpr uint32_t kLongest = static_cast<uint32_t>(std::numeric_limits<int>::max());
    timer_.start(static_cast<int>(periodMs < kLongest ? periodMs : kLongest));
}

void QtTickSource::Stop() {
    timer_.stop();
    onTick_ = nullptr;
}

bool QtTickSource::Running() const { return timer_.isActive(); }

void InstallQtTickSource() {
    SetDefaultTickSourceFactory([]() -> std::unique_ptr<TickSource> { return std::make_unique<QtTickSource>(); });
}

}  // namespace qel
