// The tray facility (with a notification area and without one), the About window and
// the two things the program hands to the desktop: the help file and the web address.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QUrl>

#include "DesignedWindows.h"
#include "FixedLayoutFont.h"
#include "HelpDocument.h"
#include "SAbout.h"
#include "SettingsWindowRig.h"

namespace qel::test {

// Receives the addresses the program asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    explicit UrlCatcher(const QString& scheme) : scheme_(scheme) {
        QDesktopServices::setUrlHandler(scheme_, this, "Open");
    }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(scheme_); }

    QList<QUrl> urls;

public slots:
    void Open(const QUrl& url) { urls << url; }

private:
    QString scheme_;
};

namespace {

using TrayIcon = SettingsWindowRig;

TEST_F(TrayIcon, OffersAboutSettingsAndExitOnTheRightButton) {
    Open();
    TTrayIcon& tray = window->TrayIcon();
    ASSERT_TRUE(tray.InTray());
    ASSERT_NE(tray.SystemIcon(), nullptr);
    EXPECT_EQ(tray.SystemIcon()->toolTip().split('\n').value(0), Q("Программа для приёма информации от КЭЛ1"));
    EXPECT_FALSE(tray.SystemIcon()->icon().isNull());
    auto& menu = Control<QMenu>("PopupMenu2");
    EXPECT_EQ(tray.SystemIcon()->contextMenu(), &menu);

    // Its entries and their texts are pinned with the settings window's menus.
    EXPECT_EQ(menu.defaultAction(), nullptr);  // a double click runs nothing

    // The icon goes with the window.
    QPointer<QSystemTrayIcon> icon(tray.SystemIcon());
    window.reset();
    EXPECT_TRUE(icon.isNull());
}

TEST_F(TrayIcon, SettingsEntryShowsTheWindowAndChangesNothing) {
    WriteSettings({"Con1check=0", "Rewrite=1"});
    const std::string before = ReadBytes(IniPath());
    Open();
    ASSERT_FALSE(window->isVisible());
    Control<QAction>("actOptions").trigger();
    EXPECT_TRUE(window->isVisible());
    Control<QAction>("actOptions").trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(Control<QCheckBox>("CB_Rewrite").isChecked());
    EXPECT_EQ(ReadBytes(IniPath()), before);
    EXPECT_TRUE(Lines().isEmpty());
}

TEST_F(TrayIcon, MinimisingHidesTheWindowAndSettingsBringsItBack) {
    Open();
    window->ShowMainWindow();
    window->showMinimized();
    EXPECT_TRUE(WaitUntil([&] { return !window->isVisible(); }, 2000));
    window->ShowMainWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
}

TEST_F(TrayIcon, ShowAndHideDoNothingBeforeTheWindowIsTheMainWindow) {
    Open();
    TTrayIcon early(nullptr, [] { return true; });
    early.ShowMainWindow();
    early.HideMainWindow();
    EXPECT_EQ(early.MainWindow(), nullptr);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->TrayIcon().MainWindow(), window.get());
}

TEST_F(TrayIcon, WithoutANotificationAreaTheWindowLivesMinimisedOnTheTaskBar) {
    trayAvailable = false;
    Open();
    EXPECT_FALSE(window->TrayIcon().InTray());
    EXPECT_EQ(window->TrayIcon().SystemIcon(), nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);

    Control<QAction>("actOptions").trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    window->BitBtn1Click();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
    RunEventsFor(100);
    EXPECT_TRUE(window->isVisible());  // minimised, not hidden
}

// Counts the paints of one widget.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
    int paints = 0;
};

// Minimised on the task bar, the window is seen by nobody: the caret of the line edit that
// had the focus stops blinking, so nothing in it is painted; restored, the edit has the
// focus again and its caret blinks as before.
TEST_F(TrayIcon, AMinimisedWindowPaintsNoBlinkingCaret) {
    trayAvailable = false;
    Open();
    Control<QAction>("actOptions").trigger();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto& edit = Control<QLineEdit>("Edit1");
    edit.setFocus();
    ASSERT_TRUE(WaitUntil([&] { return edit.hasFocus(); }));
    PaintCounter counter;
    edit.installEventFilter(&counter);
    RunEventsFor(3 * QApplication::cursorFlashTime() / 2);
    // Shown with the focus, its caret blinks: the edit is painted.
    ASSERT_GT(counter.paints, 0);

    window->HideMainWindow();
    ASSERT_TRUE(window->isMinimized());
    RunEventsFor(100);
    // Nor does a focus that comes while it lies minimised stay (a window that starts so).
    edit.setFocus();
    RunEventsFor(100);
    counter.paints = 0;
    RunEventsFor(3 * QApplication::cursorFlashTime() / 2);
    EXPECT_EQ(counter.paints, 0);
    EXPECT_FALSE(edit.hasFocus());

    Control<QAction>("actOptions").trigger();
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(WaitUntil([&] { return edit.hasFocus(); }));
    // Shown again with the focus, the caret blinks again.
    counter.paints = 0;
    RunEventsFor(3 * QApplication::cursorFlashTime() / 2);
    EXPECT_GT(counter.paints, 0);
    edit.removeEventFilter(&counter);
}

TEST_F(TrayIcon, ANotificationAreaThatAppearsLaterTakesTheWindowFromTheTaskBar) {
    trayAvailable = false;
    Open();
    ASSERT_TRUE(window->isMinimized());
    RunEventsFor(TTrayIcon::kWatchIntervalMs + 200);
    EXPECT_FALSE(window->TrayIcon().InTray());

    trayAvailable = true;
    ASSERT_TRUE(WaitUntil([&] { return window->TrayIcon().InTray(); }, 3 * TTrayIcon::kWatchIntervalMs));
    ASSERT_NE(window->TrayIcon().SystemIcon(), nullptr);
    EXPECT_EQ(window->TrayIcon().SystemIcon()->contextMenu(), &Control<QMenu>("PopupMenu2"));
    EXPECT_FALSE(window->isVisible());  // behind the icon now, off the task bar

    // From now on as in tray mode: shown from the menu, hidden (not minimised) on Accept.
    Control<QAction>("actOptions").trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    window->BitBtn1Click();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(TrayIcon, AboutWindowIsMadeAndDestroyedAtEachOpening) {
    Open();
    int openings = 0;
    dialogs.inModal = [&](QDialog& dialog) {
        ++openings;
        auto* about = qobject_cast<TAboutBox*>(&dialog);
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->parentWidget(), window.get());
        ExpectAsDesigned(*about, AboutWindowDesign());
        EXPECT_EQ(about->minimumSize(), about->maximumSize());
        EXPECT_TRUE(about->findChild<QLabel*>("Version")->alignment() & Qt::AlignHCenter);
        EXPECT_FALSE(about->findChild<QLabel*>("ProgramIcon")->pixmap().isNull());
        EXPECT_TRUE(about->findChild<QPlainTextEdit*>("Comments")->isReadOnly());
        EXPECT_TRUE(about->findChild<QPlainTextEdit*>("Comments")->toPlainText().contains(Q("COM-порт")));
        auto* web = about->findChild<QLabel*>("WebAddress");
        EXPECT_TRUE(web->font().bold());
        EXPECT_EQ(web->font().family(), about->font().family());
        EXPECT_EQ(web->palette().color(QPalette::WindowText), QColor(Qt::blue));
        EXPECT_LE(QFontMetrics(web->font()).horizontalAdvance(web->text()), web->width());
        EXPECT_TRUE(CaptionsFit(about));
        auto* ok = about->findChild<QPushButton*>("OKButton");
        EXPECT_TRUE(ok->isDefault());
        QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_EQ(about->result(), QDialog::Accepted);
    };
    Control<QAction>("actAbout").trigger();  // from the tray
    Control<QAction>("N7").trigger();        // from the menu
    EXPECT_EQ(openings, 2);
    EXPECT_EQ(dialogs.Count("window"), 2);
    EXPECT_TRUE(window->findChildren<TAboutBox*>().isEmpty());
}

TEST_F(TrayIcon, AboutLinkOpensTheMakersAddressInTheBrowser) {
    UrlCatcher browser(QStringLiteral("https"));
    TAboutBox about(nullptr);
    about.show();
    auto* link = about.findChild<QLabel*>("WebAddress");
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(browser.urls.size(), 1);
    EXPECT_EQ(browser.urls[0], about.WebAddress());
    EXPECT_EQ(browser.urls[0], QUrl("https://qel-agent.example.org"));
    EXPECT_TRUE(about.isVisible());  // the click opens the address and nothing else
}

TEST_F(TrayIcon, HelpOpensTheUtf8DocumentationBesideTheProgram) {
    // Not the one in the current folder: the copy that a Linux desktop can read.
    WriteBytes(folder / "Readme.utf8.txt", "Что делает программа\n");
    UrlCatcher viewer(QStringLiteral("file"));
    Open();
    Control<QAction>("N3").trigger();
    ASSERT_EQ(viewer.urls.size(), 1);
    EXPECT_EQ(viewer.urls[0], QUrl::fromLocalFile(Q((folder / "Readme.utf8.txt").c_str())));
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_TRUE(Lines().isEmpty());
}

TEST_F(TrayIcon, HelpThatCannotBeShownIsToldInTheList) {
    UrlCatcher viewer(QStringLiteral("file"));
    Open();
    Control<QAction>("N3").trigger();
    EXPECT_TRUE(viewer.urls.isEmpty());
    EXPECT_EQ(Lines(), QStringList{Q(("Файл справки не найден: " + folder / "Readme.utf8.txt").c_str())});
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_TRUE(bell.rings.empty());
}

TEST(HelpDocument, SaysWhyItCouldNotBeOpened) {
    TempFolder dir;
    const std::string path = dir / "Readme.utf8.txt";
    QList<QUrl> asked;
    const auto viewer = [&](bool starts) {
        return [&asked, starts](const QUrl& url) {
            asked << url;
            return starts;
        };
    };
    EXPECT_EQ(OpenHelpDocument(path, viewer(true)), "Файл справки не найден: " + path);
    EXPECT_TRUE(asked.isEmpty());
    WriteBytes(path, "text");
    EXPECT_EQ(OpenHelpDocument(path, viewer(false)),
              "Не удалось открыть справку " + path + ": не найдена программа для просмотра текстовых файлов");
    EXPECT_EQ(OpenHelpDocument(path, viewer(true)), "");
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[1], QUrl::fromLocalFile(Q(path.c_str())));
    // A folder by that name is no document.
    TempFolder other;
    std::filesystem::create_directory(other / "Readme.utf8.txt");
    EXPECT_EQ(OpenHelpDocument(other / "Readme.utf8.txt", viewer(true)),
              "Файл справки не найден: " + other / "Readme.utf8.txt");
}

// Where no program opens the help text, the program shows it in a read-only window of its
// own; the list gets a line only when the text cannot be read at all.
TEST(HelpDocument, WithoutAViewerItShowsInAWindowOfItsOwn) {
    TempFolder dir;
    const std::string path = dir / "Readme.utf8.txt";
    WriteBytes(path, "Что делает программа\nВторая строка\n");
    ScriptedDialogs dialogs;
    QString shown;
    bool readOnly = false;
    dialogs.inModal = [&](QDialog& window) {
        if (auto* text = window.findChild<QPlainTextEdit*>("HelpText")) {
            shown = text->toPlainText();
            readOnly = text->isReadOnly();
        }
    };
    int asked = 0;
    const auto noViewer = [&](const QUrl&) {
        ++asked;
        return false;
    };
    EXPECT_EQ(ShowHelpDocument(nullptr, path, noViewer), "");
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(dialogs.Count("window"), 1);
    EXPECT_EQ(dialogs.calls[0].caption, Q("Справка"));
    EXPECT_EQ(shown, Q("Что делает программа\nВторая строка\n"));
    EXPECT_TRUE(readOnly);
    // A viewer that opens it: no window.
    EXPECT_EQ(ShowHelpDocument(nullptr, path, [](const QUrl&) { return true; }), "");
    EXPECT_EQ(dialogs.Count("window"), 1);
    // A missing file: the list's line, no window.
    EXPECT_EQ(ShowHelpDocument(nullptr, dir / "none.txt", noViewer), "Файл справки не найден: " + dir / "none.txt");
    EXPECT_EQ(dialogs.Count("window"), 1);
}

}  // namespace
}  // namespace qel::test

#include "TrayAndAboutTest.moc"
