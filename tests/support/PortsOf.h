#pragma once
// COM names bound to devices by a settings file's [Ports], as the program binds its drivers'.
#include <string>
#include <utility>

#include "PortPaths.h"
#include "SerialPortDriver.h"

namespace qel::test {

inline DevicePathLookup PortsOf(std::string settingsFile) {
    return [file = std::move(settingsFile)](TComPortNumber port) {
        return PortDevicePath(file, static_cast<unsigned>(port) + 1);
    };
}

}  // namespace qel::test
