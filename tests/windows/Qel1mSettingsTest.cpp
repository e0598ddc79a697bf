// The QEL-1M control windows inside the real settings window: the device-type change,
// Timer1's polling, filing through the window's data file and the closing question.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "Cp1251.h"
#include "LocalTime.h"
#include "Qel1mProtocol.h"
#include "Qel1mRecord.h"
#include "Qel1mSettingsRig.h"
#include "UQEL1M_Control.h"

namespace qel {
namespace {

using test::Q;

class Qel1mSettings : public test::Qel1mSettingsRig {
protected:

    // Both devices are QEL-1M; the keys given follow the port mapping.
    TComSetup& OpenWith(const std::vector<std::string>& keys) {
        WriteSettings(keys);
        Device(1).SetType(SimDeviceType::Qel1m);
        Device(2).SetType(SimDeviceType::Qel1m);
        TComSetup& w = Open();
        // The test makes every tick itself.
        w.Timer1.stop();
        return w;
    }

    // The user picks an entry of a connection's device-type list.
    void Pick(int connection, int index) {
        auto& list = Control<QComboBox>(connection == 1 ? "CB_QELType1" : "CB_QELType2");
        list.setCurrentIndex(index);
        emit list.activated(index);
    }

    static QString Text(TQEL1M_Control& control, const char* name) {
        return control.findChild<QLineEdit*>(QString::fromLatin1(name))->text();
    }
};

TEST_F(Qel1mSettings, PickingTheTypeOpensDestroysAndReopensWithTheLastName) {
    TComSetup& w = OpenWith({"Con1check=0", "Con1QELType=0", "Con2check=0", "Con2QELType=0", "Name1=Рентген 1"});
    EXPECT_EQ(w.ControlWindow(1), nullptr);
    EXPECT_EQ(w.ControlWindow(2), nullptr);

    Pick(1, 1);  // "КЭЛ-1М", while the connection is not in use
    QPointer<TQEL1M_Control> first = w.ControlWindow(1);
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(Text(*first, "EditName"), Q("Рентген 1"));
    first->findChild<QLineEdit*>(QStringLiteral("EditName"))->setText(Q("Кабинет 3"));
    EXPECT_EQ(w.Options().deviceNames[0], "Кабинет 3");

    Pick(1, 0);  // "КЭЛ-1"
    EXPECT_EQ(w.ControlWindow(1), nullptr);
    EXPECT_TRUE(first.isNull());

    Pick(1, 1);
    ASSERT_NE(w.ControlWindow(1), nullptr);
    EXPECT_EQ(Text(*w.ControlWindow(1), "EditName"), Q("Кабинет 3"));

    // Connection 2 behaves alike and leaves connection 1's window alone.
    Pick(2, 1);
    ASSERT_NE(w.ControlWindow(2), nullptr);
    EXPECT_NE(w.ControlWindow(2), w.ControlWindow(1));
    Pick(2, 0);
    EXPECT_EQ(w.ControlWindow(2), nullptr);
    EXPECT_NE(w.ControlWindow(1), nullptr);

    // The name edited in the window is what Accept stores.
    Control<QPushButton>("BitBtn1").click();
    bool stored = false;
    for (const auto& [key, value] : test::IniSection(IniPath(), "QEL1_Agent"))
        if (key == "Name1") stored = value == "Кабинет 3";
    EXPECT_TRUE(stored);
}

TEST_F(Qel1mSettings, StoredQel1mConnectionsGetTheirWindowsAtStartAndOnCancel) {
    TComSetup& w = OpenWith({"Con1QELType=0", "Con2QELType=1", "Name2=Второй"});
    EXPECT_EQ(w.ControlWindow(1), nullptr);
    TQEL1M_Control* second = w.ControlWindow(2);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(Text(*second, "EditName"), Q("Второй"));

    // A window closed with its close box comes back, the same window, with Cancel.
    second->hide();
    Control<QPushButton>("BitBtn2").click();
    EXPECT_EQ(w.ControlWindow(2), second);
    EXPECT_TRUE(second->isVisible());
}

TEST_F(Qel1mSettings, Timer1PollsQel1mConnectionsInUseAndShowsTheirValues) {
    TComSetup& w = OpenWith({"Con1check=1", "Con1numCOM=1", "Con1QELType=1", "Con2check=0", "Con2numCOM=2",
                             "Con2QELType=1"});
    TQEL1M_Control* window1 = w.ControlWindow(1);
    ASSERT_NE(window1, nullptr);
    Device(1).SetValueWord(0x047B);
    w.Timer1Timer();
    EXPECT_EQ(window1->ValueText(), "12,3");
    EXPECT_EQ(window1->AddressNumber(), "3.45");
    EXPECT_EQ(Device(1).RequestCount(PollCommand), 1u);
    EXPECT_EQ(Device(2).RequestCount(PollCommand), 0u);  // not in use

    // A valid 27-byte reply leaves the value.
    Device(1).SetReplyLength(PollCommand, 27);
    Device(1).SetValueWord(0x007B);
    w.Timer1Timer();
    EXPECT_EQ(Device(1).RequestCount(PollCommand), 2u);
    EXPECT_EQ(window1->ValueText(), "12,3");

    // The in-use box is followed at once, before any Accept.
    Device(1).SetReplyLength(PollCommand, 26);
    Control<QCheckBox>("CheckBox1").setChecked(false);
    w.Timer1Timer();
    EXPECT_EQ(Device(1).RequestCount(PollCommand), 2u);
    Control<QCheckBox>("CheckBox1").setChecked(true);
    w.Timer1Timer();
    EXPECT_EQ(window1->ValueText(), "1,23");

    // A connection of type QEL-1 is not polled.
    Pick(1, 0);
    w.Timer1Timer();
    EXPECT_EQ(Device(1).RequestCount(PollCommand), 3u);
}

TEST_F(Qel1mSettings, TickThatEndsTheWriteHoldOffPollsNothing) {
    TComSetup& w = OpenWith({"Con1check=1", "Con1numCOM=1", "Con1QELType=1", "Con2check=0", "Con2QELType=0"});
    Control<QLineEdit>("Edit1").setText(QString::fromStdString(folder / "missing/Data.qel"));
    w.Writer().Save2File("00001 00001 09:05 03.03.26 00001,230", {});
    ASSERT_TRUE(w.Writer().WriteBlocked());
    const QString report = Q("Ошибка при записи данных в файл, файл не доступен");
    const int reportsBefore = static_cast<int>(Lines().count(report));
    for (unsigned tick = 1; tick <= 9; ++tick) {
        w.Timer1Timer();
        EXPECT_EQ(Device(1).RequestCount(PollCommand), tick);
    }
    w.Timer1Timer();  // the tenth: the hold-off ends and is reported
    EXPECT_EQ(Device(1).RequestCount(PollCommand), 9u);
    EXPECT_EQ(Lines().count(report), reportsBefore + 1);
    EXPECT_FALSE(w.Writer().WriteBlocked());
    w.Timer1Timer();
    EXPECT_EQ(Device(1).RequestCount(PollCommand), 10u);
}

TEST_F(Qel1mSettings, ReceivesOfBothWindowsGoToTheWindowsDataFileAndList) {
    TComSetup& w = OpenWith({"Con1QELType=1", "Con2QELType=1", "SaveFile=" + (folder / "Data.qel")});
    w.ControlWindow(1)->ShowPolledValue("1,23", "3.45");
    w.ControlWindow(2)->ShowPolledValue("12.5", "3.46");
    w.ControlWindow(1)->findChild<QPushButton*>(QStringLiteral("BtnSave"))->click();
    w.ControlWindow(2)->findChild<QPushButton*>(QStringLiteral("BtnSave"))->click();
    EXPECT_EQ(test::ReadBytes(folder / "Data.qel"), "00001 00001 09:05 03.03.26 00001,230\r\n"
                                              "00002 00002 09:05 03.03.26 00012,500\r\n");
    EXPECT_TRUE(HasLine(Q("Принят пакет: 00001 00001 09:05 03.03.26 00001,230")));
    EXPECT_TRUE(HasLine(Q("Принят пакет: 00002 00002 09:05 03.03.26 00012,500")));
    EXPECT_EQ(dialogs.calls.size(), 0u);
}

TEST_F(Qel1mSettings, ClosingTheOnlyControlWindowAndAnsweringOkEndsTheProgram) {
    TComSetup& w = OpenWith({"Con1QELType=1", "Con2QELType=0"});
    int closed = 0;
    QObject::connect(&w, &TComSetup::Closed, [&closed] { ++closed; });
    dialogs.confirmAnswers = {true};
    QPointer<TQEL1M_Control> control = w.ControlWindow(1);
    control->close();
    ASSERT_EQ(dialogs.Count("confirm"), 1);
    EXPECT_EQ(dialogs.calls[0].text, Q("Закрывается окно управления КЭЛ-1М.\r\nЗавершить выполнение всей программы?"));
    EXPECT_EQ(closed, 1);
    // The program's end destroys the settings window, and with it the control window.
    window.reset();
    test::RunEventsFor(0);
    EXPECT_TRUE(control.isNull());
}

TEST_F(Qel1mSettings, CancelHidesTheControlWindowAndPollingGoesOn) {
    TComSetup& w = OpenWith({"Con1check=1", "Con1numCOM=1", "Con1QELType=1", "Con2check=0", "Con2QELType=0"});
    int closed = 0;
    QObject::connect(&w, &TComSetup::Closed, [&closed] { ++closed; });
    dialogs.confirmAnswers = {false};
    TQEL1M_Control* control = w.ControlWindow(1);
    control->close();
    EXPECT_EQ(dialogs.Count("confirm"), 1);
    EXPECT_EQ(closed, 0);
    EXPECT_FALSE(control->isVisible());
    EXPECT_EQ(w.ControlWindow(1), control);
    Device(1).SetValueWord(0x047B);
    w.Timer1Timer();
    EXPECT_EQ(control->ValueText(), "12,3");
}

TEST_F(Qel1mSettings, WithBothWindowsClosingOneAsksNothing) {
    TComSetup& w = OpenWith({"Con1QELType=1", "Con2QELType=1"});
    w.ControlWindow(1)->close();
    EXPECT_EQ(dialogs.Count("confirm"), 0);
    EXPECT_FALSE(w.ControlWindow(1)->isVisible());
    EXPECT_TRUE(w.ControlWindow(2)->isVisible());
}

TEST_F(Qel1mSettings, SettingsWindowDestroysBothControlWindows) {
    TComSetup& w = OpenWith({"Con1QELType=1", "Con2QELType=1"});
    QPointer<TQEL1M_Control> first = w.ControlWindow(1);
    QPointer<TQEL1M_Control> second = w.ControlWindow(2);
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(second.isNull());
    window.reset();
    test::RunEventsFor(0);
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(second.isNull());
}

}  // namespace
}  // namespace qel
