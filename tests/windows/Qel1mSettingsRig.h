#pragma once
// The settings window with QEL-1M connections and a fixed local time, restored after each
// test.
#include "LocalTime.h"
#include "LocalTimeSource_p.h"
#include "SettingsWindowRig.h"

namespace qel::test {

class Qel1mSettingsRig : public SettingsWindowRig {
protected:
    void SetUp() override {
        SettingsWindowRig::SetUp();
        SetLocalTimeSource([] { return LocalMoment{2026, 3, 3, 9, 5, 7}; });
    }
    void TearDown() override {
        SettingsWindowRig::TearDown();
        RunEventsFor(0);
        SetLocalTimeSource({});
    }
};

}  // namespace qel::test
