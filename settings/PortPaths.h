#pragma once
#include <array>
#include <string>

namespace qel {

// The section of the settings file that binds COM names to devices.
inline constexpr const char* kPortsSection = "Ports";
// COM1 .. COM16 can be bound.
inline constexpr unsigned kBindablePorts = 16;

// Device path of port COM<number> (1 to 16): key COM<number> of section [Ports] in the
// settings file, read afresh at each call, else /dev/ttyS<number - 1>.
std::string PortDevicePath(const std::string& settingsFile, unsigned number);

// The device paths of COM1 .. COM16 (index 0 .. 15), as PortDevicePath gives them, from
// one reading of the file.
std::array<std::string, kBindablePorts> PortDevicePaths(const std::string& settingsFile);

// The key of port COM<number> in [Ports].
std::string PortKey(unsigned number);

}  // namespace qel
