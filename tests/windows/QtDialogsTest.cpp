// The program's real dialogs, answered by a hand that finds them on the screen.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

#include <functional>

#include "Application.h"
#include "GuiTestSupport.h"

namespace qel::test {
namespace {

// Waits for the next modal window, lets `act` answer it, and closes whatever modal window
// is still open after a few seconds, so a test fails instead of waiting for ever.
class Hand {
public:
    explicit Hand(std::function<void(QWidget*)> act) : act_(std::move(act)) {
        QObject::connect(&look_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible()) return;
            look_.stop();
            seen_ = true;
            act_(modal);
        });
        QObject::connect(&deadline_, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
        look_.start(10);
        deadline_.setSingleShot(true);
        deadline_.start(5000);
    }
    bool Seen() const { return seen_; }

private:
    std::function<void(QWidget*)> act_;
    QTimer look_;
    QTimer deadline_;
    bool seen_ = false;
};

QAbstractButton* ButtonOf(QMessageBox* box, QMessageBox::StandardButton which) {
    return box != nullptr ? box->button(which) : nullptr;
}

TEST(RealDialogs, InformationHasCaptionPlainTextAndOneOkButton) {
    QString caption, text;
    int buttons = 0;
    bool plain = false;
    Hand hand([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        text = box->text();
        plain = box->textFormat() == Qt::PlainText;
        buttons = static_cast<int>(box->buttons().size());
        ButtonOf(box, QMessageBox::Ok)->click();
    });
    AppDialogs().Information(nullptr, "Information", Q("соединение 2 не <b>состоялось</b>"));
    EXPECT_TRUE(hand.Seen());
    EXPECT_EQ(caption, "Information");
    EXPECT_EQ(text, Q("соединение 2 не <b>состоялось</b>"));
    EXPECT_TRUE(plain);  // a message never turns into markup
    EXPECT_EQ(buttons, 1);
}

TEST(RealDialogs, ConfirmTellsOkFromCancel) {
    Hand ok([](QWidget* w) { ButtonOf(qobject_cast<QMessageBox*>(w), QMessageBox::Ok)->click(); });
    EXPECT_TRUE(AppDialogs().ConfirmOkCancel(nullptr, "Information", Q("Завершить?")));
    Hand cancel([](QWidget* w) { ButtonOf(qobject_cast<QMessageBox*>(w), QMessageBox::Cancel)->click(); });
    EXPECT_FALSE(AppDialogs().ConfirmOkCancel(nullptr, "Information", Q("Завершить?")));
    EXPECT_TRUE(ok.Seen() && cancel.Seen());
}

TEST(RealDialogs, SecondInstanceBoxHasOnlyCancel) {
    QList<QMessageBox::StandardButton> buttons;
    Hand hand([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* b : box->buttons()) buttons << box->standardButton(b);
        EXPECT_EQ(box->icon(), QMessageBox::Information);
        box->close();  // the window's own close box answers it too
    });
    AppDialogs().InformationCancel(nullptr, "Information", Q("Одна копия программы \"QEL-1 Агент\" уже запущена"));
    EXPECT_TRUE(hand.Seen());
    EXPECT_EQ(buttons, QList<QMessageBox::StandardButton>({QMessageBox::Cancel}));
}

TEST(RealDialogs, ErrorBoxIsCaptionedWithTheApplicationTitle) {
    QString caption;
    Hand hand([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        ButtonOf(box, QMessageBox::Ok)->click();
    });
    AppDialogs().Error(nullptr, "Cannot create file \"x\". No such file or directory");
    EXPECT_EQ(caption, Q("КЭЛ-1 Агент"));
}

// Qt's own texts speak Russian with the program; the captions the program fixes stay
// exactly as they are, the English ones included.
TEST(RealDialogs, QtsStockTextsAreRussianAndTheProgramsOwnCaptionsStay) {
    const auto* app = qobject_cast<TApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    ASSERT_TRUE(app->QtTextsInRussian());
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("qel1-agent"));  // ASCII for the window class
    EXPECT_EQ(ProgramTitle(), Q("КЭЛ-1 Агент"));

    const auto cyrillic = [](const QString& text) {
        return std::any_of(text.begin(), text.end(), [](QChar c) { return c.script() == QChar::Script_Cyrillic; });
    };
    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    QStringList labels;
    for (const QLabel* label : files.findChildren<QLabel*>()) labels << label->text();
    EXPECT_FALSE(labels.contains(QStringLiteral("Look in:"))) << labels.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), cyrillic)) << labels.join(QLatin1Char('|')).toStdString();
    QLineEdit edit;
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList items;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator()) items << action->text();
    EXPECT_FALSE(items.contains(QStringLiteral("&Copy")));
    EXPECT_TRUE(std::all_of(items.begin(), items.end(), cyrillic)) << items.join(QLatin1Char('|')).toStdString();

    QStringList captions;
    Hand hand([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        captions << box->windowTitle() << ButtonOf(box, QMessageBox::Ok)->text()
                 << ButtonOf(box, QMessageBox::Cancel)->text();
        ButtonOf(box, QMessageBox::Cancel)->click();
    });
    AppDialogs().ConfirmOkCancel(nullptr, "Information", Q("Завершить?"));
    EXPECT_EQ(captions, QStringList({"Information", "OK", "Cancel"}));
}

TEST(RealDialogs, ABoxIsCentredOverTheWindowItBelongsTo) {
    QWidget owner;
    owner.setGeometry(297, 157, 245, 123);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    QRect box;
    Hand hand([&](QWidget* w) {
        box = w->frameGeometry();
        ButtonOf(qobject_cast<QMessageBox*>(w), QMessageBox::Ok)->click();
    });
    AppDialogs().ConfirmOkCancel(&owner, "Information", Q("Закрывается окно управления КЭЛ-1М."));
    ASSERT_TRUE(hand.Seen());
    EXPECT_LE((box.center() - owner.frameGeometry().center()).manhattanLength(), 4)
        << box.x() << "," << box.y() << " " << box.width() << "x" << box.height();
}

TEST(RealDialogs, SaveDialogTakesTheFilterAndExtensionOfTheWindowsDialog) {
    TempFolder folder;
    CurrentFolder current(folder.Path());
    QStringList filters;
    QString suffix, title, proposed;
    Hand hand([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->directory().absolutePath(), QDir(QString::fromStdString(folder.Path())).absolutePath());
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        proposed = name->text();
        name->setText("Events");
        static_cast<QDialog*>(dialog)->accept();
    });
    const QString path = AppDialogs().SaveFileName(nullptr, Q("Запись отладочной информации в файл"),
                                                   Q("Log - файлы|*.log"), "*.log", "Events", ".");
    EXPECT_TRUE(hand.Seen());
    EXPECT_EQ(title, Q("Запись отладочной информации в файл"));
    EXPECT_EQ(filters, QStringList({Q("Log - файлы (*.log)")}));
    EXPECT_EQ(suffix, "log");
    EXPECT_EQ(proposed, "Events");
    EXPECT_EQ(path, QString::fromStdString(folder / "Events.log"));  // the extension added

    Hand cancel([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    EXPECT_TRUE(AppDialogs().SaveFileName(nullptr, "t", "qel|*.qel", "*.qel", "Data", ".").isEmpty());
}

TEST(RealDialogs, PrinterDialogReportsTheUsersAnswer) {
    QPrinter printer;
    Hand cancel([](QWidget* w) {
        ASSERT_NE(qobject_cast<QPrintDialog*>(w), nullptr);
        qobject_cast<QDialog*>(w)->reject();
    });
    EXPECT_FALSE(AppDialogs().SelectPrinter(nullptr, printer));
    EXPECT_TRUE(cancel.Seen());
}

}  // namespace
}  // namespace qel::test
