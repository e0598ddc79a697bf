#include "TimerLoop.h"

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <vector>

namespace qel {
namespace {

// A clock that moves only when the loop sleeps (or a handler "blocks").
class ManualClock final : public Clock {
public:
    explicit ManualClock(uint32_t start = 0) : now(start) {}
    uint32_t NowMs() override { return now; }
    void SleepMs(uint32_t ms) override {
        now += ms;
        ++sleeps;
    }
    uint32_t now;
    int sleeps = 0;
};

TEST(TimerLoop, EachSourceKeepsItsPeriodAndPhase) {
    ManualClock clock(1000);
    TimerLoop loop(clock);
    auto fast = loop.MakeTickSource();
    auto slow = loop.MakeTickSource();
    std::vector<uint32_t> fastTicks, slowTicks;
    fast->Start(50, [&] { fastTicks.push_back(clock.now - 1000); });
    loop.RunFor(20);
    slow->Start(300, [&] { slowTicks.push_back(clock.now - 1000); });
    loop.RunFor(600);  // until 620, the end included
    EXPECT_EQ(fastTicks, (std::vector<uint32_t>{50, 100, 150, 200, 250, 300, 350, 400, 450, 500, 550, 600}));
    EXPECT_EQ(slowTicks, (std::vector<uint32_t>{320, 620}));
    EXPECT_TRUE(fast->Running());
    EXPECT_LT(clock.sleeps, 40);  // sleeps until the next tick, a step at a time would be 620
}

TEST(TimerLoop, ALateLoopFiresOnceAndKeepsTheRhythm) {
    ManualClock clock;
    TimerLoop loop(clock);
    auto source = loop.MakeTickSource();
    std::vector<uint32_t> ticks;
    source->Start(50, [&] {
        ticks.push_back(clock.now);
        if (ticks.size() == 1) clock.now += 270;  // the handler blocks past five ticks
    });
    loop.RunFor(450);
    EXPECT_EQ(ticks, (std::vector<uint32_t>{50, 320, 350, 400, 450}));
}

TEST(TimerLoop, HandlersMayStopRestartOrDestroySources) {
    ManualClock clock;
    TimerLoop loop(clock);
    auto a = loop.MakeTickSource();
    auto b = loop.MakeTickSource();
    auto c = loop.MakeTickSource();
    int aTicks = 0, bTicks = 0, cTicks = 0;
    a->Start(10, [&] {
        if (++aTicks == 3) a->Stop();
    });
    b->Start(10, [&] {
        if (++bTicks == 1) b->Start(25, [&] { ++bTicks; });  // new period and phase from now
    });
    c->Start(10, [&] {
        ++cTicks;
        c.reset();  // a handler destroying its own source
    });
    loop.RunFor(100);
    EXPECT_EQ(aTicks, 3);
    EXPECT_FALSE(a->Running());
    EXPECT_EQ(bTicks, 1 + 3);  // at 10, then 35, 60, 85
    EXPECT_EQ(cTicks, 1);
    EXPECT_EQ(c, nullptr);
}

TEST(TimerLoop, RunUntilIsBounded) {
    ManualClock clock(0xFFFFFF00u);  // the counter wraps during the run
    TimerLoop loop(clock);
    auto source = loop.MakeTickSource();
    int ticks = 0;
    source->Start(100, [&] { ++ticks; });
    EXPECT_TRUE(loop.RunUntil([&] { return ticks == 4; }, 1000));
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(clock.now, 0xFFFFFF00u + 400);
    EXPECT_FALSE(loop.RunUntil([] { return false; }, 250));
    EXPECT_EQ(clock.now, 0xFFFFFF00u + 650);
    EXPECT_TRUE(loop.RunUntil([] { return true; }, 1000));
    EXPECT_EQ(clock.now, 0xFFFFFF00u + 650);
    // A condition outside the loop is looked at although no tick is due.
    source->Stop();
    const uint32_t start = clock.now;
    EXPECT_TRUE(loop.RunUntil([&] { return clock.now - start >= 35; }, 1000));
    EXPECT_LE(clock.now - start, 40u);
}

TEST(TimerLoop, ZeroPeriodNeitherHangsNorSpins) {
    ManualClock clock;
    TimerLoop loop(clock);
    auto source = loop.MakeTickSource();
    int ticks = 0;
    source->Start(0, [&] { ++ticks; });
    loop.RunFor(10);
    EXPECT_EQ(ticks, 10);
}

TEST(TimerLoop, SourcesOutlivingTheLoopAreHarmless) {
    ManualClock clock;
    auto loop = std::make_unique<TimerLoop>(clock);
    auto running = loop->MakeTickSource();
    auto idle = loop->MakeTickSource();
    running->Start(10, [] {});
    loop.reset();
    EXPECT_FALSE(running->Running());
    idle->Start(10, [] {});
    EXPECT_FALSE(idle->Running());
    idle->Stop();
    running.reset();
}

TEST(TimerLoop, RealClockSleepsBetweenTicks) {
    TimerLoop loop;
    auto source = loop.MakeTickSource();
    int ticks = 0;
    source->Start(20, [&] { ++ticks; });
    timespec cpu0{}, cpu1{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu0);
    const uint32_t start = SystemClock().NowMs();
    loop.RunFor(200);
    const uint32_t elapsed = SystemClock().NowMs() - start;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu1);
    const long cpuMs = (cpu1.tv_sec - cpu0.tv_sec) * 1000L + (cpu1.tv_nsec - cpu0.tv_nsec) / 1000000L;
    EXPECT_GE(elapsed, 200u);
    EXPECT_LT(elapsed, 600u);
    EXPECT_GE(ticks, 5);
    EXPECT_LE(ticks, 10);
    EXPECT_LT(cpuMs, 100);  // a spinning loop would burn the whole 200 ms
}

}  // namespace
}  // namespace qel
