#pragma once
// The settings window with QEL-1M connections: a fixed local time and the record counter
// starting at 1, both restored after each test.
#include "LocalTime.h"
#include "Qel1mRecord.h"
#include "SettingsWindowRig.h"

namespace qel::test {

class Qel1mSettingsRig : public SettingsWindowRig {
protected:
    void SetUp() override {
        SettingsWindowRig::SetUp();
        NextRecordNumber = 1;
        SetLocalTimeSource([] { return LocalMoment{2026, 3, 3, 9, 5, 7}; });
    }
    void TearDown() override {
        SettingsWindowRig::TearDown();
        RunEventsFor(0);
        SetLocalTimeSource({});
        NextRecordNumber = 1;
    }
};

}  // namespace qel::test
