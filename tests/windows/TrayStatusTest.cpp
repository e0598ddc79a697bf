// The tray icon and its hint follow the connections in the real settings window: a mark
// of its own shape for each state at every size, a line per connection in use, the
// settings window's title without a notification area, and Edit1's hint naming the
// full path of the next record.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QSystemTrayIcon>

#include <array>
#include <string>

#include "SettingsWindowRig.h"
#include "StatusIcon.h"

namespace qel::test {
namespace {

const std::array<StatusLevel, 3> kLevels = {StatusLevel::Well, StatusLevel::Waiting, StatusLevel::CannotWrite};

QImage Grey(const QIcon& icon, int size) {
    return icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_Grayscale8);
}

TEST(StatusIcon, EachStateHasAMarkOfItsOwnShapeAtEverySizeAsked) {
    const QIcon program(QStringLiteral(":/qel1-agent.png"));
    ASSERT_FALSE(program.isNull());
    for (int size : {16, 22, 24, 32, 48}) {
        SCOPED_TRACE(size);
        const QImage plain = Grey(program, size);
        for (std::size_t a = 0; a < kLevels.size(); ++a) {
            const QIcon marked = StatusIcon(program, kLevels[a]);
            const QPixmap pixmap = marked.pixmap(QSize(size, size));
            EXPECT_EQ(pixmap.size(), QSize(size, size));
            // Shapes differ even without colour: compared in grey.
            EXPECT_NE(Grey(marked, size), plain);
            for (std::size_t b = a + 1; b < kLevels.size(); ++b)
                EXPECT_NE(Grey(marked, size), Grey(StatusIcon(program, kLevels[b]), size)) << a << " " << b;
        }
    }
}

class TrayStatus : public SettingsWindowRig {
protected:
    void Unplug(int n) { devices[n].reset(); }
    TTrayIcon& Tray() { return window->TrayIcon(); }
    QString Hint() { return Tray().SystemIcon() ? Tray().SystemIcon()->toolTip() : QString(); }
    QImage ShownIcon() { return Tray().SystemIcon()->icon().pixmap(QSize(22, 22)).toImage(); }
    QString LineOfOne(const char* shown) {
        return Q("Соединение 1, COM1 (" + LinkPath(1) + "), КЭЛ-1: ") + Q(shown);
    }
};

TEST_F(TrayStatus, AnUnpluggedDeviceChangesIconAndHintAndItsReturnRestoresBoth) {
    WriteSettings({"Con1check=1", "Con1numCOM=1", "Con1QELType=0", "Con2check=0", "Con2QELType=0"});
    Open();
    ASSERT_TRUE(Tray().InTray());
    ASSERT_NE(Tray().SystemIcon(), nullptr);
    EXPECT_EQ(Tray().Level(), StatusLevel::Well);
    const QStringList well = Hint().split('\n');
    ASSERT_EQ(well.size(), 3) << Hint().toStdString();
    EXPECT_EQ(well[0], Q("Программа для приёма информации от КЭЛ1"));
    EXPECT_EQ(well[1], LineOfOne("на связи, записей ещё не было"));
    EXPECT_EQ(well[2], Q("Следующая запись: " + folder.Path() + "/Data.qel"));
    const QImage wellIcon = ShownIcon();

    Unplug(1);
    ASSERT_TRUE(WaitUntil([&] { return Tray().Level() == StatusLevel::Waiting; }, 2000));
    EXPECT_EQ(Hint().split('\n').value(1), LineOfOne("ожидание устройства: отключено, записей ещё не было"));
    EXPECT_NE(ShownIcon(), wellIcon);

    Device(1);
    ASSERT_TRUE(WaitUntil([&] { return Tray().Level() == StatusLevel::Well; }, 3000));
    EXPECT_EQ(Hint().split('\n').value(1), LineOfOne("на связи, записей ещё не было"));
    EXPECT_EQ(ShownIcon(), wellIcon);
}

TEST_F(TrayStatus, AFiledRecordShowsItsTimeAndAFailedOneTheFileCannotBeWritten) {
    WriteSettings({"Con1check=1", "Con1numCOM=1", "Con1QELType=0", "Con2check=0", "Con2QELType=0"});
    Open();
    Qel1Fields fields = ExampleFields();
    Device(1).SendPacket(fields);
    ASSERT_TRUE(WaitUntil([&] { return Hint().contains(Q("последняя запись ")); }, 4000)) << Hint().toStdString();
    EXPECT_EQ(Tray().Level(), StatusLevel::Well);

    // The data file's folder goes away under the program.
    Control<QLineEdit>("Edit1").setText(Q(folder.Path() + "/gone/Data.qel"));
    fields.record = 2;
    Device(1).SendPacket(fields);
    ASSERT_TRUE(WaitUntil([&] { return Tray().Level() == StatusLevel::CannotWrite; }, 4000)) << Hint().toStdString();
    EXPECT_TRUE(Hint().split('\n').value(1).startsWith(LineOfOne("файл данных недоступен, последняя запись ")));
}

TEST_F(TrayStatus, WithoutANotificationAreaTheTitleTellsTheState) {
    trayAvailable = false;
    WriteSettings({"Con1check=1", "Con1numCOM=1", "Con1QELType=0", "Con2check=0", "Con2QELType=0"});
    Open();
    ASSERT_FALSE(Tray().InTray());
    EXPECT_EQ(window->windowTitle(), Q("Настройка КЭЛ1-Агент — все соединения на связи"));
    Unplug(1);
    ASSERT_TRUE(WaitUntil([&] { return window->windowTitle() == Q("Настройка КЭЛ1-Агент — ожидание устройства"); },
                          2000))
        << window->windowTitle().toStdString();
}

TEST_F(TrayStatus, DataFileHintNamesTheFullPathOfTheNextRecord) {
    WriteSettings({"Con1check=0", "Con2check=0", "SaveFile=records/Data.qel"});
    Open();
    auto& edit = Control<QLineEdit>("Edit1");
    const QString designed = Q("Выбор пути и имени файла, куда будут записываться сообщения от КЭЛ-1");
    EXPECT_EQ(edit.toolTip(), designed + Q("\nСледующая запись: " + folder.Path() + "/records/Data.qel"));
    EXPECT_TRUE(Hint().endsWith(Q("\nСледующая запись: " + folder.Path() + "/records/Data.qel")));
    edit.setText(Q("/var/tmp/./x/../Data.qel"));
    EXPECT_EQ(edit.toolTip(), designed + Q("\nСледующая запись: /var/tmp/Data.qel"));
    Control<QCheckBox>("CB_MultyFiles").setChecked(true);
    EXPECT_EQ(edit.toolTip(), designed + Q("\nСледующая запись: /var/tmp/ДДММГГ.NNN"));
}

}  // namespace
}  // namespace qel::test
