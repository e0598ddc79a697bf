#pragma once
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include "ConnectionStatus.h"

class QSystemTrayIcon;

namespace qel {

// Whether the desktop offers a notification area.
bool SystemTrayAvailable();
using TrayAvailability = std::function<bool()>;

// The notification-area icon of the settings window: keeps the window hidden from the
// start, offers the tray menu on the right button, and hides the window instead of
// minimising it. Where the desktop has no notification area the window stays reachable
// through the task bar instead: it starts minimised and "hiding" minimises it. A
// notification area that appears later (a panel that starts after the program) is used
// from then on: the icon shows, and a window minimised on the task bar moves to it.
class TTrayIcon : public QObject {
    Q_OBJECT

public:
    // Decides here between the notification area and the task-bar fallback; the fallback
    // looks out for a notification area once a second. `available` is asked each time.
    explicit TTrayIcon(QWidget* owner, TrayAvailability available = SystemTrayAvailable);
    ~TTrayIcon() override;

    // Properties as the settings window sets them, before Loaded.
    void SetIcon(const QIcon& icon);
    void SetHint(const QString& hint);
    void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }
    bool StartMinimized = true;
    bool MinimizeToTray = true;

    // The owner's components are loaded: the icon goes into the notification area.
    void Loaded();
    // The owner has finished its creation and is the application's main window now;
    // without a notification area it starts minimised with its task-bar entry.
    void SetMainWindow(QWidget* window);

    void ShowMainWindow();
    void HideMainWindow();
    // The main window was minimised.
    void ApplicationMinimized();

    // The worst state of the connections, drawn as a mark on the icon, and the hint.
    void ShowStatus(StatusLevel level, const QString& hint);
    StatusLevel Level() const { return level_; }
    QString Hint() const { return hint_; }
    // The icon as the notification area gets it, the mark drawn in.
    QIcon ShownIcon() const { return shownIcon_; }

    bool InTray() const { return inTray_; }
    QWidget* MainWindow() const { return mainWindow_; }
    QSystemTrayIcon* SystemIcon() const { return systemIcon_.get(); }

    static constexpr int kWatchIntervalMs = 1000;

private:
    void CheckNotificationArea();
    void ShowIcon();

    TrayAvailability available_;
    bool inTray_;
    bool loaded_ = false;
    QTimer watch_;
    QIcon icon_;
    QIcon shownIcon_;
    StatusLevel level_ = StatusLevel::Well;
    QString hint_;
    QPointer<QMenu> popupMenu_;
    QPointer<QWidget> mainWindow_;
    std::unique_ptr<QSystemTrayIcon> systemIcon_;
};

}  // namespace qel
