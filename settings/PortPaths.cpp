#include "PortPaths.h"

#include "ProfileFile.h"

namespace qel {

std::string PortDevicePath(const std::string& settingsFile, unsigned number) {
    std::string path;
    try {
        path = GetProfileString(settingsFile, kPortsSection, "COM" + std::to_string(number), "");
    } catch (...) {
        path.clear();
    }
    if (!path.empty()) return path;
    return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace qel
