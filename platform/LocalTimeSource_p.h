#pragma once
// Not part of the program's interface: tests put a fixed clock under NowLocal. The local
// time is read deep inside the records, their file names and the report, so one seam
// here serves them all.
#include <functional>

#include "LocalTime.h"

namespace qel {

// An empty function restores the system clock.
void SetLocalTimeSource(std::function<LocalMoment()> source);

}  // namespace qel
