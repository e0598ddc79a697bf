#include "SAbout.h"

#include <QDesktopServices>
#include <QFont>
#include <QMouseEvent>
#include <QPalette>
#include <QScreen>
#include <QUrl>

#include "FixedLayoutFont.h"
#include "ui_SAbout.h"

namespace qel {

TAboutBox::TAboutBox(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TAboutBox>()) {
    ui_->setupUi(this);
    // The address is bold and blue, whatever font the window ends up with.
    QFont bold;
    bold.setBold(true);
    ui_->WebAddress->setFont(bold);
    QPalette blue = ui_->WebAddress->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    ui_->WebAddress->setPalette(blue);
    ApplyFixedLayoutFont(this);
    // A dialog border with the system menu: no resizing, no help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(298, 228);
    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
    ui_->WebAddress->installEventFilter(this);
}

TAboutBox::~TAboutBox() = default;

QUrl TAboutBox::WebAddress() const { return QUrl(QStringLiteral("https://") + ui_->WebAddress->text()); }

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->WebAddress && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        WebAddressClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// The browser's answer is not waited for and not checked.
void TAboutBox::WebAddressClick() { QDesktopServices::openUrl(WebAddress()); }

}  // namespace qel
