#pragma once

namespace qel {

class Qel1mHost;

// Selection index of the device-type lists that stands for a QEL-1M.
inline constexpr int kQel1mTypeIndex = 1;

// The device-type change of a connection: with QEL-1M selected, shows its control window
// again (restored if minimised) or creates it with the connection's device name; with any
// other selection, destroys the window it has.
void DeviceTypeChange(Qel1mHost& host, int connection, int typeIndex);

// Destroys the connection's control window, if it has one, and clears the reference.
void DestroyControlWindow(Qel1mHost& host, int connection);

// One Timer1 poll of a connection: when it is in use and of type QEL-1M, asks its device
// for the value and shows a good reply in the connection's control window, if there is one.
void PollConnection(Qel1mHost& host, int connection, bool inUse, int typeIndex);

}  // namespace qel
