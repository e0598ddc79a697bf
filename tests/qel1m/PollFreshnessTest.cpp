#include "PollFreshness.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace qel {
namespace {

// When a polled value stops being current: after two failed polls in a row that end at
// least 1.5 s after the last good reply, also across the wrap of the millisecond counter.
TEST(PollFreshness, AValueGoesStaleAfterTwoFailedPollsOverOneAndAHalfSeconds) {
    struct Case {
        const char* name;
        uint32_t good;
        std::vector<uint32_t> failures;
        int staleAt;  // index of the failure that makes it stale, -1 for none
    };
    const Case cases[] = {
        {"two polls, too soon", 0, {500, 1499}, -1},
        {"the second poll at 1.5 s", 0, {500, 1500}, 1},
        {"one long poll is not enough", 0, {3000, 3500}, 1},
        {"stale only once", 0, {1000, 1600, 2100}, 1},
        {"across the wrap", 0xFFFFFC00u, {0x100, 0x200}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PollFreshness f;
        EXPECT_FALSE(f.Current());  // nothing polled yet
        f.Good(c.good);
        EXPECT_TRUE(f.Current());
        for (std::size_t i = 0; i < c.failures.size(); ++i) {
            EXPECT_EQ(f.Failed(c.failures[i]), static_cast<int>(i) == c.staleAt) << i;
            EXPECT_EQ(f.FirstFailure(), i == 0) << i;
        }
        EXPECT_EQ(f.Current(), c.staleAt < 0);
        f.Good(c.failures.back() + 500);
        EXPECT_TRUE(f.Current());
    }
}

}  // namespace
}  // namespace qel
