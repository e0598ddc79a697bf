#include "HelpDocument.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QString>

#include "ProgramFolders.h"

namespace qel {

std::string HelpDocumentPath() { return CurrentProgramFolders().documentationFolder + kHelpDocumentName; }

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

}  // namespace qel
