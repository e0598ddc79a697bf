#include "PortPaths.h"

#include <optional>
#include <vector>

#include "ProfileFile.h"

namespace qel {

namespace {

std::string DefaultDevicePath(unsigned number) { return "/dev/ttyS" + std::to_string(number - 1); }

}  // namespace

std::string PortKey(unsigned number) { return "COM" + std::to_string(number); }

std::string PortDevicePath(const std::string& settingsFile, unsigned number) {
    std::string path;
    try {
        path = GetProfileString(settingsFile, kPortsSection, PortKey(number), "");
    } catch (...) {
        path.clear();
    }
    if (!path.empty()) return path;
    return DefaultDevicePath(number);
}

std::array<std::string, kBindablePorts> PortDevicePaths(const std::string& settingsFile) {
    std::vector<std::string> keys;
    for (unsigned n = 1; n <= kBindablePorts; ++n) keys.push_back(PortKey(n));
    std::vector<std::optional<std::string>> values;
    try {
        values = GetProfileStrings(settingsFile, kPortsSection, keys);
    } catch (...) {
        values.clear();
    }
    std::array<std::string, kBindablePorts> paths;
    for (unsigned n = 1; n <= kBindablePorts; ++n) {
        const std::optional<std::string>* value = n <= values.size() ? &values[n - 1] : nullptr;
        paths[n - 1] = value != nullptr && *value && !(*value)->empty() ? **value : DefaultDevicePath(n);
    }
    return paths;
}

}  // namespace qel
