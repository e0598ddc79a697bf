// How many notices a connection gives: every change when they are rare, a loss and its
// return at once, and at most one summary a minute for a connection that flaps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePort.h"
#include "NoticeLimiter.h"

namespace qel::test {
namespace {

using Change = NoticeLimiter::Change;

struct Step {
    uint32_t atMs;      // since the start, on a clock that starts near 2^32
    char change;        // 'L' loss, 'R' return, 'O' other, 'T' the once-a-second tick
    int expect;         // for a change: 1 told now, 0 held; for a tick: the summary's count
};

struct LimiterCase {
    const char* what;
    std::vector<Step> steps;
};

TEST(NoticeLimiter, TellsHoldsAndSumsUpAsTheTableSays) {
    const std::vector<LimiterCase> cases = {
        {"a loss and its return are both told at once",
         {{0, 'L', 1}, {3000, 'R', 1}, {4000, 'T', 0}}},
        {"a second loss within the minute is held, then summed up with what follows",
         {{0, 'L', 1}, {1000, 'R', 1}, {2000, 'L', 0}, {3000, 'R', 0}, {60999, 'T', 0}, {61000, 'T', 2},
          {62000, 'T', 0}}},
        {"changes a minute apart are each told",
         {{0, 'O', 1}, {60000, 'O', 1}, {60000, 'T', 0}, {120000, 'L', 1}, {180000, 'O', 1}}},
        {"a return long after its loss is told at once",
         {{0, 'L', 1}, {90000, 'R', 1}}},
        {"a loss soon after another notice is held for the summary",
         {{0, 'O', 1}, {500, 'L', 0}, {60000, 'T', 1}}},
        {"a return after a summary waits for the next minute",
         {{0, 'L', 1}, {100, 'R', 1}, {200, 'L', 0}, {60100, 'T', 1}, {60200, 'R', 0}, {120099, 'T', 0},
          {120100, 'T', 1}}},
    };
    for (const LimiterCase& c : cases) {
        SCOPED_TRACE(c.what);
        const uint32_t start = 0xFFFFFFFFu - 30000;  // the counter wraps inside the case
        ManualClock clock(start);
        NoticeLimiter limiter(clock);
        for (const Step& step : c.steps) {
            SCOPED_TRACE(std::to_string(step.atMs) + " " + step.change);
            clock.now = start + step.atMs;
            if (step.change == 'T') {
                EXPECT_EQ(limiter.DueSummary(), step.expect);
                continue;
            }
            const Change change = step.change == 'L' ? Change::Loss : step.change == 'R' ? Change::Return : Change::Other;
            EXPECT_EQ(limiter.Offer(change), step.expect == 1);
        }
    }
}

TEST(NoticeLimiter, TwentyCyclesInAMinuteGiveTwoNoticesThenOneSummary) {
    ManualClock clock(1000);
    NoticeLimiter limiter(clock);
    int told = 0, summaries = 0;
    for (int cycle = 0; cycle < 20; ++cycle) {
        told += limiter.Offer(Change::Loss) ? 1 : 0;
        clock.now += 1000;
        summaries += limiter.DueSummary() > 0 ? 1 : 0;
        told += limiter.Offer(Change::Return) ? 1 : 0;
        clock.now += 1000;
        summaries += limiter.DueSummary() > 0 ? 1 : 0;
    }
    EXPECT_EQ(told, 2);
    EXPECT_EQ(summaries, 0);
    EXPECT_EQ(limiter.Held(), 38);
    clock.now += 60000;
    EXPECT_EQ(limiter.DueSummary(), 38);
    EXPECT_EQ(limiter.DueSummary(), 0);
}

}  // namespace
}  // namespace qel::test
