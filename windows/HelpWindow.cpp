#include "HelpWindow.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace qel {

THelpWindow::THelpWindow(QWidget* owner, const QString& text) : QDialog(owner), view_(new QPlainTextEdit(this)) {
    setWindowTitle(QString::fromUtf8(kHelpWindowTitle));
    view_->setObjectName(QStringLiteral("HelpText"));
    view_->setReadOnly(true);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view_->setPlainText(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addWidget(buttons);
    resize(640, 480);
}

QString THelpWindow::Text() const { return view_->toPlainText(); }

}  // namespace qel
