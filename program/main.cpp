// The program's entry point: one copy per user, the settings window as the main window,
// and the event loop until that window closes.
#include <QApplication>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Application.h"
#include "CommandLine.h"
#include "Dialogs.h"
#include "HelpDocument.h"
#include "ProgramFolders.h"
#include "ProgramState.h"
#include "QtTickSource.h"
#include "Regional.h"
#include "SComSetup.h"
#include "SingleInstance.h"
#include "TerminationSignals.h"

int main(int argc, char* argv[]) {
    // --help, --version and arguments not understood are answered before anything else:
    // no display is needed, and neither the lock nor any file is touched.
    if (const std::optional<int> answered = qel::AnswerCommandLine(argc, argv, std::cout, std::cerr)) return *answered;
    if (!qel::DisplayNamed()) {
        std::cerr << qel::kNoDisplayMessage;
        return 1;
    }
    // SIGTERM, SIGINT and SIGHUP end the program the way the menu's "В&ыход" does, from
    // the first moment on: one that comes early waits until the event loop runs.
    qel::TerminationSignals terminationSignals;
    // Held until the process ends.
    const qel::SingleInstanceLock singleInstance;

    qel::TApplication app(argc, argv);
    terminationSignals.Listen();

    if (!singleInstance.FirstInstance()) {
        // The box is all a second copy shows; a termination signal simply ends it.
        QObject::connect(&terminationSignals, &qel::TerminationSignals::Received, &app, [] {
            QApplication::closeAllWindows();
            QCoreApplication::exit(1);
        });
        qel::AppDialogs().InformationCancel(nullptr, QStringLiteral("Information"),
                                            QString::fromUtf8("Одна копия программы \"QEL-1 Агент\" уже запущена"));
        // Refused: whoever started this copy learns it from the exit status.
        return 1;
    }
    // An installed program keeps its files in the user's own folders: they are made here,
    // and the settings started from the system's copy on the first run. What could not be
    // done goes into the list once the settings window stands.
    const qel::ProgramFolders folders = qel::CurrentProgramFolders();
    std::vector<std::string> startNotes = qel::PrepareProgramFolders(folders, std::cerr);

    app.SetHelpFile(QString::fromStdString(qel::HelpDocumentPath(folders)));
    QGuiApplication::setDesktopFileName(QStringLiteral("qel1-agent"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/qel1-agent.png")));
    // The hidden settings window and the tray icon keep the program alive; it ends only
    // when the settings window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    qel::LoadRegionalFromSystem();
    qel::InstallQtTickSource();

    // The settings window is made from inside the event loop, so that an end asked for
    // while it is being made (a termination signal while a box of its creation waits)
    // ends the loop as well.
    qel::ProgramState state;
    std::unique_ptr<qel::TComSetup> comSetup;
    // The settings window from the start of its creation, handed over by the window itself:
    // a termination signal while a box of its creation waits closes it as "В&ыход" does.
    QPointer<qel::TComSetup> settingsWindow;
    // Without a lock the program runs as the first copy; the list says why.
    if (!singleInstance.Problem().empty()) {
        startNotes.insert(startNotes.begin(), qel::kSingleInstanceUnsafe + singleInstance.Problem());
        std::cerr << "qel1-agent: " << startNotes.front() << '\n';
    }
    QTimer::singleShot(0, &app, [&comSetup, &settingsWindow, &state, &startNotes, &folders] {
        try {
            qel::SettingsWindowSurroundings surroundings;
            surroundings.folders = folders;
            comSetup = std::make_unique<qel::TComSetup>(
                state.Log, state.Writing, state.RecordNumbers, std::move(surroundings),
                [&settingsWindow](qel::TComSetup& window) { settingsWindow = &window; });
        } catch (const std::exception& e) {
            qel::TApplication::ShowException(QString::fromUtf8(e.what()));
            QCoreApplication::exit(1);
            return;
        }
        for (const std::string& note : startNotes) state.Log.Note(note);
        QObject::connect(comSetup.get(), &qel::TComSetup::Closed, [] { QCoreApplication::exit(0); });
    });
    QObject::connect(&terminationSignals, &qel::TerminationSignals::Received, &app, [&settingsWindow] {
        if (settingsWindow) settingsWindow->N6Click();
        QCoreApplication::exit(0);
    });
    const int result = QApplication::exec();
    // On the way out the settings window is destroyed: it saves the configuration, and
    // its drivers close their ports.
    comSetup.reset();
    return result;
}
