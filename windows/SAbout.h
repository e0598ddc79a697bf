#pragma once
#include <QDialog>
#include <QUrl>

#include <memory>

namespace Ui {
class TAboutBox;
}

namespace qel {

// The About window: version, a short description and the maker's web address, which
// opens in the browser when clicked.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* owner);
    ~TAboutBox() override;

    // The maker's web site, whose address the window shows.
    QUrl WebAddress() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void WebAddressClick();

    std::unique_ptr<Ui::TAboutBox> ui_;
};

}  // namespace qel
