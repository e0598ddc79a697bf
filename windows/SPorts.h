#pragma once
#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "SerialDeviceList.h"

class QComboBox;

namespace Ui {
class TPortsDialog;
}

namespace qel {

// Where the port dialog looks for serial devices: the device folder, for the stable
// by-id links, and the lister of the devices present.
struct SerialDeviceSource {
    std::string deviceFolder;
    std::function<std::vector<SerialDeviceDetails>()> present;
};
// /dev and Qt's serial port module.
SerialDeviceSource SystemSerialDeviceSource();

// The port dialog (menu "&Порты…"): lists the serial devices present and binds each of
// COM1 to COM8 to one of them or to a typed path, in the section [Ports] of the settings
// file. An empty box means the default device, /dev/ttyS{n-1}. OK writes the bindings
// that changed; a refused write is told in an error box and the dialog stays open.
// Asked before one device is bound to two ports: %1, %2 the ports, %3 the device.
inline constexpr const char* kSharedDeviceWarning =
    "Порты %1 и %2 назначены одному устройству %3. Открыть его сможет только один из них. Сохранить так?";

class TPortsDialog : public QDialog {
    Q_OBJECT

public:
    TPortsDialog(QWidget* owner, std::string settingsFile,
                 const SerialDeviceSource& source = SystemSerialDeviceSource());
    ~TPortsDialog() override;

    static constexpr int kPortCount = 8;
    QComboBox& PortBox(int port);  // 1 .. 8
    const std::vector<SerialDeviceChoice>& Devices() const { return devices_; }

    // Writes the changed bindings; false when the file refused the write (`reason` says why).
    bool SaveBindings(std::string* reason = nullptr);
    // The first two ports (numbers) whose boxes name one device, by the same path or by
    // two paths of one node; none when each device has one port.
    std::optional<std::pair<int, int>> SharedDevice();

    void accept() override;

private:
    struct Binding {
        int port;
        std::string wanted;  // as the box holds it
        std::string stored;  // as the file holds it ("" when it holds none)
    };
    std::vector<Binding> ChangedBindings();
    void FillDeviceList();
    void FillPortBoxes();

    std::unique_ptr<Ui::TPortsDialog> ui_;
    std::string settingsFile_;
    std::vector<SerialDeviceChoice> devices_;
};

}  // namespace qel
