#pragma once
// Russian regional settings and a fixed local clock, as the QEL-1M record and the report
// are tested under.
#include "LocalTime.h"
#include "LocalTimeSource_p.h"
#include "Regional.h"
#include "RegionalGuard.h"

namespace qel::test {

// 09:05:07 on 3 March 2026.
inline LocalMoment FixedMoment() { return LocalMoment{2026, 3, 3, 9, 5, 7}; }

// Russian regional settings and a fixed local clock for the life of the object.
class RussianFixedTime {
public:
    explicit RussianFixedTime(LocalMoment moment = FixedMoment()) {
        SetLocalTimeSource([moment] { return moment; });
    }
    ~RussianFixedTime() { SetLocalTimeSource({}); }
    RussianFixedTime(const RussianFixedTime&) = delete;
    RussianFixedTime& operator=(const RussianFixedTime&) = delete;

private:
    RegionalGuard russian_{RussianRegionalSettings()};
};

}  // namespace qel::test
