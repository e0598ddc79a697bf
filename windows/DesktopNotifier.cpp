#include "DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLoggingCategory>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace qel {

namespace {

Q_LOGGING_CATEGORY(lcNotify, "qel.notify", QtWarningMsg)

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

}  // namespace

bool NotificationServiceAvailable() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) return false;
    QDBusConnectionInterface* daemon = bus.interface();
    if (daemon->isServiceRegistered(kService).value()) return true;
    return daemon->activatableServiceNames().value().contains(kService);
}

DesktopNotifier::Route DesktopNotifier::Notify(const QString& title, const QString& body) {
    qCInfo(lcNotify).noquote() << body;
    if (NotificationServiceAvailable()) {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
        QVariantMap hints;
        hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("qel1-agent"));
        // Normal urgency: shown, never raised above the work or given the focus.
        hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(1)));
        call << title << uint(0) << QStringLiteral("qel1-agent") << title << body << QStringList() << hints
             << int(kShownMs);
        // Sent without waiting for the answer: a slow service holds nothing up.
        QDBusConnection::sessionBus().asyncCall(call);
        return Route::Service;
    }
    QSystemTrayIcon* icon = trayIcon_ ? trayIcon_() : nullptr;
    if (icon != nullptr && icon->isVisible() && QSystemTrayIcon::supportsMessages()) {
        icon->showMessage(title, body, QSystemTrayIcon::Information, kShownMs);
        return Route::TrayMessage;
    }
    return Route::None;
}

}  // namespace qel
