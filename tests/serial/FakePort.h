#pragma once
#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Clock.h"
#include "PortBackend.h"

namespace qel::test {

// A millisecond counter that moves only when told to or when a loop sleeps on it.
class ManualClock : public Clock {
public:
    explicit ManualClock(uint32_t start) : now(start) {}
    uint32_t NowMs() override { return now; }
    void SleepMs(uint32_t ms) override {
        ++sleeps;
        now += ms;
    }
    uint32_t now;
    int sleeps = 0;
};

class ManualTicks : public TickSource {
public:
    void Start(uint32_t periodMs, std::function<void()> onTick) override {
        period = periodMs;
        tick = std::move(onTick);
        running = true;
        ++starts;
    }
    void Stop() override {
        running = false;
        ++stops;
    }
    bool Running() const override { return running; }

    uint32_t period = 0;
    std::function<void()> tick;
    bool running = false;
    int starts = 0;
    int stops = 0;
};

// A port whose input arrives on a schedule of the manual clock and whose output side
// accepts what `accept` allows. The waits advance the clock instead of sleeping.
class FakePort : public PortBackend {
public:
    explicit FakePort(ManualClock& clock) : clock_(clock) {}

    bool Open(const std::string& devicePath) override {
        ++opens;
        openedPath = devicePath;
        open = openSucceeds;
        gone = false;
        return open;
    }
    PortOpenFailure LastOpenFailure() const override { return open ? PortOpenFailure{} : openFailure; }
    bool LineGone() override {
        ++goneChecks;
        return open && gone;
    }
    void Close() override {
        ++closes;
        open = false;
    }
    bool IsOpen() const override { return open; }
    void Configure(const LineSettings& s) override { configured.push_back(s); }
    void Purge(bool input, bool output) override {
        purges.emplace_back(input, output);
        if (input) queued.clear();
    }
    bool QueueCounts(uint32_t& in, uint32_t& out) override {
        ++queries;
        Deliver();
        in = static_cast<uint32_t>(queued.size());
        out = outQueue;
        return countsWork;
    }
    bool ModemStatus(unsigned& lines) override {
        lines = modemLines;
        return modemWorks;
    }
    std::size_t Read(uint8_t* buffer, std::size_t count) override {
        readSizes.push_back(count);
        Deliver();
        const std::size_t n = std::min(count, queued.size());
        std::copy_n(queued.begin(), n, buffer);
        queued.erase(queued.begin(), queued.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }
    std::size_t Write(const uint8_t* data, std::size_t count) override {
        writeSizes.push_back(count);
        const std::size_t n = std::min(count, accept ? accept(clock_.now) : count);
        written.insert(written.end(), data, data + n);
        return n;
    }
    void WaitReadable(uint32_t ms) override {
        CountWait();
        if (duringWait) duringWait();
        Deliver();
        uint32_t step = ms;
        for (const auto& a : arrivals) step = std::min(step, a.first - clock_.now);
        clock_.now += step;
    }
    void WaitWritable(uint32_t ms) override {
        CountWait();
        clock_.now += ms;
    }

    // Bytes that arrive `delay` ms from now.
    void ArriveAfter(uint32_t delay, const std::vector<uint8_t>& bytes) {
        arrivals.emplace_back(clock_.now + delay, bytes);
    }
    void ArriveNow(const std::vector<uint8_t>& bytes) { queued.insert(queued.end(), bytes.begin(), bytes.end()); }

    bool openSucceeds = true;
    PortOpenFailure openFailure{PortOpenError::Missing, 2, {}};
    bool open = false;
    bool gone = false;  // the device behind the open port has gone
    int goneChecks = 0;
    int opens = 0, closes = 0, queries = 0, waits = 0;
    std::string openedPath;
    std::vector<LineSettings> configured;
    std::vector<std::pair<bool, bool>> purges;
    std::deque<uint8_t> queued;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> arrivals;  // (tick, bytes), in time order
    bool countsWork = true;
    uint32_t outQueue = 0;
    unsigned modemLines = 0;
    bool modemWorks = true;
    std::vector<std::size_t> readSizes, writeSizes;
    std::vector<uint8_t> written;
    std::function<std::size_t(uint32_t now)> accept;  // bytes one write may take; none: all
    std::function<void()> duringWait;

private:
    // A loop that never gives up is a fault to report, not a test to hang.
    void CountWait() {
        if (++waits > 1000000) throw std::runtime_error("wait loop does not end");
    }
    void Deliver() {
        // Due when the tick has been reached, in wrapping arithmetic.
        while (!arrivals.empty() && static_cast<int32_t>(clock_.now - arrivals.front().first) >= 0) {
            ArriveNow(arrivals.front().second);
            arrivals.erase(arrivals.begin());
        }
    }
    ManualClock& clock_;
};

inline std::vector<uint8_t> Bytes(std::size_t n, uint8_t first = 0) {
    std::vector<uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
    return v;
}

}  // namespace qel::test
