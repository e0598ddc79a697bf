// A QEL-1 whose adapter is pulled and plugged in again, in the real settings window:
// the loss reported once, the port reopened behind its symbolic link, nothing lost or
// filed twice.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "Qel1Samples.h"
#include "SettingsWindowRig.h"

namespace qel::test {
namespace {

class LostDevice : public SettingsWindowRig {
protected:
    // The device on COMn goes: its end of the line closes and its link disappears.
    void Unplug(int n) { devices[n].reset(); }

    static Qel1Fields Record(uint16_t number) { return Qel1Sample(5, number, {11, 30}, {8, 12, 26}, 42, 5); }
    static QString Filed(int number) {
        return Q("Принят пакет: 00005 0000" + std::to_string(number) + " 11:30 08.12.26 00042,500");
    }
};

TEST_F(LostDevice, Qel1OnConnectionTwoIsReportedOnceReopenedBehindItsLinkAndFilesOnInOrder) {
    WriteSettings({"Con1check=0", "Con2check=1", "Con2numCOM=2", "Con2Speed=1", "Con1QELType=0", "Con2QELType=0"});
    Open();
    ASSERT_TRUE(window->ComDriver2.IsConnected());
    Device(2).SendPacket(Record(1));
    ASSERT_TRUE(WaitForLine(Filed(1), 4000));

    Unplug(2);
    const QString lost = Q("соединение 2 потеряно (" + LinkPath(2) + ")");
    ASSERT_TRUE(WaitForLine(lost, 3000)) << Lines().join('\n').toStdString();
    EXPECT_FALSE(window->ComDriver2.IsConnected());  // the dead port is let go
    RunEventsFor(1500);                               // a few tries while it is away
    EXPECT_EQ(Lines().count(lost), 1);
    EXPECT_EQ(bell.Count(BeepKind::Question), 1);

    // Plugged in again: a new terminal behind the same link.
    QElapsedTimer back;
    back.start();
    Device(2);
    ASSERT_TRUE(WaitForLine(Q("соединение 2 восстановлено"), 2000)) << Lines().join('\n').toStdString();
    EXPECT_LT(back.elapsed(), 2000);
    Device(2).SendPacket(Record(2));
    ASSERT_TRUE(WaitForLine(Filed(2), 4000));

    RunEventsFor(500);
    EXPECT_EQ(ReadBytes(folder / "Data.qel"), "00005 00001 11:30 08.12.26 00042,500\r\n"
                                              "00005 00002 11:30 08.12.26 00042,500\r\n");
    EXPECT_EQ(Lines().count(lost), 1);
    EXPECT_EQ(Lines().count(Q("соединение 2 восстановлено")), 1);
}

TEST_F(LostDevice, AFailedOpenAfterAcceptIsReportedOnceAndTriedUntilTheDeviceReturns) {
    WriteSettings({"Con1check=1", "Con1numCOM=1", "Con1QELType=0", "Con2check=0", "Con2QELType=0"});
    Open();
    ASSERT_TRUE(window->ComDriver1.IsConnected());
    Unplug(1);
    ASSERT_TRUE(WaitForLine(Q("соединение 1 потеряно (" + LinkPath(1) + ")"), 3000));
    ASSERT_TRUE(window->Keeper().Lost(1));

    // Accept: the port is tried once more, fails and says why; then it is tried quietly.
    window->BitBtn1Click();
    EXPECT_TRUE(window->Keeper().Lost(1));
    EXPECT_EQ(Lines().mid(Lines().size() - 2),
              QStringList({Q("соединение 1 не состоялось"), Q("соединение 1: " + LinkPath(1) + " - нет такого устройства")}));
    const auto linesAfterAccept = Lines().size();
    RunEventsFor(1500);
    EXPECT_EQ(Lines().size(), linesAfterAccept);
    Device(1);
    ASSERT_TRUE(WaitUntil([&] { return Lines().count(Q("соединение 1 состоялось")) == 2; }, 3000));
    EXPECT_TRUE(window->ComDriver1.IsConnected());
    EXPECT_FALSE(window->Keeper().Lost(1));
}

}  // namespace
}  // namespace qel::test
