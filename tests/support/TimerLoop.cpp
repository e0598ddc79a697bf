#include "TimerLoop.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace qel {

namespace {

struct Entry {
    bool running = false;
    uint32_t period = 1;
    uint32_t nextDue = 0;
    uint64_t order = 0;  // creation order: ties between sources due together
    std::shared_ptr<std::function<void()>> onTick;
};

// The condition of RunUntil may also depend on the world outside the loop (a child
// process, a file), so it is looked at this often even when no tick is due.
constexpr uint32_t kPredicatePollMs = 10;

// Wrap-aware "a is at or after b" on the 32-bit millisecond counter.
bool AtOrAfter(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) >= 0; }

}  // namespace

struct TimerLoop::Core {
    explicit Core(Clock& c) : clock(c) {}
    Clock& clock;
    std::vector<std::shared_ptr<Entry>> entries;
    uint64_t created = 0;
};

namespace {

class LoopTickSource final : public TickSource {
public:
    LoopTickSource(const std::shared_ptr<TimerLoop::Core>& core, std::shared_ptr<Entry> entry)
        : core_(core), entry_(std::move(entry)) {}

    ~LoopTickSource() override {
        entry_->running = false;
        if (const auto core = core_.lock()) std::erase(core->entries, entry_);
    }

    void Start(uint32_t periodMs, std::function<void()> onTick) override {
        const auto core = core_.lock();
        if (!core) return;
        entry_->period = std::max<uint32_t>(periodMs, 1);  // a zero period must not spin the loop
        entry_->nextDue = core->clock.NowMs() + entry_->period;
        entry_->onTick = std::make_shared<std::function<void()>>(std::move(onTick));
        entry_->running = true;
    }

    void Stop() override { entry_->running = false; }

    bool Running() const override { return entry_->running && !core_.expired(); }

private:
    std::weak_ptr<TimerLoop::Core> core_;
    std::shared_ptr<Entry> entry_;
};

// Fires every source due at `now` once, earliest first; true when any fired.
bool FireDue(TimerLoop::Core& core, uint32_t now) {
    struct Due {
        std::shared_ptr<Entry> entry;
        uint32_t due;
    };
    std::vector<Due> due;
    for (const auto& e : core.entries)
        if (e->running && AtOrAfter(now, e->nextDue)) due.push_back({e, e->nextDue});
    std::sort(due.begin(), due.end(), [now](const Due& a, const Due& b) {
        const uint32_t ageA = now - a.due, ageB = now - b.due;
        return ageA != ageB ? ageA > ageB : a.entry->order < b.entry->order;
    });
    for (const Due& d : due) {
        Entry& e = *d.entry;
        // A tick handler may have stopped, restarted or destroyed a source meanwhile.
        if (!e.running || e.nextDue != d.due) continue;
        // Next tick on the source's own rhythm, skipping the ticks already missed.
        const uint32_t late = now - e.nextDue;
        e.nextDue += e.period * (late / e.period + 1);
        const auto onTick = e.onTick;  // the handler may destroy its own source
        if (onTick && *onTick) (*onTick)();
    }
    return !due.empty();
}

// Milliseconds from `now` to the next tick of any running source, at most `limit`.
uint32_t TimeToNextTick(const TimerLoop::Core& core, uint32_t now, uint32_t limit) {
    uint32_t wait = limit;
    for (const auto& e : core.entries)
        if (e->running) wait = std::min(wait, AtOrAfter(now, e->nextDue) ? 0u : e->nextDue - now);
    return wait;
}

}  // namespace

TimerLoop::TimerLoop(Clock& clock) : core_(std::make_shared<Core>(clock)) {}

TimerLoop::~TimerLoop() {
    for (const auto& e : core_->entries) e->running = false;
}

std::unique_ptr<TickSource> TimerLoop::MakeTickSource() {
    auto entry = std::make_shared<Entry>();
    entry->order = core_->created++;
    core_->entries.push_back(entry);
    return std::make_unique<LoopTickSource>(core_, std::move(entry));
}

void TimerLoop::RunFor(uint32_t ms) { RunUntil(nullptr, ms); }

bool TimerLoop::RunUntil(std::function<bool()> pred, uint32_t maxMs) {
    // Keeps the loop's state alive should a tick handler destroy the loop itself.
    const std::shared_ptr<Core> core = core_;
    const uint32_t start = core->clock.NowMs();
    for (;;) {
        if (pred && pred()) return true;
        const uint32_t now = core->clock.NowMs();
        const uint32_t elapsed = now - start;
        if (elapsed > maxMs) return false;
        if (FireDue(*core, now)) continue;
        if (elapsed >= maxMs) return false;
        uint32_t wait = TimeToNextTick(*core, now, maxMs - elapsed);
        if (pred) wait = std::min(wait, kPredicatePollMs);
        core->clock.SleepMs(wait);
    }
}

}  // namespace qel
