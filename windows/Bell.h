#pragma once
#include "DiagnosticLog.h"

namespace qel {

// The system's alert sound (MessageBeep). The kind reaches the bell, so a test can tell
// a receive event's sound from a report's.
class Bell {
public:
    virtual ~Bell() = default;
    virtual void Ring(BeepKind kind) = 0;
};

// The program's bell: the window system's bell unless a test has put its own in place.
Bell& AppBell();
void SetAppBell(Bell* bell);  // null restores the window system's bell

}  // namespace qel
