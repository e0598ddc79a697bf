#include "SPorts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QSerialPortInfo>
#include <QTreeWidgetItem>
#include <filesystem>
#include <system_error>

#include "Dialogs.h"
#include "PortPaths.h"
#include "ProfileFile.h"
#include "ui_SPorts.h"

namespace qel {

namespace {

constexpr int kDeviceColumnWidth = 280;
// Stands for a key that the file does not hold (no value read from a file contains it).
constexpr const char* kAbsent = "\n";

std::optional<SerialDeviceSource>& SourceOverride() {
    static std::optional<SerialDeviceSource> source;
    return source;
}

std::vector<SerialDeviceDetails> QtSerialDevices() {
    std::vector<SerialDeviceDetails> devices;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
        devices.push_back({port.systemLocation().toStdString(), port.manufacturer().toStdString(),
                           port.description().toStdString(), port.serialNumber().toStdString()});
    return devices;
}

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

std::string PortKey(int port) { return "COM" + std::to_string(port); }

// "FTDI FT232R USB UART, № A12345" for a tool tip.
QString DetailsText(const SerialDeviceChoice& device) {
    QStringList parts;
    for (const std::string& part : {device.manufacturer, device.description})
        if (!part.empty()) parts << Q(part);
    QString text = parts.join(QLatin1Char(' '));
    if (!device.serialNumber.empty())
        text += (text.isEmpty() ? QString() : QStringLiteral(", ")) + QString::fromUtf8("№ ") + Q(device.serialNumber);
    if (device.stable) text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + Q("→ " + device.device);
    return text;
}

}  // namespace

SerialDeviceSource CurrentSerialDeviceSource() {
    if (SourceOverride()) return *SourceOverride();
    return {"/dev", QtSerialDevices};
}

void SetSerialDeviceSourceOverride(std::optional<SerialDeviceSource> source) { SourceOverride() = std::move(source); }

TPortsDialog::TPortsDialog(QWidget* owner, std::string settingsFile)
    : TPortsDialog(owner, std::move(settingsFile), CurrentSerialDeviceSource()) {}

TPortsDialog::TPortsDialog(QWidget* owner, std::string settingsFile, const SerialDeviceSource& source)
    : QDialog(owner), ui_(std::make_unique<Ui::TPortsDialog>()), settingsFile_(std::move(settingsFile)) {
    ui_->setupUi(this);
    devices_ = ListSerialDevices(source.deviceFolder, source.present ? source.present() : std::vector<SerialDeviceDetails>{});
    FillDeviceList();
    FillPortBoxes();
    connect(ui_->Buttons, &QDialogButtonBox::accepted, this, &TPortsDialog::accept);
    connect(ui_->Buttons, &QDialogButtonBox::rejected, this, &TPortsDialog::reject);
}

TPortsDialog::~TPortsDialog() = default;

QComboBox& TPortsDialog::PortBox(int port) {
    return *findChild<QComboBox*>(QStringLiteral("PortBox%1").arg(port));
}

void TPortsDialog::FillDeviceList() {
    for (const SerialDeviceChoice& device : devices_) {
        auto* item = new QTreeWidgetItem(ui_->DeviceList, QStringList{Q(device.path), Q(device.manufacturer),
                                                                     Q(device.description), Q(device.serialNumber)});
        item->setToolTip(0, Q(device.path) + (device.stable ? Q("\n→ " + device.device) : QString()));
        // The whole name of each column, which a narrow column shortens.
        for (int column = 1; column < item->columnCount(); ++column)
            if (!item->text(column).isEmpty()) item->setToolTip(column, item->text(column));
    }
    // Long by-id names are shortened in the middle, so the adapter's details stay in view.
    ui_->DeviceList->setTextElideMode(Qt::ElideMiddle);
    for (int column = 1; column < ui_->DeviceList->columnCount(); ++column)
        ui_->DeviceList->resizeColumnToContents(column);
    ui_->DeviceList->setColumnWidth(0, kDeviceColumnWidth);
}

void TPortsDialog::FillPortBoxes() {
    for (int port = 1; port <= kPortCount; ++port) {
        QComboBox& box = PortBox(port);
        box.addItem(QString());
        for (const SerialDeviceChoice& device : devices_) {
            box.addItem(Q(device.path));
            box.setItemData(box.count() - 1, DetailsText(device), Qt::ToolTipRole);
        }
        box.lineEdit()->setPlaceholderText(Q("/dev/ttyS" + std::to_string(port - 1)));
        const std::string bound = GetProfileString(settingsFile_, kPortsSection, PortKey(port), "");
        const int index = box.findText(Q(bound));
        if (index >= 0)
            box.setCurrentIndex(index);
        else
            box.setEditText(Q(bound));
    }
}

bool TPortsDialog::SaveBindings() {
    for (int port = 1; port <= kPortCount; ++port) {
        const std::string wanted = PortBox(port).currentText().trimmed().toStdString();
        const std::string stored = GetProfileString(settingsFile_, kPortsSection, PortKey(port), kAbsent);
        if (wanted == stored || (wanted.empty() && stored == kAbsent)) continue;
        if (!WriteProfileString(settingsFile_, kPortsSection, PortKey(port), wanted)) return false;
    }
    return true;
}

std::optional<std::pair<int, int>> TPortsDialog::SharedDevice() {
    const auto same = [](const std::string& a, const std::string& b) {
        if (a == b) return true;
        std::error_code error;
        return std::filesystem::equivalent(a, b, error) && !error;  // a stable name and its node
    };
    for (int first = 1; first <= kPortCount; ++first) {
        const std::string a = PortBox(first).currentText().trimmed().toStdString();
        if (a.empty()) continue;
        for (int second = first + 1; second <= kPortCount; ++second) {
            const std::string b = PortBox(second).currentText().trimmed().toStdString();
            if (!b.empty() && same(a, b)) return std::make_pair(first, second);
        }
    }
    return std::nullopt;
}

void TPortsDialog::accept() {
    // One device opens on one port only: binding it to two is most likely a slip.
    if (const auto shared = SharedDevice()) {
        const QString text = Q(kSharedDeviceWarning)
                                 .arg(Q(PortKey(shared->first)), Q(PortKey(shared->second)),
                                      PortBox(shared->first).currentText().trimmed());
        if (!AppDialogs().ConfirmOkCancel(this, windowTitle(), text)) return;
    }
    if (!SaveBindings()) {
        AppDialogs().Error(this, QString::fromUtf8("Не удалось записать порты в файл настроек ") + Q(settingsFile_));
        return;
    }
    QDialog::accept();
}

}  // namespace qel
