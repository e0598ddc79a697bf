#pragma once
#include <string>

#include "PortBackend.h"

namespace qel {

// The list line that follows "соединение N не состоялось": the device path and why it
// would not open, e.g. "соединение 1: /dev/ttyUSB0 - нет такого устройства".
std::string PortFailureText(int connection, const std::string& devicePath, const PortOpenFailure& failure);

}  // namespace qel
