#pragma once
// What the window tests share: dialogs answered by the test, a bell that is listened to,
// and bounded waits that keep the Qt event loop running; INI files are read and written
// as bytes with TestFiles.h.
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "Bell.h"
#include "Dialogs.h"
#include "TestFiles.h"

namespace qel::test {

inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
inline QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

// Runs the event loop until `done` holds or `timeoutMs` passed; tells whether it held.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// Runs the event loop for a while (to see that something does not happen).
inline void RunEventsFor(int ms) {
    WaitUntil([] { return false; }, ms);
}

struct DialogCall {
    std::string kind;  // information, confirm, information-cancel, save, printer, error, window
    QString caption;
    QString text;
    QString filter;
    QString suffix;
    QString proposedName;
    QString folder;
    QWidget* parent = nullptr;
};

// Answers every dialog as the test scripted it and records what was asked.
class ScriptedDialogs : public Dialogs {
public:
    ScriptedDialogs() { SetAppDialogs(this); }
    ~ScriptedDialogs() override { SetAppDialogs(nullptr); }
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    void Information(QWidget* parent, const QString& caption, const QString& text) override {
        Box({"information", caption, text, {}, {}, {}, {}, parent});
    }
    bool ConfirmOkCancel(QWidget* parent, const QString& caption, const QString& text) override {
        Box({"confirm", caption, text, {}, {}, {}, {}, parent});
        if (confirmAnswers.empty()) return false;
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    void InformationCancel(QWidget* parent, const QString& caption, const QString& text) override {
        Box({"information-cancel", caption, text, {}, {}, {}, {}, parent});
    }
    QString SaveFileName(QWidget* parent, const QString& title, const QString& filter, const QString& suffix,
                         const QString& proposedName, const QString& folder) override {
        calls.push_back({"save", title, {}, filter, suffix, proposedName, folder, parent});
        if (saveAnswers.empty()) return {};
        QString answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    bool SelectPrinter(QWidget* parent, QPrinter&) override {
        calls.push_back({"printer", {}, {}, {}, {}, {}, {}, parent});
        return false;
    }
    void Error(QWidget* parent, const QString& text) override {
        Box({"error", ProgramTitle(), text, {}, {}, {}, {}, parent});
    }
    // The window really runs modally; the test's hand acts in it once its loop runs, and
    // a window still open afterwards is closed, so nothing waits for ever.
    int RunModal(QDialog& dialog) override {
        calls.push_back({"window", dialog.windowTitle(), {}, {}, {}, {}, {}, dialog.parentWidget()});
        QPointer<QDialog> open(&dialog);
        QTimer::singleShot(0, &dialog, [this, open] {
            if (inModal && open) inModal(*open);
            if (open && open->isVisible()) open->done(-1);
        });
        return dialog.exec();
    }

    int Count(const std::string& kind) const {
        int n = 0;
        for (const DialogCall& call : calls) n += call.kind == kind ? 1 : 0;
        return n;
    }

    std::vector<DialogCall> calls;
    std::deque<QString> saveAnswers;   // none left: the save dialog is cancelled
    std::deque<bool> confirmAnswers;   // none left: Cancel
    // Runs while a box is open, as its message loop would run other events.
    std::function<void(const DialogCall&)> whileBoxOpen;
    std::function<void(QDialog&)> inModal;
    int openBoxes = 0;
    int mostOpenBoxes = 0;

private:
    void Box(DialogCall call) {
        calls.push_back(call);
        ++openBoxes;
        mostOpenBoxes = std::max(mostOpenBoxes, openBoxes);
        if (whileBoxOpen) whileBoxOpen(call);
        --openBoxes;
    }
};

class RecordingBell : public Bell {
public:
    RecordingBell() { SetAppBell(this); }
    ~RecordingBell() override { SetAppBell(nullptr); }
    RecordingBell(const RecordingBell&) = delete;
    RecordingBell& operator=(const RecordingBell&) = delete;

    void Ring(BeepKind kind) override { rings.push_back(kind); }
    int Count(BeepKind kind) const {
        int n = 0;
        for (BeepKind k : rings) n += k == kind ? 1 : 0;
        return n;
    }
    std::vector<BeepKind> rings;
};

}  // namespace qel::test
