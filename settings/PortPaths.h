#pragma once
#include <string>

namespace qel {

// The section of the settings file that binds COM names to devices.
inline constexpr const char* kPortsSection = "Ports";

// Device path of port COM<number> (1 to 16): key COM<number> of section [Ports] in the
// settings file, read afresh at each call, else /dev/ttyS<number - 1>.
std::string PortDevicePath(const std::string& settingsFile, unsigned number);

}  // namespace qel
