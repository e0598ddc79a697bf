#pragma once
#include <string>
#include <vector>

namespace qel {

// A serial device as the system's port lister reports it (Qt's serial port module in the
// program): its device node and what the adapter says of itself.
struct SerialDeviceDetails {
    std::string location;      // "/dev/ttyUSB0"
    std::string manufacturer;  // vendor
    std::string description;   // model
    std::string serialNumber;
};

// One entry a port can be bound to.
struct SerialDeviceChoice {
    std::string path;          // what goes into [Ports]: a by-id link or the device node
    std::string device;        // the device node it stands for
    std::string manufacturer, description, serialNumber;
    bool stable = false;       // a /dev/serial/by-id link: it survives re-plugging and reboots
};

// The serial devices present, best names first: the stable link under
// <deviceFolder>/serial/by-id of each adapter, then ttyUSB*, ttyACM*, ttyS* and any other
// device the lister reports, each group in natural order (ttyUSB2 before ttyUSB10).
// A link is shown with the details of the device it leads to; a link that leads nowhere
// is left out.
std::vector<SerialDeviceChoice> ListSerialDevices(const std::string& deviceFolder,
                                                  const std::vector<SerialDeviceDetails>& present);

}  // namespace qel
