#pragma once
#include <functional>

namespace qel {

// A moment of local wall-clock time, broken down.
struct LocalMoment {
    int year = 0;    // full year, e.g. 2026
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59
};

// The current local time.
LocalMoment NowLocal();

}  // namespace qel
