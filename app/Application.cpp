#include "Application.h"

#include <exception>

#include "Dialogs.h"

namespace qel {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

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
