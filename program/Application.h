#pragma once
#include <QApplication>
#include <QString>
#include <QTranslator>

namespace qel {

// The application object. An exception that escapes an event handler ends up here and
// is shown in the general error box (caption: the application title), and the program
// goes on.
//
// It names the program (an ASCII name for the window system's class, the Russian title
// for people) and makes Qt's own dialogs and menus speak Russian, as the program does.
class TApplication : public QApplication {
    Q_OBJECT

public:
    static constexpr const char* kName = "qel1-agent";
    static constexpr const char* kTitle = "КЭЛ-1 Агент";

    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The application's help file: the users' documentation beside the program.
    void SetHelpFile(const QString& path) { helpFile_ = path; }
    QString HelpFile() const { return helpFile_; }

    // Shows a message in the general error box.
    static void ShowException(const QString& message);

    // Qt's own Russian texts are loaded (false where they are not installed).
    bool QtTextsInRussian() const { return qtTextsInRussian_; }

private:
    QString helpFile_;
    QTranslator qtTexts_;
    bool qtTextsInRussian_ = false;
};

}  // namespace qel
