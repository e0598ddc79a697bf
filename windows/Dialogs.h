#pragma once
#include <QString>
#include <exception>

class QDialog;
class QWidget;
class QPrinter;

namespace qel {

// Every modal dialog of the program goes through this interface, so tests can answer them.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Information box with one "OK" button.
    virtual void Information(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Information box with "OK" and "Cancel"; true on OK.
    virtual bool ConfirmOkCancel(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Save-file dialog; returns the chosen full path, or an empty string when cancelled.
    // The filter lists description and pattern pairs divided by "|" ("Log - файлы|*.log");
    // the default extension may be given as "*.log", ".log" or "log".
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& defaultSuffix, const QString& proposedName,
                                 const QString& initialFolder) = 0;
    // Printer selection dialog; true when the user confirmed it (printer then set up).
    virtual bool SelectPrinter(QWidget* parent, QPrinter& printer) = 0;
    // The application's general error box (caption: the application title).
    virtual void Error(QWidget* parent, const QString& text) = 0;
    // Information box whose only button is "Cancel". Scripted dialogs may leave it to
    // Information.
    virtual void InformationCancel(QWidget* parent, const QString& caption, const QString& text);
    // Runs one of the program's own modal windows (the About window); returns its result.
    virtual int RunModal(QDialog& dialog);
};

// The program's title as people read it ("КЭЛ-1 Агент"): the caption of the general
// error box. The application's name stays an ASCII one for the window system.
QString ProgramTitle();
void SetProgramTitle(const QString& title);

// The program's dialogs: real Qt dialogs unless a test has put its own in place.
Dialogs& AppDialogs();
void SetAppDialogs(Dialogs* dialogs);  // null restores the real dialogs

// Runs the work of a slot, or of a handler the event loop calls. An exception that left
// the slot would be undefined behaviour in Qt: one that the work lets out becomes the
// general error box with its text, over `parent`, and the program goes on.
template <class Work>
void RunHandler(QWidget* parent, Work&& work) {
    try {
        work();
    } catch (const std::exception& e) {
        AppDialogs().Error(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        AppDialogs().Error(parent, QStringLiteral("Unknown exception"));
    }
}

}  // namespace qel
