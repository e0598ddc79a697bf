#pragma once
#include <cstdint>

namespace qel {

// Number of the next QEL-1M record: both control windows count on it; it starts at 1
// with every program start and is never stored.
struct RecordNumberCounter {
    int32_t NextRecordNumber = 1;

    // Takes the next record number and moves the counter on; past the largest value it
    // wraps as a 32-bit counter would rather than overflow.
    int32_t Take();
};

}  // namespace qel
