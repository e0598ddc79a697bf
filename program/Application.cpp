#include "Application.h"

#include <QByteArray>

#include <QLibraryInfo>
#include <QLocale>

#include <cstdio>
#include <cstdlib>

#include <exception>
#include <string>
#include <vector>

#include "Dialogs.h"

namespace qel {

namespace {

// Qt's messages while the application object connects to the window system. They are
// held back: when no display can be opened Qt ends with a fatal message and an abort
// (a core dump); the program says so in one line instead and exits with status 1.
// Otherwise they are passed on once the connection stands.
struct HeldMessage {
    QtMsgType type;
    std::string category, file, function;
    int line;
    QString text;
};
QtMessageHandler previousHandler = nullptr;
std::vector<HeldMessage>* heldMessages = nullptr;

void HoldStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::string names;
        for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
            const QByteArray value = qgetenv(name);
            if (!value.isEmpty()) names += std::string(names.empty() ? "" : ", ") + name + "=" + value.toStdString();
        }
        std::fprintf(stderr, "qel1-agent: cannot open the display (%s)\n", names.empty() ? "none named" : names.c_str());
        std::fflush(stderr);
        std::_Exit(1);
    }
    heldMessages->push_back({type, context.category ? context.category : "", context.file ? context.file : "",
                             context.function ? context.function : "", context.line, text});
}

int& HoldStartMessages(int& argc) {
    heldMessages = new std::vector<HeldMessage>();
    previousHandler = qInstallMessageHandler(HoldStartMessage);
    return argc;
}

void PassHeldMessages() {
    qInstallMessageHandler(previousHandler);
    const std::vector<HeldMessage> held = std::move(*heldMessages);
    delete heldMessages;
    heldMessages = nullptr;
    for (const HeldMessage& m : held) {
        const QMessageLogContext context(m.file.c_str(), m.line, m.function.c_str(), m.category.c_str());
        if (previousHandler != nullptr)
            previousHandler(m.type, context, m.text);
        else
            qt_message_output(m.type, context, m.text);
    }
}

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(HoldStartMessages(argc), argv) {
    PassHeldMessages();
    // The window class is made from the application's name: X11 keeps it in Latin-1.
    setApplicationName(QString::fromLatin1(kName));
    SetProgramTitle(QString::fromUtf8(kTitle));
    // File and print dialogs, the edit fields' menu and the like.
    if (qtTexts_.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qt"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        qtTextsInRussian_ = installTranslator(&qtTexts_);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown exception"));
    }
    return false;
}

void TApplication::ShowException(const QString& message) {
    AppDialogs().Error(QApplication::activeWindow(), message);
}

}  // namespace qel
