#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "LocalTime.h"
#include "RecordLine.h"

namespace qel {

// The dose field of a value shown as text: the integer part padded on the left to 5; when
// the text has a "." or a "," (the later of the two first occurrences counts), the regional
// decimal separator and at most 200 fraction characters padded on the right to 3.
std::string Qel1mDoseText(std::string_view shownValue);

// The record of a QEL-1M reading taken at `now` on device number 1 or 2 with the value
// shown as text, under the given record number; laid out as a QEL-1 record.
RecordFieldsData BuildQel1mRecord(int deviceNumber, int32_t recordNumber, const LocalMoment& now,
                                  std::string_view shownValue);

}  // namespace qel
