#include "TrayIcon.h"

#include <QLoggingCategory>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <utility>

#include "StatusIcon.h"

namespace qel {

namespace {

Q_LOGGING_CATEGORY(lcTray, "qel.tray", QtWarningMsg)

const char* LevelName(StatusLevel level) {
    switch (level) {
        case StatusLevel::Waiting: return "waiting";
        case StatusLevel::CannotWrite: return "cannot-write";
        case StatusLevel::Well: break;
    }
    return "well";
}

}  // namespace

bool SystemTrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

TTrayIcon::TTrayIcon(QWidget* owner, TrayAvailability available)
    : QObject(owner),
      available_(std::move(available)),
      inTray_(available_()) {
    if (inTray_) return;
    watch_.setInterval(kWatchIntervalMs);
    connect(&watch_, &QTimer::timeout, this, &TTrayIcon::CheckNotificationArea);
    watch_.start();
}

// The icon leaves the notification area with the component.
TTrayIcon::~TTrayIcon() {
    if (systemIcon_) systemIcon_->hide();
}

void TTrayIcon::SetIcon(const QIcon& icon) {
    icon_ = icon;
    shownIcon_ = StatusIcon(icon_, level_);
    if (systemIcon_) systemIcon_->setIcon(shownIcon_);
}

void TTrayIcon::SetHint(const QString& hint) {
    hint_ = hint;
    if (systemIcon_) systemIcon_->setToolTip(hint_);
}

// Each change is also written to the category qel.tray, so a run can be followed.
void TTrayIcon::ShowStatus(StatusLevel level, const QString& hint) {
    const bool newLevel = level != level_ || shownIcon_.isNull();
    const bool newHint = hint != hint_;
    if (!newLevel && !newHint) return;
    level_ = level;
    if (newLevel) SetIcon(icon_);
    if (newHint) SetHint(hint);
    qCInfo(lcTray).noquote() << "state" << LevelName(level_) << "|" << QString(hint_).replace(QLatin1Char('\n'), QStringLiteral(" | "));
}

void TTrayIcon::Loaded() {
    loaded_ = true;
    if (inTray_) ShowIcon();
}

void TTrayIcon::ShowIcon() {
    if (systemIcon_) return;
    // The menu opens on the right button only; a left click or a double click runs
    // nothing, since the menu has no default entry. Qt adds the icon again by itself
    // when the notification area restarts.
    systemIcon_ = std::make_unique<QSystemTrayIcon>(shownIcon_);
    systemIcon_->setToolTip(hint_);
    if (popupMenu_) systemIcon_->setContextMenu(popupMenu_);
    systemIcon_->show();
}

void TTrayIcon::CheckNotificationArea() {
    if (inTray_ || !available_()) return;
    watch_.stop();
    inTray_ = true;
    if (loaded_) ShowIcon();
    // The window waiting minimised on the task bar now waits behind the icon.
    if (mainWindow_ && mainWindow_->isMinimized()) mainWindow_->hide();
}

void TTrayIcon::SetMainWindow(QWidget* window) {
    mainWindow_ = window;
    if (mainWindow_ && StartMinimized && !inTray_) mainWindow_->showMinimized();
}

void TTrayIcon::ShowMainWindow() {
    if (!mainWindow_) return;
    if (mainWindow_->isMinimized())
        mainWindow_->showNormal();
    else
        mainWindow_->show();
    mainWindow_->raise();
    mainWindow_->activateWindow();
}

void TTrayIcon::HideMainWindow() {
    if (!mainWindow_) return;
    if (inTray_)
        mainWindow_->hide();
    else
        mainWindow_->showMinimized();
}

void TTrayIcon::ApplicationMinimized() {
    if (!inTray_ || !MinimizeToTray || !mainWindow_) return;
    // Hidden once the window system has finished minimising it.
    QTimer::singleShot(0, this, [this] {
        if (mainWindow_ && mainWindow_->isMinimized()) HideMainWindow();
    });
}

}  // namespace qel
