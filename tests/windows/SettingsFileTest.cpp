// The settings window and the port dialog against settings files that cannot be written,
// cannot be read or cannot hold a value, and how often a start reads the file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>
#include <functional>
#include <optional>

#include "Configuration.h"
#include "Cp1251.h"
#include "FileEvents.h"
#include "ProfileFile.h"
#include "SPorts.h"
#include "ScopedEnvironment.h"
#include "SettingsWindowRig.h"

namespace qel::test {
namespace {

namespace fs = std::filesystem;

using SettingsFile = SettingsWindowRig;

const QString kWriteError = QString::fromUtf8("Ошибка при записи текущей конфигурации в реестр");

// A save that fails, on "Принять" or at the end, is reported, not thrown: "Принять" names
// the file and the reason in the list and in the box (screen messages on), and no general
// error box comes; the old file stays whole, and the window still hides.
TEST_F(SettingsFile, AFailedSaveIsNamedWithTheFileAndTheReasonAndTheOldFileStaysWhole) {
    struct Case {
        const char* name;
        std::function<std::string()> prepare;  // gives the settings file's path
        std::string reason;
    };
    std::optional<ScopedEnvironment> environment;
    const std::vector<Case> cases{
        {"read-only file",
         [&] {
             WriteIni(IniPath(), {"[QEL1_Agent]", "ScreenMessages=1", "Name1=Кабинет"});
             ::chmod(IniPath().c_str(), 0444);
             return IniPath();
         },
         "файл только для чтения"},
        {"XDG_CONFIG_HOME naming a file, for an installed program",
         [&] {
             WriteBytes(folder / "config", "not a folder");
             environment.emplace("XDG_CONFIG_HOME", (folder / "config").c_str());
             executableFolder = folder / "read-only-bin/";  // no such folder: installed
             return folder / "config/qel1-agent/QEL1_Agent.ini";
         },
         "в пути к нему не папка"},
        {"a folder at the settings file's path",
         [&] {
             fs::create_directories(folder / "dir/QEL1_Agent.ini");
             executableFolder = folder / "dir/";
             return folder / "dir/QEL1_Agent.ini";
         },
         "на его месте папка"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.prepare();
        ASSERT_EQ(ConfigurationFilePath(LocateProgramFolders(executableFolder, FolderEnvironment::FromProcess())),
                  path);
        const std::string before = fs::is_regular_file(path) ? ReadBytes(path) : std::string();
        dialogs.calls.clear();
        Open();
        Control<QCheckBox>("CB_ErrMes").setChecked(true);
        window->ShowMainWindow();
        EXPECT_NO_THROW(Control<QPushButton>("BitBtn1").click());
        EXPECT_EQ(dialogs.Count("error"), 0);
        const QString detail = Q(SettingsNotSavedText(path, c.reason));
        EXPECT_EQ(Lines().mid(Lines().size() - 2), QStringList({kWriteError, detail}));
        ASSERT_EQ(dialogs.Count("information"), 1);
        EXPECT_EQ(dialogs.calls.back().text, kWriteError + "\n" + detail);
        EXPECT_FALSE(window->isVisible());
        if (!before.empty()) {
            EXPECT_EQ(ReadBytes(path), before);
        }
        window.reset();  // the save at the end fails as well, without a box
        EXPECT_EQ(dialogs.Count("information"), 1);
        if (!before.empty()) {
            EXPECT_EQ(ReadBytes(path), before);
        }
        executableFolder = folder.Path() + "/";
        environment.reset();
    }
}

TEST_F(SettingsFile, ASettingsFileThatCannotBeReadIsNamedInTheList) {
    ASSERT_EQ(::mkfifo(IniPath().c_str(), 0600), 0);
    Open();
    EXPECT_TRUE(HasLine(Q(SettingsNotReadText(IniPath(), "на его месте именованный канал")))) << Lines().join("\n").toStdString();
    // The defaults stand, as for a missing file.
    EXPECT_EQ(Control<QLineEdit>("Edit1").text(), QStringLiteral("Data.qel"));
    window.reset();
    struct stat st {};
    ASSERT_EQ(::lstat(IniPath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(SettingsFile, AValueACodePage1251FileCannotHoldIsNamedAndThePreviousOneKept) {
    WriteIni(IniPath(), {"[QEL1_Agent]", "SaveFile=/srv/Данные.qel", "Name1=Кабинет"});
    Open();
    Control<QLineEdit>("Edit1").setText(Q("/srv/Café 中/Data.qel"));
    window->BitBtn1Click();
    const UnkeptValue unkept{"SaveFile", "/srv/Данные.qel", "/srv/Café 中/Data.qel", "é中"};
    EXPECT_EQ(Lines().last(), Q(ValueNotKeptText(IniPath(), unkept)));
    EXPECT_EQ(Lines().last(), Q("Символы \"é中\" нельзя сохранить в файле настроек " + IniPath() +
                                " (кодовая страница 1251): для SaveFile оставлено прежнее значение \"/srv/Данные.qel\""));
    EXPECT_EQ(Control<QLineEdit>("Edit1").text(), Q("/srv/Данные.qel"));
    EXPECT_EQ(GetProfileString(IniPath(), "QEL1_Agent", "SaveFile", ""), "/srv/Данные.qel");
    EXPECT_EQ(ReadBytes(IniPath()).find('?'), std::string::npos);

    // A UTF-8 file takes the value as UTF-8.
    WriteBytes(IniPath(), "[QEL1_Agent]\r\nSaveFile=/srv/Данные.qel\r\nName1=Кабинет\r\n");
    window->BitBtn2Click();  // reads the file again
    Control<QLineEdit>("Edit1").setText(Q("/srv/Café 中/Data.qel"));
    const qsizetype lines = Lines().size();
    window->BitBtn1Click();
    EXPECT_EQ(Lines().size(), lines);
    EXPECT_EQ(GetProfileString(IniPath(), "QEL1_Agent", "SaveFile", ""), "/srv/Café 中/Data.qel");
    EXPECT_NE(ReadBytes(IniPath()).find("SaveFile=/srv/Café 中/Data.qel\r\nName1=Кабинет\r\n"), std::string::npos);
}

TEST_F(SettingsFile, ThePortDialogNamesWhatTheFileCannotHoldAndKeepsTheBinding) {
    WriteIni(IniPath(), {"[Ports]", "COM1=/dev/ttyUSB0", "[QEL1_Agent]", "Name1=Кабинет"});
    const std::string before = ReadBytes(IniPath());
    TPortsDialog dialog(nullptr, IniPath(), SerialDeviceSource{folder.Path(), {}});
    dialog.show();
    dialog.PortBox(1).setEditText(Q("/dev/serial/by-id/usb-Müller_GmbH"));
    dialog.PortBox(2).setEditText(Q("/dev/ttyUSB1"));
    dialog.accept();
    ASSERT_EQ(dialogs.Count("error"), 1);
    EXPECT_EQ(dialogs.calls[0].text,
              Q("Символы \"ü\" нельзя сохранить в файле настроек " + IniPath() +
                " (кодовая страница 1251): для COM1 оставлено прежнее значение \"/dev/ttyUSB0\""));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.PortBox(1).currentText(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(ReadBytes(IniPath()), before);
    // What can be kept is written on the next OK.
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(GetProfileString(IniPath(), "Ports", "COM2", ""), "/dev/ttyUSB1");
    EXPECT_EQ(GetProfileString(IniPath(), "Ports", "COM1", ""), "/dev/ttyUSB0");
}

// A start reads the settings file a fixed number of times: the fifteen keys once, [Ports]
// once for the port hints, and once per connection in use as its port opens.
TEST_F(SettingsFile, AStartReadsTheFileOnceForTheKeysOnceForTheHintsAndOncePerPortOpened) {
    for (const bool both : {false, true}) {
        SCOPED_TRACE(both ? "both connections in use" : "none in use");
        WriteSettings({both ? "Con1check=1" : "Con1check=0", both ? "Con2check=1" : "Con2check=0", "Con1numCOM=1",
                       "Con2numCOM=2"});
        FileEvents events(folder.Path(), "QEL1_Agent.ini");
        Open();
        EXPECT_EQ(events.Take().first, both ? 4 : 2);
        // The hints of both lists name their devices from that one reading.
        EXPECT_EQ(Control<QComboBox>("ComboBox1").itemData(2, Qt::ToolTipRole).toString(), Q(LinkPath(3)));
        window.reset();
        events.Take();
    }
}

}  // namespace
}  // namespace qel::test
