// The settings window with its ports on pseudo-terminals: start-up, Accept, Cancel, the
// close box, the diagnostics list and the QEL-1 reception it hosts.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QKeySequence>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <filesystem>

#include "Cp1251.h"
#include "DesignedWindows.h"
#include "FixedLayoutFont.h"
#include "Qel1Samples.h"
#include "ScopedEnvironment.h"
#include "SettingsWindowRig.h"

namespace qel::test {
namespace {

using Keys = std::vector<std::pair<std::string, std::string>>;

const std::vector<std::string> kKeyOrder{"Con1check", "Con2check", "Con1numCOM", "Con2numCOM", "Con1Speed",
                                         "Con2Speed", "Con1QELType", "Con2QELType", "GetLastRecordIfError",
                                         "ScreenMessages", "Rewrite", "MultyFiles", "SaveFile", "Name1", "Name2"};

std::vector<std::string> KeyNames(const Keys& keys) {
    std::vector<std::string> names;
    for (const auto& [key, value] : keys) names.push_back(key);
    return names;
}

std::string Value(const Keys& keys, const std::string& key) {
    for (const auto& [k, v] : keys)
        if (k == key) return v;
    return "<absent>";
}

using SettingsWindow = SettingsWindowRig;

TEST_F(SettingsWindow, FirstStartWithoutIniShowsDefaultsOpensNothingAndStaysHidden) {
    Open();
    RunEventsFor(300);

    EXPECT_FALSE(Control<QCheckBox>("CheckBox1").isChecked());
    EXPECT_FALSE(Control<QCheckBox>("CheckBox2").isChecked());
    EXPECT_EQ(Control<QComboBox>("ComboBox1").currentText(), "COM1");
    EXPECT_EQ(Control<QComboBox>("ComboBox2").currentText(), "COM2");
    EXPECT_EQ(Control<QComboBox>("CB_Spead1").currentText(), "9600");
    EXPECT_EQ(Control<QComboBox>("CB_Spead2").currentText(), "9600");
    EXPECT_EQ(Control<QComboBox>("CB_QELType1").currentText(), Q("КЭЛ-1"));
    EXPECT_EQ(Control<QComboBox>("CB_QELType2").currentText(), Q("КЭЛ-1"));
    EXPECT_FALSE(Control<QCheckBox>("CB_ErrMes").isChecked());
    EXPECT_FALSE(Control<QCheckBox>("CB_Rewrite").isChecked());
    EXPECT_FALSE(Control<QCheckBox>("CB_MultyFiles").isChecked());
    EXPECT_EQ(Control<QLineEdit>("Edit1").text(), "Data.qel");

    EXPECT_FALSE(window->ComDriver1.IsConnected());
    EXPECT_FALSE(window->ComDriver2.IsConnected());
    EXPECT_TRUE(Lines().isEmpty());
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_TRUE(bell.rings.empty());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(std::filesystem::exists(IniPath()));

    // The file first appears when the program ends: all fifteen keys, in order.
    window.reset();
    const Keys keys = IniSection(IniPath(), "QEL1_Agent");
    EXPECT_EQ(KeyNames(keys), kKeyOrder);
    EXPECT_EQ(Value(keys, "Con1numCOM"), "1");
    EXPECT_EQ(Value(keys, "Con2numCOM"), "2");
    EXPECT_EQ(Value(keys, "Con1Speed"), "1");
    EXPECT_EQ(Value(keys, "SaveFile"), "Data.qel");
}

TEST_F(SettingsWindow, IsLaidOutAsDesigned) {
    Open();
    EXPECT_EQ(window->centralWidget()->size(), QSize(261, 363));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());  // no resizing
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);  // a notification area exists here

    EXPECT_EQ(Control<QComboBox>("ComboBox2").count(), 8);
    EXPECT_TRUE(CaptionsFit(window.get()));

    EXPECT_LT(Control<QPushButton>("BitBtn1").x(), Control<QPushButton>("BitBtn2").x());
    EXPECT_EQ(Control<QAction>("N6").shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->menu()->actions().last(), &Control<QAction>("N6"));
    EXPECT_EQ(menus[1]->menu()->actions().last(), &Control<QAction>("N7"));
    // Centred on the screen.
    const QPoint offset = window->geometry().center() - window->screen()->availableGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);

    // The drivers as designed (ComDriver2 keeps the driver's output buffer, so it can send).
    EXPECT_EQ(window->ComDriver1.ComPortPollingDelay(), 50);
    EXPECT_EQ(window->ComDriver1.InputTimeout(), 200u);
    EXPECT_EQ(window->ComDriver2.ComPortPollingDelay(), 300);
    EXPECT_EQ(window->ComDriver2.InputTimeout(), 2000u);
    EXPECT_EQ(window->ComDriver2.ComPortOutBufSize(), 2048);
    EXPECT_EQ(window->Timer1.interval(), 500);
    EXPECT_TRUE(window->Timer1.isActive());
}

// Every text of the window, its menus and the tray menu, and the program's title, as the
// program shows them.
TEST_F(SettingsWindow, EveryTextIsThePrograms) {
    Open();
    ExpectAsDesigned(*window, SettingsWindowDesign());
    // The port lists' hints are the program's, followed by the device the selected COM
    // name stands for (without a settings file: the default devices).
    const QString portHint = Q(designed::kPortHint);
    EXPECT_EQ(Control<QComboBox>("ComboBox1").toolTip(), portHint + Q("\nCOM1 → /dev/ttyS0"));
    EXPECT_EQ(Control<QComboBox>("ComboBox2").toolTip(), portHint + Q("\nCOM2 → /dev/ttyS1"));
    EXPECT_TRUE(Control<QAction>("actAbout").text().startsWith(Q("КЭЛ1-Агент")));
    EXPECT_EQ(QKeySequence::mnemonic(Control<QAction>("actAbout").text()),
              QKeySequence(Qt::ALT | QChar(u'С').unicode()));

    // The menus' entries, top to bottom ("-" a separator).
    const auto entries = [](const QMenu& menu) {
        QStringList names;
        for (const QAction* action : menu.actions())
            names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
        return names;
    };
    EXPECT_EQ(entries(Control<QMenu>("N1")), QStringList({"N2", "N10", "-", "N6"}));
    EXPECT_EQ(entries(Control<QMenu>("N4")), QStringList({"N3", "-", "N7"}));
    EXPECT_EQ(entries(Control<QMenu>("PopupMenu1")), QStringList({"LOG1", "N8"}));
    EXPECT_EQ(entries(Control<QMenu>("PopupMenu2")), QStringList({"actAbout", "-", "actOptions", "-", "actExit"}));
    // The program's title, set at start-up.
    EXPECT_EQ(ProgramTitle(), Q("КЭЛ-1 Агент"));
}

TEST_F(SettingsWindow, AcceptAppliesTheConnectionsBeforeItSavesTheSettings) {
    // Both connections on one port: applying them reports the second in a box.
    WriteSettings({"Con1check=1", "Con2check=1", "Con1numCOM=1", "Con2numCOM=1", "ScreenMessages=1"});
    Open();
    Control<QCheckBox>("CB_Rewrite").setChecked(true);
    std::string rewriteWhenReported;
    dialogs.whileBoxOpen = [&](const DialogCall&) {
        rewriteWhenReported = Value(IniSection(IniPath(), "QEL1_Agent"), "Rewrite");
    };
    window->BitBtn1Click();
    EXPECT_EQ(rewriteWhenReported, "<absent>");  // not saved yet when the report came
    EXPECT_EQ(Value(IniSection(IniPath(), "QEL1_Agent"), "Rewrite"), "1");
}

// The first row of a group box, as drawn without its controls, where its frame begins:
// a horizontal run of one colour that is not the window's background.
int FrameTop(QGroupBox& box) {
    const QList<QWidget*> controls = box.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* control : controls) control->hide();
    const QImage image = box.grab().toImage();
    for (QWidget* control : controls) control->show();
    const QRgb outside = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 1, run = 0; x < image.width(); ++x) {
            const QRgb colour = image.pixel(x, y);
            run = colour != outside && colour == image.pixel(x - 1, y) ? run + 1 : 0;
            if (run >= 20) return y;
        }
    return -1;
}

// The controls stay where the window's design puts them, and every group's frame begins
// above its controls instead of running through them.
TEST_F(SettingsWindow, GroupFramesRunAroundTheirControls) {
    Open();
    window->ShowMainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    for (const char* name : {"GroupBox1", "GroupBox2", "GroupBox3", "GroupBox4"}) {
        QGroupBox& box = Control<QGroupBox>(name);
        const int top = FrameTop(box);
        ASSERT_GE(top, 0) << name;
        for (const QWidget* control : box.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_LT(top, control->y()) << name << ": the frame begins at " << top << ", "
                                         << control->objectName().toStdString() << " at " << control->y();
    }
}

TEST_F(SettingsWindow, AcceptClosesBothPortsAppliesSavesAndHides) {
    WriteSettings({"Con1check=1", "Con2check=1", "Con1numCOM=1", "Con2numCOM=2"});
    const std::string portsBefore = ReadBytes(IniPath()).substr(0, ReadBytes(IniPath()).find("[QEL1_Agent]"));
    Open();
    ASSERT_EQ(Lines(), QStringList({Q("соединение 1 состоялось"), Q("соединение 2 состоялось")}));
    ASSERT_TRUE(window->ComDriver1.IsConnected());

    Control<QAction>("actOptions").trigger();
    ASSERT_TRUE(window->isVisible());
    Control<QComboBox>("ComboBox1").setCurrentIndex(2);  // COM3
    Control<QComboBox>("CB_Spead1").setCurrentIndex(0);  // 4800
    Control<QCheckBox>("CheckBox2").setChecked(false);
    QTest::mouseClick(&Control<QPushButton>("BitBtn1"), Qt::LeftButton);

    EXPECT_TRUE(window->ComDriver1.IsConnected());
    EXPECT_EQ(window->ComDriver1.ComPort(), pnCOM3);
    EXPECT_EQ(window->ComDriver1.ComPortSpeed(), br4800);
    EXPECT_FALSE(window->ComDriver2.IsConnected());
    EXPECT_TRUE(PortIsFree(pnCOM1));
    EXPECT_TRUE(PortIsFree(pnCOM2));
    EXPECT_EQ(Lines().mid(2), QStringList({Q("соединение 1 состоялось")}));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(bell.rings.empty());

    const Keys keys = IniSection(IniPath(), "QEL1_Agent");
    EXPECT_EQ(KeyNames(keys), kKeyOrder);
    EXPECT_EQ(Value(keys, "Con1check"), "1");
    EXPECT_EQ(Value(keys, "Con2check"), "0");
    EXPECT_EQ(Value(keys, "Con1numCOM"), "3");
    EXPECT_EQ(Value(keys, "Con1Speed"), "0");
    EXPECT_EQ(ReadBytes(IniPath()).substr(0, portsBefore.size()), portsBefore);  // [Ports] untouched

    // The new port really is the one that receives.
    Device(3).SendBytes(kExamplePacket);
    EXPECT_TRUE(WaitForLine(Q("Принят пакет: ") + Q(kExampleLine)));
}

TEST_F(SettingsWindow, CancelAfterChangingThePortKeepsTheOpenPortAndLogsItAgain) {
    WriteSettings({"Con1check=1", "Con1numCOM=1"});
    Open();
    ASSERT_TRUE(window->ComDriver1.IsConnected());

    Control<QAction>("actOptions").trigger();
    Control<QComboBox>("ComboBox1").setCurrentIndex(1);
    QTest::mouseClick(&Control<QPushButton>("BitBtn2"), Qt::LeftButton);

    EXPECT_EQ(Control<QComboBox>("ComboBox1").currentIndex(), 0);  // the stored port again
    EXPECT_TRUE(window->ComDriver1.IsConnected());
    EXPECT_EQ(window->ComDriver1.ComPort(), pnCOM1);
    EXPECT_EQ(Lines(), QStringList({Q("соединение 1 состоялось"), Q("соединение 1 состоялось")}));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(PortIsFree(pnCOM2));

    Device(1).SendBytes(kExamplePacket);
    EXPECT_TRUE(WaitForLine(Q("Принят пакет: ") + Q(kExampleLine)));
}

TEST_F(SettingsWindow, ClearedInUseBoxClosesThePortOnAcceptButNotOnCancel) {
    WriteSettings({"Con1check=1", "Con1numCOM=1"});
    Open();
    ASSERT_TRUE(window->ComDriver1.IsConnected());

    Control<QCheckBox>("CheckBox1").setChecked(false);
    window->BitBtn2Click();
    EXPECT_TRUE(window->ComDriver1.IsConnected());
    EXPECT_TRUE(Control<QCheckBox>("CheckBox1").isChecked());

    Control<QCheckBox>("CheckBox1").setChecked(false);
    window->BitBtn1Click();
    EXPECT_FALSE(window->ComDriver1.IsConnected());
    EXPECT_TRUE(PortIsFree(pnCOM1));
    EXPECT_EQ(Value(IniSection(IniPath(), "QEL1_Agent"), "Con1check"), "0");
    EXPECT_EQ(Lines().count(Q("соединение 1 состоялось")), 2);  // at start and on Cancel
}

TEST_F(SettingsWindow, BothConnectionsOnOnePortReportTheSecondAsFailed) {
    WriteSettings({"Con1check=1", "Con2check=1", "Con1numCOM=1", "Con2numCOM=1", "ScreenMessages=1"});
    Open();

    // The failure is followed by the device path and the reason.
    EXPECT_EQ(Lines(), QStringList({Q("соединение 1 состоялось"), Q("соединение 2 не состоялось"),
                                    Q("соединение 2: " + LinkPath(1) + " - порт занят другой программой")}));
    EXPECT_TRUE(window->ComDriver1.IsConnected());
    EXPECT_FALSE(window->ComDriver2.IsConnected());
    ASSERT_EQ(dialogs.Count("information"), 1);
    EXPECT_EQ(dialogs.calls[0].caption, "Information");
    EXPECT_EQ(dialogs.calls[0].text, Q("соединение 2 не состоялось"));
    EXPECT_EQ(bell.rings, std::vector<BeepKind>({BeepKind::Question}));
}

TEST_F(SettingsWindow, UnreadablePortNumbersLeaveTheDriverAndSaveAsNoSelection) {
    WriteSettings({"Con1check=1", "Con1numCOM=9", "Con1Speed=9600"});
    Open();
    EXPECT_EQ(Control<QComboBox>("ComboBox1").currentIndex(), -1);
    EXPECT_EQ(Control<QComboBox>("CB_Spead1").currentIndex(), -1);
    // The driver keeps its designed port (COM2) and speed (4800), and opens that port.
    EXPECT_EQ(window->ComDriver1.ComPort(), pnCOM2);
    EXPECT_EQ(window->ComDriver1.ComPortSpeed(), br4800);
    EXPECT_EQ(Lines(), QStringList({Q("соединение 1 состоялось")}));
    window.reset();
    const Keys keys = IniSection(IniPath(), "QEL1_Agent");
    EXPECT_EQ(Value(keys, "Con1numCOM"), "0");
    EXPECT_EQ(Value(keys, "Con1Speed"), "-1");
}

TEST_F(SettingsWindow, CloseBoxEndsTheRunAndSavesOptionsThatWereNeverAccepted) {
    WriteSettings({"Rewrite=0", "MultyFiles=0", "ScreenMessages=0", "SaveFile=Data.qel", "Name2=Прибор 2"});
    Open();
    bool closed = false;
    QObject::connect(window.get(), &TComSetup::Closed, [&] { closed = true; });

    Control<QCheckBox>("CB_Rewrite").setChecked(true);
    Control<QCheckBox>("CB_MultyFiles").setChecked(true);
    Control<QCheckBox>("CB_ErrMes").setChecked(true);
    Control<QLineEdit>("Edit1").setText(Q("Измерения.qel"));
    Control<QComboBox>("ComboBox1").setCurrentIndex(4);
    window->show();
    window->close();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(window->isVisible());

    window.reset();
    const Keys keys = IniSection(IniPath(), "QEL1_Agent");
    // Keys already in the file are replaced where they stand, the others follow them.
    std::vector<std::string> names = KeyNames(keys), expected = kKeyOrder;
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(Value(keys, "Rewrite"), "1");
    EXPECT_EQ(Value(keys, "MultyFiles"), "1");
    EXPECT_EQ(Value(keys, "ScreenMessages"), "1");
    EXPECT_EQ(Value(keys, "SaveFile"), "Измерения.qel");
    EXPECT_EQ(Value(keys, "Con1numCOM"), "5");
    EXPECT_EQ(Value(keys, "Name2"), "Прибор 2");
    // Code page 1251 in the file.
    EXPECT_NE(ReadBytes(IniPath()).find(Utf8ToCp1251("SaveFile=Измерения.qel\r\n")), std::string::npos);
}

TEST_F(SettingsWindow, EveryWayOutClosesTheWindow) {
    Open();
    int closings = 0;
    QObject::connect(window.get(), &TComSetup::Closed, [&] { ++closings; });
    Control<QAction>("N6").trigger();  // "В&ыход"
    EXPECT_EQ(closings, 1);
    Control<QAction>("actExit").trigger();  // tray "В&ыйти", while hidden
    EXPECT_EQ(closings, 2);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(closings, 3);
    EXPECT_TRUE(dialogs.calls.empty());  // no question asked
}

TEST_F(SettingsWindow, DiagnosticsListIsSavedAndCleared) {
    Open();
    state.Log.Note("соединение 1 состоялось");
    state.Log.Report("Приняты данные 15 байт, но не совпадает CRC - данные игнорированы");
    state.Log.Note("одинаковые");
    state.Log.Note("одинаковые");
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 4);

    const std::string logPath = folder / "Events.log";
    dialogs.saveAnswers = {QString::fromStdString(logPath)};
    Control<QAction>("LOG1").trigger();
    ASSERT_EQ(dialogs.Count("save"), 1);
    const DialogCall& call = dialogs.calls.back();
    EXPECT_EQ(call.caption, Q("Запись отладочной информации в файл"));
    EXPECT_EQ(call.filter, Q("Log - файлы|*.log"));
    EXPECT_EQ(call.suffix, "*.log");
    EXPECT_EQ(call.proposedName, "Events");
    EXPECT_EQ(call.folder, ".");
    EXPECT_EQ(ReadBytes(logPath),
              Utf8ToCp1251("соединение 1 состоялось\r\nПриняты данные 15 байт, но не совпадает CRC - данные "
                           "игнорированы\r\nодинаковые\r\nодинаковые\r\n"));
    EXPECT_EQ(Lines(), lines);

    // A second save to the same name replaces the file.
    state.Log.Note("ещё");
    dialogs.saveAnswers = {QString::fromStdString(logPath)};
    Control<QAction>("LOG1").trigger();
    EXPECT_EQ(ReadBytes(logPath), Utf8ToCp1251(lines.join("\r\n").toStdString() + "\r\nещё\r\n"));

    // Cancelled: nothing written.
    Control<QAction>("LOG1").trigger();
    EXPECT_EQ(dialogs.Count("save"), 3);

    // A file that cannot be created: the general error box, and the list stays.
    const std::string badPath = folder / "missing/Events.log";
    dialogs.saveAnswers = {QString::fromStdString(badPath)};
    Control<QAction>("LOG1").trigger();
    ASSERT_EQ(dialogs.Count("error"), 1);
    EXPECT_EQ(dialogs.calls.back().text,
              QString::fromStdString("Cannot create file \"" + badPath + "\". No such file or directory"));
    EXPECT_EQ(dialogs.calls.back().caption, Q("КЭЛ-1 Агент"));
    EXPECT_EQ(Lines().size(), 5);

    // Clearing asks nothing; an empty list saves as an empty file.
    const std::size_t callsBefore = dialogs.calls.size();
    Control<QAction>("N8").trigger();
    EXPECT_TRUE(Lines().isEmpty());
    EXPECT_EQ(dialogs.calls.size(), callsBefore);
    Control<QAction>("N8").trigger();
    dialogs.saveAnswers = {QString::fromStdString(logPath)};
    Control<QAction>("LOG1").trigger();
    EXPECT_TRUE(std::filesystem::exists(logPath));
    EXPECT_EQ(std::filesystem::file_size(logPath), 0u);
}

TEST_F(SettingsWindow, ReportBoxComesAfterItsLineAndNeverStacks) {
    WriteSettings({"Con1check=1", "Con1numCOM=1", "ScreenMessages=1"});
    Open();
    ASSERT_TRUE(window->ComDriver1.IsConnected());
    const QString crc = Q("Приняты данные 15 байт, но не совпадает CRC - данные игнорированы");
    const QString size = Q("Приняты данные, но не 15 байт как полагается от КЭЛ-1, - данные игнорированы");

    QStringList linesWhileOpen;
    bool secondArrived = false;
    dialogs.whileBoxOpen = [&](const DialogCall&) {
        linesWhileOpen = Lines();
        // The box's message loop goes on: a noisy line reports again meanwhile.
        Device(1).SendBytes(std::string(16, '\x55'));
        secondArrived = WaitForLine(size);
    };
    std::string bad = kExamplePacket;
    bad[14] = '\x00';
    Device(1).SendBytes(bad);

    ASSERT_TRUE(WaitUntil([&] { return dialogs.Count("information") >= 1 && dialogs.openBoxes == 0; }));
    EXPECT_TRUE(secondArrived);
    ASSERT_FALSE(linesWhileOpen.isEmpty());
    EXPECT_EQ(linesWhileOpen.back(), crc);
    EXPECT_EQ(dialogs.Count("information"), 1);
    EXPECT_EQ(dialogs.mostOpenBoxes, 1);
    EXPECT_EQ(dialogs.calls[0].text, crc);
    EXPECT_EQ(Lines().mid(1), QStringList({crc, size}));
    EXPECT_EQ(bell.Count(BeepKind::Question), 2);
    EXPECT_EQ(bell.Count(BeepKind::Default), 2);  // one for each receive event
}

TEST_F(SettingsWindow, ChoosingTheDataFile) {
    Open();
    window->show();
    const QString chosen = QString::fromStdString(folder / "Выбор.qel");
    dialogs.saveAnswers = {chosen};
    QTest::mouseClick(&Control<QLineEdit>("Edit1"), Qt::LeftButton);
    ASSERT_EQ(dialogs.Count("save"), 1);
    const DialogCall& call = dialogs.calls.back();
    EXPECT_EQ(call.caption, Q("Выбор файла для сохранения результатов работы КЭЛ-1"));
    EXPECT_EQ(call.filter, "qel|*.qel");
    EXPECT_EQ(call.suffix, "*.qel");
    EXPECT_EQ(call.proposedName, "Data");
    EXPECT_EQ(call.folder, ".");
    EXPECT_EQ(Control<QLineEdit>("Edit1").text(), chosen);

    // Cancelled from the menu: the path stays.
    Control<QAction>("N2").trigger();
    EXPECT_EQ(dialogs.Count("save"), 2);
    EXPECT_EQ(Control<QLineEdit>("Edit1").text(), chosen);

    // Cancel of the window puts the stored path back.
    window->BitBtn2Click();
    EXPECT_EQ(Control<QLineEdit>("Edit1").text(), "Data.qel");
}

TEST_F(SettingsWindow, PacketsFromBothConnectionsReachTheListAndTheDataFile) {
    WriteSettings({"Con1check=1", "Con2check=1", "Con1numCOM=1", "Con2numCOM=2", "Con1Speed=0", "Con2Speed=1"});
    Open();
    ASSERT_TRUE(window->ComDriver2.IsConnected());
    EXPECT_EQ(window->ComDriver1.ComPortSpeed(), br4800);
    EXPECT_EQ(window->ComDriver2.ComPortSpeed(), br9600);

    Device(1).SendBytes(kExamplePacket);
    ASSERT_TRUE(WaitForLine(Q("Принят пакет: ") + Q(kExampleLine)));
    Device(2).SendPacket(Qel1Sample(8, 301, {10, 2}, {1, 2, 26}, 3, 75));
    ASSERT_TRUE(WaitForLine(Q("Принят пакет: 00008 00301 10:02 01.02.26 00003,750"), 4000));

    EXPECT_EQ(ReadBytes(folder / "Data.qel"),
              kExampleLine + "\r\n" + "00008 00301 10:02 01.02.26 00003,750\r\n");
    EXPECT_EQ(bell.Count(BeepKind::Default), 2);
    EXPECT_EQ(bell.Count(BeepKind::Question), 0);
}

TEST_F(SettingsWindow, ConnectionTwoCanAskForTheLastRecord) {
    // Connection 2 is a QEL-1 and connection 1 a QEL-1M: connection 2 asks by its own type.
    WriteSettings({"Con2check=1", "Con2numCOM=2", "GetLastRecordIfError=1", "Con1QELType=1", "Con2QELType=0"});
    Open();
    ASSERT_TRUE(window->ComDriver2.IsConnected());
    std::string bad = kExamplePacket;
    bad[14] = '\x01';
    Device(2).SendBytes(bad);
    ASSERT_TRUE(WaitUntil([&] { return Device(2).Received().size() >= 4; }, 5000));
    EXPECT_EQ(Device(2).Received(), std::string("\x04\x52\x44\x00", 4));
    // A refusal with the request is not reported.
    EXPECT_FALSE(HasLine(Q("Приняты данные 15 байт, но не совпадает CRC - данные игнорированы")));
    EXPECT_EQ(bell.Count(BeepKind::Question), 0);

    // The flag has no control of its own: set by hand in the file, it is saved back as it was.
    window->close();
    window.reset();
    EXPECT_EQ(Value(IniSection(IniPath(), "QEL1_Agent"), "GetLastRecordIfError"), "1");
}

TEST_F(SettingsWindow, WithOneFilePerRecordTheRecordsNameIsShownAndSaved) {
    const std::string own = folder / "311205.300";
    WriteSettings({"Con1check=1", "Con1numCOM=1", "MultyFiles=1", "SaveFile=" + std::string(folder / "Data.qel")});
    Open();
    Device(1).SendBytes(kExamplePacket);
    ASSERT_TRUE(WaitForLine(Q("Принят пакет: ") + Q(kExampleLine)));
    EXPECT_EQ(Control<QLineEdit>("Edit1").text(), Q(own));
    EXPECT_EQ(ReadBytes(own), kExampleLine + "\r\n");
    window->close();
    window.reset();
    EXPECT_EQ(Value(IniSection(IniPath(), "QEL1_Agent"), "SaveFile"), own);
}

TEST_F(SettingsWindow, Timer1CountsTheWriteHoldOffDown) {
    WriteSettings({"Con1check=1", "Con1numCOM=1"});
    Open();
    ASSERT_TRUE(window->Timer1.isActive());
    window->Timer1.stop();  // the test gives the ticks itself
    const QString failure = Q("Ошибка при записи данных в файл, файл не доступен");
    Control<QLineEdit>("Edit1").setText(QString::fromStdString(folder / "missing/Data.qel"));

    Device(1).SendBytes(kExamplePacket);
    ASSERT_TRUE(WaitForLine(failure));
    EXPECT_TRUE(window->Writer().WriteBlocked());
    for (int tick = 1; tick <= 9; ++tick) window->Timer1Timer();
    EXPECT_TRUE(window->Writer().WriteBlocked());
    EXPECT_EQ(Lines().count(failure), 1);
    window->Timer1Timer();
    EXPECT_FALSE(window->Writer().WriteBlocked());
    EXPECT_EQ(Lines().count(failure), 2);
    EXPECT_EQ(Lines().last(), failure);
}

TEST_F(SettingsWindow, RefusedConfigurationWriteIsReportedOnAcceptAndTheWindowStillHides) {
    executableFolder = folder / "missing/";
    // An installed program's settings folder that is not there (nothing made it).
    const ScopedEnvironment config("XDG_CONFIG_HOME", (folder / "missing-config").c_str());
    Open();
    window->ShowMainWindow();
    window->BitBtn1Click();
    EXPECT_EQ(Lines(), QStringList({Q("Ошибка при записи текущей конфигурации в реестр"),
                                    Q("Настройки не записаны в файл " + folder / "missing-config/qel1-agent/QEL1_Agent.ini" +
                                      ": нет такой папки; файл остался прежним")}));
    EXPECT_FALSE(window->isVisible());
    window.reset();  // the save at the end fails too, and does not stop the ending
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
    EXPECT_FALSE(std::filesystem::exists(folder / "missing-config"));
}

TEST_F(SettingsWindow, IsTheProgramsOneWindowForItsWholeLife) {
    Open();
    // Handed over before its creation steps ran: the list was not the log's sink yet.
    EXPECT_EQ(handedOver, window.get());
    EXPECT_EQ(sinkAtHandOver, nullptr);
    EXPECT_NE(state.Log.Sink(), nullptr);
    window.reset();
    EXPECT_EQ(handedOver, nullptr);
    EXPECT_EQ(state.Log.Sink(), nullptr);
    state.Log.Report("nobody listens");  // harmless once the window is gone
    EXPECT_TRUE(bell.rings.empty());
}

}  // namespace
}  // namespace qel::test
