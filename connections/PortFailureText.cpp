#include "PortFailureText.h"

#include "PosixFile.h"

namespace qel {

namespace {

// Serial devices belong to this group on Debian, Ubuntu and Fedora alike.
const char* const kUsualSerialGroup = "dialout";

std::string Reason(const PortOpenFailure& failure) {
    switch (failure.reason) {
        case PortOpenError::Missing:
            return "нет такого устройства";
        case PortOpenError::NoPermission:
            if (!failure.group.empty())
                return "нет прав доступа; пользователь должен входить в группу " + failure.group;
            return std::string("нет прав доступа; пользователь должен входить в группу владельца устройства (обычно ") +
                   kUsualSerialGroup + ")";
        case PortOpenError::Busy:
            return "порт занят другой программой";
        case PortOpenError::NotTerminal:
            return "это не последовательный порт";
        case PortOpenError::None:
        case PortOpenError::Other:
            break;
    }
    if (failure.systemError != 0) return "ошибка системы: " + SystemErrorText(failure.systemError);
    return "причина неизвестна";
}

}  // namespace

std::string PortFailureText(int connection, const std::string& devicePath, const PortOpenFailure& failure) {
    const std::string path = devicePath.empty() ? std::string("?") : devicePath;
    return "соединение " + std::to_string(connection) + ": " + path + " - " + Reason(failure);
}

}  // namespace qel
