// The port dialog against a fake device folder with by-id links: what it offers, what
// it writes into [Ports], and the settings window's menu entry and port hints.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTreeWidget>

#include <filesystem>

#include "PortPaths.h"
#include "ProfileFile.h"
#include "SPorts.h"
#include "SettingsWindowRig.h"

namespace qel::test {
namespace {

namespace fs = std::filesystem;

class PortsDialog : public SettingsWindowRig {
protected:
    void SetUp() override {
        SettingsWindowRig::SetUp();
        dev = devices_ / "dev";
        fs::create_directories(dev + "/serial/by-id");
        for (const char* node : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS0"}) WriteBytes(dev + "/" + node, "");
        fs::create_symlink("../../ttyUSB1", dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A9X1-if00-port0");
        ftdi = dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A9X1-if00-port0";
        present = {{dev + "/ttyS0", "", "", ""},
                   {dev + "/ttyACM0", "Arduino", "Uno", "7563"},
                   {dev + "/ttyUSB1", "FTDI", "FT232R USB UART", "A9X1"},
                   {dev + "/ttyUSB0", "", "", ""}};
        surroundings.serialDevices = Source();
    }
    // The pretend device folder and the devices present in it, asked anew each time.
    SerialDeviceSource Source() {
        return SerialDeviceSource{dev, [this] { return present; }};
    }

    QStringList Items(QComboBox& box) {
        QStringList items;
        for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
        return items;
    }

    TempFolder devices_;
    std::string dev, ftdi;
    std::vector<SerialDeviceDetails> present;
};

TEST_F(PortsDialog, ListsTheDevicesBestNamesFirstAndShowsTheCurrentBindings) {
    WriteIni(IniPath(), {"[Ports]", "COM1=" + ftdi, "COM3=/dev/custom0", "[QEL1_Agent]", "Con1check=0"});
    TPortsDialog dialog(nullptr, IniPath(), Source());

    auto* list = dialog.findChild<QTreeWidget*>("DeviceList");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->topLevelItemCount(), 5);
    const QStringList expected{Q(ftdi), Q(dev + "/ttyUSB0"), Q(dev + "/ttyUSB1"), Q(dev + "/ttyACM0"), Q(dev + "/ttyS0")};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(list->topLevelItem(i)->text(0), expected[i]) << i;
    EXPECT_EQ(list->topLevelItem(0)->text(1), Q("FTDI"));
    EXPECT_EQ(list->topLevelItem(0)->text(2), Q("FT232R USB UART"));
    EXPECT_EQ(list->topLevelItem(0)->text(3), Q("A9X1"));
    EXPECT_EQ(list->topLevelItem(0)->toolTip(0), Q(ftdi + "\n→ " + dev + "/ttyUSB1"));
    EXPECT_EQ(list->topLevelItem(1)->toolTip(0), Q(dev + "/ttyUSB0"));

    for (int port = 1; port <= 8; ++port) {
        SCOPED_TRACE(port);
        QComboBox& box = dialog.PortBox(port);
        EXPECT_TRUE(box.isEditable());
        EXPECT_EQ(Items(box), QStringList{QString()} + expected);
        // An empty box stands for the default device, which it shows greyed.
        EXPECT_EQ(box.lineEdit()->placeholderText(), Q("/dev/ttyS" + std::to_string(port - 1)));
    }
    EXPECT_EQ(dialog.PortBox(1).currentIndex(), 1);
    EXPECT_EQ(dialog.PortBox(1).itemData(1, Qt::ToolTipRole).toString(),
              Q("FTDI FT232R USB UART, № A9X1\n→ " + dev + "/ttyUSB1"));
    EXPECT_EQ(dialog.PortBox(2).currentText(), QString());
    EXPECT_EQ(dialog.PortBox(3).currentText(), Q("/dev/custom0"));  // a typed path is kept
}

TEST_F(PortsDialog, OkWritesTheBindingsThatChangedAndNothingElse) {
    WriteIni(IniPath(), {"[QEL1_Agent]", "Name1=Кабинет", "[Ports]", "COM1=" + ftdi, "COM3=/dev/custom0"});
    TPortsDialog dialog(nullptr, IniPath(), Source());
    dialog.PortBox(2).setCurrentIndex(1);                          // the FTDI adapter's stable name
    dialog.PortBox(3).setEditText(QString());                      // back to the default
    dialog.PortBox(4).setEditText(Q("  /dev/ttyUSB9 "));           // typed
    dialog.PortBox(5).setEditText(Q("/dev/тест"));                 // Cyrillic goes in as code page 1251
    dialogs.confirmAnswers = {true};  // COM1 and COM2 now share the adapter: saved as asked
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialogs.Count("confirm"), 1);
    EXPECT_EQ(dialogs.calls.size(), 1u);

    EXPECT_EQ(ReadBytes(IniPath()), Utf8ToCp1251("[QEL1_Agent]\r\nName1=Кабинет\r\n[Ports]\r\nCOM1=" + ftdi +
                                                 "\r\nCOM3=\r\nCOM2=" + ftdi +
                                                 "\r\nCOM4=/dev/ttyUSB9\r\nCOM5=/dev/тест\r\n"));
    // The driver opens what the dialog bound; an empty binding is the default device.
    EXPECT_EQ(PortDevicePath(IniPath(), 2), ftdi);
    EXPECT_EQ(PortDevicePath(IniPath(), 3), "/dev/ttyS2");
    EXPECT_EQ(PortDevicePath(IniPath(), 4), "/dev/ttyUSB9");
    EXPECT_EQ(PortDevicePath(IniPath(), 6), "/dev/ttyS5");
}

TEST_F(PortsDialog, CancelAndAnUnchangedOkWriteNothing) {
    EXPECT_FALSE(fs::exists(IniPath()));
    {
        TPortsDialog dialog(nullptr, IniPath(), Source());
        dialog.PortBox(1).setCurrentIndex(2);
        dialog.reject();
    }
    EXPECT_FALSE(fs::exists(IniPath()));
    {
        TPortsDialog dialog(nullptr, IniPath(), Source());
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_FALSE(fs::exists(IniPath()));
}

TEST_F(PortsDialog, ARefusedWriteIsToldAndTheDialogStaysOpen) {
    const std::string missing = folder / "no-folder/QEL1_Agent.ini";
    TPortsDialog dialog(nullptr, missing, Source());
    dialog.show();
    dialog.PortBox(1).setEditText(Q("/dev/ttyUSB0"));
    dialog.accept();
    ASSERT_EQ(dialogs.Count("error"), 1);
    EXPECT_EQ(dialogs.calls[0].text, Q("Не удалось записать порты в файл настроек " + missing + ": нет такой папки"));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(fs::exists(missing));
}

// The adapter's details show whole in their hints, however narrow the columns.
TEST_F(PortsDialog, EveryColumnHintsTheWholeName) {
    present[2].description = "FT232R USB UART with a description longer than any column shows";
    TPortsDialog dialog(nullptr, IniPath(), Source());
    auto* list = dialog.findChild<QTreeWidget*>("DeviceList");
    ASSERT_NE(list, nullptr);
    QTreeWidgetItem* item = list->topLevelItem(0);
    EXPECT_EQ(item->toolTip(1), Q("FTDI"));
    EXPECT_EQ(item->toolTip(2), Q("FT232R USB UART with a description longer than any column shows"));
    EXPECT_EQ(item->toolTip(3), Q("A9X1"));
}

// One device bound to two ports (by one path, or by its stable name and its node) is
// asked about first: Cancel keeps the dialog open and writes nothing, OK saves.
TEST_F(PortsDialog, BindingOneDeviceToTwoPortsIsAskedAboutFirst) {
    const struct {
        std::string first, second;
    } cases[] = {{dev + "/ttyUSB0", dev + "/ttyUSB0"}, {ftdi, dev + "/ttyUSB1"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        fs::remove(IniPath());
        dialogs.calls.clear();
        TPortsDialog dialog(nullptr, IniPath(), Source());
        dialog.show();
        dialog.PortBox(1).setEditText(Q(c.first));
        dialog.PortBox(3).setEditText(Q(c.second));
        dialogs.confirmAnswers = {false};
        dialog.accept();
        ASSERT_EQ(dialogs.calls.size(), 1u);
        EXPECT_EQ(dialogs.calls[0].text, Q("Порты COM1 и COM3 назначены одному устройству " + c.first +
                                           ". Открыть его сможет только один из них. Сохранить так?"));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(fs::exists(IniPath()));
        dialogs.confirmAnswers = {true};
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(PortDevicePath(IniPath(), 3), c.second);
    }
    // Different devices are saved without a question.
    dialogs.calls.clear();
    TPortsDialog dialog(nullptr, IniPath(), Source());
    dialog.PortBox(3).setEditText(Q(dev + "/ttyACM0"));
    dialog.accept();
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(PortsDialog, TheFileMenuOpensItAndTheComBoxHintsShowTheBoundDevices) {
    WriteIni(IniPath(), {"[Ports]", "COM2=/dev/ttyUSB0", "[QEL1_Agent]", "Con1numCOM=1", "Con2numCOM=2"});
    Open();
    auto& menu = Control<QMenu>("N1");
    const QList<QAction*> entries = menu.actions();
    ASSERT_GE(entries.size(), 4);
    EXPECT_EQ(entries[0]->objectName(), QStringLiteral("N2"));
    EXPECT_EQ(entries[1]->objectName(), QStringLiteral("N10"));
    EXPECT_EQ(entries[1]->text(), Q("&Порты…"));

    auto& combo1 = Control<QComboBox>("ComboBox1");
    auto& combo2 = Control<QComboBox>("ComboBox2");
    const QString hint = Q("Выберите com-порт, к которому подключено устройство КЭЛ-1");
    // Texts and indices stay as they were; the hints name the devices.
    EXPECT_EQ(combo1.itemText(0), QStringLiteral("COM1"));
    EXPECT_EQ(combo1.toolTip(), hint + Q("\nCOM1 → /dev/ttyS0"));
    EXPECT_EQ(combo2.toolTip(), hint + Q("\nCOM2 → /dev/ttyUSB0"));
    EXPECT_EQ(combo1.itemData(1, Qt::ToolTipRole).toString(), Q("/dev/ttyUSB0"));
    EXPECT_EQ(combo1.itemData(7, Qt::ToolTipRole).toString(), Q("/dev/ttyS7"));
    combo1.setCurrentIndex(1);
    EXPECT_EQ(combo1.toolTip(), hint + Q("\nCOM2 → /dev/ttyUSB0"));
    combo1.setCurrentIndex(0);

    // Bind COM1 to the adapter's stable name in the dialog.
    dialogs.inModal = [](QDialog& d) {
        auto& ports = static_cast<TPortsDialog&>(d);
        ports.PortBox(1).setCurrentIndex(1);
        ports.accept();
    };
    entries[1]->trigger();
    ASSERT_EQ(dialogs.Count("window"), 1);
    EXPECT_EQ(dialogs.calls[0].caption, Q("Порты"));
    EXPECT_EQ(GetProfileString(IniPath(), "Ports", "COM1", ""), ftdi);
    EXPECT_EQ(combo1.toolTip(), hint + Q("\nCOM1 → " + ftdi));
    EXPECT_EQ(combo1.itemData(0, Qt::ToolTipRole).toString(), Q(ftdi));
    // The program's own settings are not touched by the dialog.
    EXPECT_EQ(IniSection(IniPath(), "QEL1_Agent").size(), 2u);
}

}  // namespace
}  // namespace qel::test
