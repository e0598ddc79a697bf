#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include "Clock.h"
#include "ExecutableFolder.h"
#include "LocalTime.h"
#include "LocalTimeSource_p.h"

namespace qel {
namespace {

TEST(SystemClock, CountsMonotonicMillisecondsIn32Bits) {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const auto expected = static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + ts.tv_nsec / 1000000);
    const uint32_t start = SystemClock().NowMs();
    EXPECT_LE(static_cast<uint32_t>(start - expected), 50u);
    SystemClock().SleepMs(30);
    const uint32_t slept = SystemClock().NowMs() - start;
    EXPECT_GE(slept, 30u);
    EXPECT_LT(slept, 1000u);
}

TEST(SystemClock, TimeoutIsStrictlyGreaterAcrossTheWrap) {
    const uint32_t start = 0xFFFFFFF0u;
    EXPECT_FALSE(TimedOut(start + 200, start, 200));
    EXPECT_TRUE(TimedOut(start + 201, start, 200));
    EXPECT_FALSE(TimedOut(start, start, 0));
}

TEST(LocalTime, FixedSourceAndSystemTime) {
    SetLocalTimeSource([] { return LocalMoment{2005, 12, 31, 9, 45, 7}; });
    const LocalMoment fixed = NowLocal();
    EXPECT_EQ(fixed.year, 2005);
    EXPECT_EQ(fixed.second, 7);
    SetLocalTimeSource(nullptr);
    const time_t now = time(nullptr);
    tm parts{};
    localtime_r(&now, &parts);
    const LocalMoment m = NowLocal();
    EXPECT_EQ(m.year, parts.tm_year + 1900);
    EXPECT_EQ(m.month, parts.tm_mon + 1);
    EXPECT_GE(m.day, 1);
    EXPECT_LE(m.day, 31);
    EXPECT_LE(m.hour, 23);
}

TEST(ExecutableFolder, HoldsTheRunningProgram) {
    const std::string folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    struct stat self {}, found {};
    ASSERT_EQ(::stat("/proc/self/exe", &self), 0);
    ASSERT_EQ(::stat((folder + "platform_tests").c_str(), &found), 0);
    EXPECT_EQ(self.st_ino, found.st_ino);
    EXPECT_EQ(self.st_dev, found.st_dev);
}

}  // namespace
}  // namespace qel
