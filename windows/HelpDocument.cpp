#include "HelpDocument.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QString>

#include "Dialogs.h"
#include "HelpWindow.h"
#include "PosixFile.h"
#include "ProgramFolders.h"

namespace qel {

std::string HelpDocumentPath(const ProgramFolders& folders) { return folders.documentationFolder + kHelpDocumentName; }

std::string OpenHelpDocument(const std::string& path, const UrlOpener& open) {
    const QString file = QString::fromStdString(path);
    if (!QFileInfo(file).isFile()) return "Файл справки не найден: " + path;
    if (!open(QUrl::fromLocalFile(file)))
        return "Не удалось открыть справку " + path + ": не найдена программа для просмотра текстовых файлов";
    return {};
}

std::string OpenHelpDocument(const std::string& path) {
    return OpenHelpDocument(path, [](const QUrl& url) { return QDesktopServices::openUrl(url); });
}

std::string ShowHelpDocument(QWidget* owner, const std::string& path, const UrlOpener& open) {
    bool viewerFailed = false;
    const std::string problem = OpenHelpDocument(path, [&](const QUrl& url) {
        viewerFailed = !open(url);
        return !viewerFailed;
    });
    if (!viewerFailed) return problem;
    PosixFile file;
    std::string text;
    if (!file.OpenForReading(path) || !file.ReadAll(text)) return problem;
    THelpWindow window(owner, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    AppDialogs().RunModal(window);
    return {};
}

std::string ShowHelpDocument(QWidget* owner, const std::string& path) {
    return ShowHelpDocument(owner, path, [](const QUrl& url) { return QDesktopServices::openUrl(url); });
}

}  // namespace qel
