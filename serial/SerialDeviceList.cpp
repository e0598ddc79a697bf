#include "SerialDeviceList.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <tuple>

namespace qel {

namespace {

namespace fs = std::filesystem;

// The device node a path leads to, or "" when it leads nowhere.
std::string Resolved(const std::string& path) {
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    return ec ? std::string() : target.string();
}

bool AllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// ttyUSB<n> first, then ttyACM<n>, ttyS<n>, then anything else.
int Group(const std::string& name) {
    const std::string prefixes[] = {"ttyUSB", "ttyACM", "ttyS"};
    for (int group = 0; group < 3; ++group) {
        const std::string& prefix = prefixes[group];
        if (name.rfind(prefix, 0) == 0 && AllDigits(name.substr(prefix.size()))) return group;
    }
    return 3;
}

// Where a device node stands in the list: its group, then its name with the trailing
// number compared as a number.
std::tuple<int, std::string, std::size_t, std::string, std::string> SortKey(const std::string& location) {
    const std::string name = fs::path(location).filename().string();
    std::size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
    std::string number = name.substr(digits);
    number.erase(0, std::min(number.find_first_not_of('0'), number.size()));
    return {Group(name), name.substr(0, digits), number.size(), number, location};
}

}  // namespace

std::vector<SerialDeviceChoice> ListSerialDevices(const std::string& deviceFolder,
                                                  const std::vector<SerialDeviceDetails>& present) {
    std::vector<SerialDeviceDetails> devices = present;
    std::sort(devices.begin(), devices.end(), [](const SerialDeviceDetails& a, const SerialDeviceDetails& b) {
        return SortKey(a.location) < SortKey(b.location);
    });

    std::vector<SerialDeviceChoice> choices;
    std::vector<std::string> links;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(deviceFolder) / "serial" / "by-id", ec))
        links.push_back(entry.path().string());
    std::sort(links.begin(), links.end());
    for (const std::string& link : links) {
        const std::string target = Resolved(link);
        if (target.empty()) continue;
        SerialDeviceChoice choice;
        choice.path = link;
        choice.device = target;
        choice.stable = true;
        for (const SerialDeviceDetails& d : devices) {
            if (Resolved(d.location) != target) continue;
            choice.device = d.location;
            choice.manufacturer = d.manufacturer;
            choice.description = d.description;
            choice.serialNumber = d.serialNumber;
            break;
        }
        choices.push_back(choice);
    }
    for (const SerialDeviceDetails& d : devices)
        choices.push_back({d.location, d.location, d.manufacturer, d.description, d.serialNumber, false});
    return choices;
}

}  // namespace qel
