#include "Dialogs.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QStringList>

namespace qel {

namespace {

// Every box and dialog the program shows is announced here (off unless enabled with
// QT_LOGGING_RULES="qel.dialogs.info=true"), so a whole-program run can be followed
// from outside even without a screen.
Q_LOGGING_CATEGORY(lcDialogs, "qel.dialogs", QtWarningMsg)

QString OneLine(QString text) {
    text.replace(QLatin1String("\r"), QLatin1String("\\r"));
    text.replace(QLatin1String("\n"), QLatin1String("\\n"));
    return text;
}

void Announce(const QString& kind, const QString& caption, const QString& text, const QString& buttons) {
    qCInfo(lcDialogs).noquote() << kind + QLatin1String(" | ") + OneLine(caption) + QLatin1String(" | ") +
                                       OneLine(text) + QLatin1String(" | ") + buttons;
}

// "description|pattern|description|pattern" becomes Qt's "description (pattern);;...".
QString QtNameFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QLatin1String(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QLatin1String(";;"));
}

QString BareSuffix(QString suffix) {
    while (suffix.startsWith(QLatin1Char('*')) || suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
    return suffix;
}

// A box centred over the window it belongs to, or over the screen while that window is
// hidden. Window managers that place new windows themselves would put it in a corner.
class CentredMessageBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);  // the box has its final size from here on
        const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
        QRect area;
        if (owner != nullptr && owner->isVisible() && !owner->isMinimized())
            area = owner->frameGeometry();
        else if (const QScreen* shown = screen())
            area = shown->availableGeometry();
        if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
    }
};

// Message boxes show their text as given: a message never turns into markup. The buttons
// keep the program's own captions "OK" and "Cancel" whatever language Qt speaks.
int RunBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
           QMessageBox::StandardButtons buttons) {
    CentredMessageBox box(icon, caption, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    if (QAbstractButton* ok = box.button(QMessageBox::Ok)) ok->setText(QStringLiteral("OK"));
    if (QAbstractButton* cancel = box.button(QMessageBox::Cancel)) cancel->setText(QStringLiteral("Cancel"));
    return box.exec();
}

class QtDialogs final : public Dialogs {
public:
    void Information(QWidget* parent, const QString& caption, const QString& text) override {
        Announce(QStringLiteral("information"), caption, text, QStringLiteral("OK"));
        RunBox(parent, QMessageBox::Information, caption, text, QMessageBox::Ok);
    }

    bool ConfirmOkCancel(QWidget* parent, const QString& caption, const QString& text) override {
        Announce(QStringLiteral("question"), caption, text, QStringLiteral("OK Cancel"));
        return RunBox(parent, QMessageBox::Information, caption, text, QMessageBox::Ok | QMessageBox::Cancel) ==
               QMessageBox::Ok;
    }

    void InformationCancel(QWidget* parent, const QString& caption, const QString& text) override {
        Announce(QStringLiteral("information"), caption, text, QStringLiteral("Cancel"));
        RunBox(parent, QMessageBox::Information, caption, text, QMessageBox::Cancel);
    }

    QString SaveFileName(QWidget* parent, const QString& title, const QString& filter, const QString& defaultSuffix,
                         const QString& proposedName, const QString& initialFolder) override {
        Announce(QStringLiteral("save file"), title, proposedName, QStringLiteral("Save Cancel"));
        QFileDialog dialog(parent, title, initialFolder, QtNameFilter(filter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // Like the system's save dialog without the overwrite prompt: a second save
        // to the same name simply replaces the file.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog.setDefaultSuffix(BareSuffix(defaultSuffix));
        dialog.selectFile(proposedName);
        if (dialog.exec() != QDialog::Accepted) return {};
        const QStringList files = dialog.selectedFiles();
        return files.isEmpty() ? QString() : files.front();
    }

    bool SelectPrinter(QWidget* parent, QPrinter& printer) override {
        Announce(QStringLiteral("printer"), QString(), QString(), QStringLiteral("Print Cancel"));
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }

    void Error(QWidget* parent, const QString& text) override {
        const QString caption = ProgramTitle();
        Announce(QStringLiteral("error"), caption, text, QStringLiteral("OK"));
        RunBox(parent, QMessageBox::Critical, caption, text, QMessageBox::Ok);
    }

    int RunModal(QDialog& dialog) override {
        Announce(QStringLiteral("window"), dialog.windowTitle(), QString(), QString());
        return dialog.exec();
    }
};

Dialogs* g_dialogs = nullptr;
QString* g_programTitle = nullptr;

}  // namespace

void Dialogs::InformationCancel(QWidget* parent, const QString& caption, const QString& text) {
    Information(parent, caption, text);
}

int Dialogs::RunModal(QDialog& dialog) { return dialog.exec(); }

Dialogs& AppDialogs() {
    static QtDialogs real;
    return g_dialogs != nullptr ? *g_dialogs : real;
}

void SetAppDialogs(Dialogs* dialogs) { g_dialogs = dialogs; }

QString ProgramTitle() { return g_programTitle != nullptr ? *g_programTitle : QCoreApplication::applicationName(); }

void SetProgramTitle(const QString& title) {
    static QString stored;
    stored = title;
    g_programTitle = &stored;
}

}  // namespace qel
