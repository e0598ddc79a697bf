#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "LocalTime.h"

namespace qel {

// Number of the next QEL-1M record. Both control windows count on this one counter; it
// starts at 1 with every program start and is never stored.
extern int32_t NextRecordNumber;

// The dose field of a value shown as text: the integer part padded on the left to 5; when
// the text has a "." or a "," (the later of the two first occurrences counts), the regional
// decimal separator and at most 200 fraction characters padded on the right to 3.
std::string Qel1mDoseText(std::string_view shownValue);

// Builds the record of a QEL-1M reading taken at `now` on device number 1 or 2 with the
// value shown as text: overwrites the seven RecordFields, takes NextRecordNumber (and
// increases it) and returns the record line, laid out as a QEL-1 record.
std::string BuildQel1mRecord(int deviceNumber, const LocalMoment& now, std::string_view shownValue);

}  // namespace qel
