#include "RecordNumberCounter.h"

namespace qel {

int32_t RecordNumberCounter::Take() {
    const int32_t taken = NextRecordNumber;
    NextRecordNumber = static_cast<int32_t>(static_cast<uint32_t>(taken) + 1u);
    return taken;
}

}  // namespace qel
