#pragma once
#include <QString>

#include <functional>
#include <utility>

class QSystemTrayIcon;

namespace qel {

// Shows short notices on the desktop without taking the focus or waiting for anything:
// through the freedesktop notification service when the session bus offers one, else as
// a message of the tray icon, else not at all (the settings window's title tells the state).
class DesktopNotifier {
public:
    // `trayIcon` is asked at each notice, since the notification area may come and go.
    explicit DesktopNotifier(std::function<QSystemTrayIcon*()> trayIcon) : trayIcon_(std::move(trayIcon)) {}

    // How the last notice went out.
    enum class Route { None, Service, TrayMessage };
    Route Notify(const QString& title, const QString& body);

    // The notice stays on screen this long unless the service decides otherwise.
    static constexpr int kShownMs = 10000;

private:
    std::function<QSystemTrayIcon*()> trayIcon_;
};

// Whether the session bus has (or can start) the freedesktop notification service.
bool NotificationServiceAvailable();

}  // namespace qel
