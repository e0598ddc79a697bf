#pragma once
#include <QDialog>
#include <QString>

class QPlainTextEdit;

namespace qel {

// The help text in a plain read-only window of the program's own, for a desktop where
// no program opens text files. Titled "Справка"; the text as it is, in a fixed-width
// face, with a button that closes the window.
class THelpWindow : public QDialog {
public:
    THelpWindow(QWidget* owner, const QString& text);
    QString Text() const;

private:
    QPlainTextEdit* view_;
};

inline constexpr const char* kHelpWindowTitle = "Справка";

}  // namespace qel
