#include "Qel1mConnections.h"

#include "Qel1mCommands.h"
#include "UQEL1M_Control.h"

namespace qel {

void DeviceTypeChange(Qel1mHost& host, int connection, int typeIndex) {
    if (typeIndex != kQel1mTypeIndex) {
        DestroyControlWindow(host, connection);
        return;
    }
    if (TQEL1M_Control* window = host.ControlWindow(connection)) {
        window->setWindowState(window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        window->show();
        window->raise();
        return;
    }
    auto* window = new TQEL1M_Control(host);
    host.SetControlWindow(connection, window);
    window->SetDeviceNameText(host.DeviceName(connection));
    window->show();
}

void DestroyControlWindow(Qel1mHost& host, int connection) {
    TQEL1M_Control* window = host.ControlWindow(connection);
    if (window == nullptr) return;
    host.SetControlWindow(connection, nullptr);
    window->Release();
}

void PollConnection(Qel1mHost& host, int connection, bool inUse, int typeIndex) {
    if (!inUse || typeIndex != kQel1mTypeIndex) return;
    const auto value = PollValue(host.ComDriver(connection));
    if (!value) return;
    if (TQEL1M_Control* window = host.ControlWindow(connection)) window->ShowPolledValue(value->Text, value->AddressNumber);
}

}  // namespace qel
