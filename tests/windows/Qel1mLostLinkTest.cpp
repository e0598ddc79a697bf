// A QEL-1M whose adapter is pulled while its control window is up: the window says there
// is no link, files and zeroes nothing, and is itself again once the device answers.
#include <gtest/gtest.h>

#include <QComboBox>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

#include "LocalTime.h"
#include "Qel1mProtocol.h"
#include "Qel1mRecord.h"
#include "Qel1mSettingsRig.h"
#include "UQEL1M_Control.h"

namespace qel {
namespace {

using test::Q;

class Qel1mLostLink : public test::Qel1mSettingsRig {
protected:
    Simulator& Qel1m(int n) {
        Simulator& device = Device(n);
        device.SetType(SimDeviceType::Qel1m);
        return device;
    }
    static void Click(TQEL1M_Control& control, const char* button) {
        control.findChild<QPushButton*>(QString::fromLatin1(button))->click();
    }
    static QLineEdit& Value(TQEL1M_Control& control) {
        return *control.findChild<QLineEdit*>(QStringLiteral("Edit"));
    }
    std::string DataFile() const { return test::ReadBytes(folder / "Data.qel"); }
};

TEST_F(Qel1mLostLink, WhileLostNothingIsFiledOrZeroedAndPollsResumeWhenTheDeviceReturns) {
    WriteSettings({"Con1check=1", "Con1numCOM=1", "Con1Speed=0", "Con1QELType=1", "Con2check=0", "Con2QELType=0",
                   "SaveFile=" + (folder / "Data.qel")});
    Qel1m(1).SetValueWord(0x047B);
    TComSetup& w = Open();
    TQEL1M_Control* control = w.ControlWindow(1);
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(test::WaitUntil([&] { return control->ValueText() == "12,3"; }, 3000));
    EXPECT_TRUE(Value(*control).isEnabled());

    devices[1].reset();  // unplugged
    ASSERT_TRUE(WaitForLine(Q("соединение 1 потеряно (" + LinkPath(1) + ")"), 3000));
    EXPECT_TRUE(control->LinkLost());
    EXPECT_EQ(control->StatusText(), "Нет связи с прибором");
    EXPECT_EQ(control->ValueText(), "12,3");  // the last good value stays, greyed
    EXPECT_FALSE(Value(*control).isEnabled());

    // Receive, receive and print, and zeroing: nothing is filed or sent, and each says why.
    Click(*control, "BtnSave");
    Click(*control, "BtnPrint");
    Click(*control, "BtnClear");
    EXPECT_EQ(DataFile(), "");
    EXPECT_EQ(Lines().count(Q("соединение 1: нет связи с прибором, значение не принято")), 2);
    EXPECT_EQ(Lines().count(Q("соединение 1: нет связи с прибором, обнуление не выполнено")), 1);
    EXPECT_FALSE(Lines().join('\n').contains(Q("Принят пакет")));
    EXPECT_EQ(dialogs.calls.size(), 0u);  // no printer dialog; screen messages are off
    EXPECT_EQ(state.RecordNumbers.NextRecordNumber, 1);
    EXPECT_EQ(control->StatusText(), "Нет связи с прибором");

    // Plugged in again at the same link, with a new value.
    QElapsedTimer back;
    back.start();
    Qel1m(1).SetValueWord(0x007B);
    ASSERT_TRUE(test::WaitUntil([&] { return control->ValueText() == "1,23" && !control->LinkLost(); }, 2000))
        << Lines().join('\n').toStdString();
    EXPECT_LT(back.elapsed(), 2000);
    EXPECT_TRUE(HasLine(Q("соединение 1 восстановлено")));
    EXPECT_TRUE(Value(*control).isEnabled());
    EXPECT_EQ(control->StatusText(), "");

    Click(*control, "BtnSave");
    EXPECT_EQ(DataFile(), "00001 00001 09:05 03.03.26 00001,230\r\n");
    Click(*control, "BtnClear");
    EXPECT_TRUE(test::WaitUntil([&] { return Device(1).RequestCount(ZeroCommand) == 1; }, 2000));
}

TEST_F(Qel1mLostLink, AWindowOpenedWhileTheLinkIsLostKnowsIt) {
    WriteSettings({"Con1check=1", "Con1numCOM=1", "Con1QELType=0", "Con2check=0", "Con2QELType=0",
                   "SaveFile=" + (folder / "Data.qel")});
    TComSetup& w = Open();
    ASSERT_TRUE(w.ComDriver1.IsConnected());
    devices[1].reset();
    ASSERT_TRUE(WaitForLine(Q("соединение 1 потеряно (" + LinkPath(1) + ")"), 3000));

    Control<QComboBox>("CB_QELType1").setCurrentIndex(1);
    w.CB_QELType1Change();
    ASSERT_NE(w.ControlWindow(1), nullptr);
    EXPECT_TRUE(w.ControlWindow(1)->LinkLost());
    Click(*w.ControlWindow(1), "BtnSave");
    EXPECT_EQ(DataFile(), "");
}

}  // namespace
}  // namespace qel
