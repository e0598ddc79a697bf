#pragma once
#include <QApplication>
#include <QString>

namespace qel {

// The application object. An exception that escapes an event handler ends up here and
// is shown in the general error box (caption: the application title), and the program
// goes on.
class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The application's help file: the users' documentation beside the program.
    void SetHelpFile(const QString& path) { helpFile_ = path; }
    QString HelpFile() const { return helpFile_; }

    // Shows a message in the general error box.
    static void ShowException(const QString& message);

private:
    QString helpFile_;
};

}  // namespace qel
