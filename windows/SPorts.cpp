#include "SPorts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QSerialPortInfo>
#include <QTreeWidgetItem>
#include <filesystem>
#include <system_error>

#include "Dialogs.h"
#include "Configuration.h"
#include "PortPaths.h"
#include "ProfileFile.h"
#include "ui_SPorts.h"

namespace qel {

namespace {

constexpr int kDeviceColumnWidth = 280;

std::vector<SerialDeviceDetails> QtSerialDevices() {
    std::vector<SerialDeviceDetails> devices;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
        devices.push_back({port.systemLocation().toStdString(), port.manufacturer().toStdString(),
                           port.description().toStdString(), port.serialNumber().toStdString()});
    return devices;
}

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

std::string PortKey(int port) { return qel::PortKey(static_cast<unsigned>(port)); }

std::vector<std::string> DialogPortKeys() {
    std::vector<std::string> keys;
    for (int port = 1; port <= TPortsDialog::kPortCount; ++port) keys.push_back(PortKey(port));
    return keys;
}

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

SerialDeviceSource SystemSerialDeviceSource() { return {"/dev", QtSerialDevices}; }

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
    // One reading of [Ports] for all the boxes.
    const auto stored = GetProfileStrings(settingsFile_, kPortsSection, DialogPortKeys());
    for (int port = 1; port <= kPortCount; ++port) {
        QComboBox& box = PortBox(port);
        box.addItem(QString());
        for (const SerialDeviceChoice& device : devices_) {
            box.addItem(Q(device.path));
            box.setItemData(box.count() - 1, DetailsText(device), Qt::ToolTipRole);
        }
        box.lineEdit()->setPlaceholderText(Q("/dev/ttyS" + std::to_string(port - 1)));
        const std::string bound = stored[static_cast<std::size_t>(port - 1)].value_or("");
        const int index = box.findText(Q(bound));
        if (index >= 0)
            box.setCurrentIndex(index);
        else
            box.setEditText(Q(bound));
    }
}

// The bindings that changed from what the file holds, with the file's values.
std::vector<TPortsDialog::Binding> TPortsDialog::ChangedBindings() {
    const auto stored = GetProfileStrings(settingsFile_, kPortsSection, DialogPortKeys());
    std::vector<Binding> changed;
    for (int port = 1; port <= kPortCount; ++port) {
        const std::string wanted = PortBox(port).currentText().trimmed().toStdString();
        const std::optional<std::string>& was = stored[static_cast<std::size_t>(port - 1)];
        if ((was && wanted == *was) || (wanted.empty() && !was)) continue;
        changed.push_back({port, wanted, was.value_or("")});
    }
    return changed;
}

bool TPortsDialog::SaveBindings(std::string* reason) {
    // One reading and at most one write of the file for all the bindings that changed.
    std::vector<std::pair<std::string, std::string>> entries;
    for (const Binding& binding : ChangedBindings()) entries.emplace_back(PortKey(binding.port), binding.wanted);
    return entries.empty() || WriteProfileStrings(settingsFile_, kPortsSection, entries, reason);
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
    // A path that the file's encoding cannot hold is not written: its box shows the bound
    // path again, and the dialog stays open saying which characters cannot be kept.
    QStringList unkept;
    for (const Binding& binding : ChangedBindings()) {
        std::string characters = CharactersSettingsCannotHold(settingsFile_, binding.wanted);
        if (characters.empty()) continue;
        unkept << Q(ValueNotKeptText(settingsFile_, {PortKey(binding.port), binding.stored, binding.wanted,
                                                     std::move(characters)}));
        QComboBox& box = PortBox(binding.port);
        const int index = box.findText(Q(binding.stored));
        if (index >= 0)
            box.setCurrentIndex(index);
        else
            box.setEditText(Q(binding.stored));
    }
    if (!unkept.isEmpty()) {
        AppDialogs().Error(this, unkept.join(QLatin1Char('\n')));
        return;
    }
    // One device opens on one port only: binding it to two is most likely a slip.
    if (const auto shared = SharedDevice()) {
        const QString text = Q(kSharedDeviceWarning)
                                 .arg(Q(PortKey(shared->first)), Q(PortKey(shared->second)),
                                      PortBox(shared->first).currentText().trimmed());
        if (!AppDialogs().ConfirmOkCancel(this, windowTitle(), text)) return;
    }
    std::string reason;
    if (!SaveBindings(&reason)) {
        AppDialogs().Error(this, QString::fromUtf8("Не удалось записать порты в файл настроек ") + Q(settingsFile_) +
                                     Q(reason.empty() ? std::string() : ": " + reason));
        return;
    }
    QDialog::accept();
}

}  // namespace qel
