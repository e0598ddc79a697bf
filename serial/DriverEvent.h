#pragma once
// What the driver's own files share; not for its users.
#include <cstddef>
#include <cstdint>

#include "SerialPortDriver.h"

namespace qel {

// No packet is being gathered.
inline constexpr uint32_t kNoPacketTick = 0xFFFFFFFFu;

// Calls an event through a copy of its handler, so the handler may reassign the event
// while it runs. A handler too large to copy (no memory) is skipped rather than thrown.
template <typename Event>
void RaiseDriverEvent(const Event& event, TSerialPortDriver* sender, const uint8_t* data, std::size_t size) {
    if (!event) return;
    Event handler;
    try {
        handler = event;
    } catch (...) {
        return;
    }
    handler(sender, data, static_cast<uint32_t>(size));
}

}  // namespace qel
