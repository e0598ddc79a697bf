#pragma once
#include <QUrl>

class QWidget;

#include <functional>
#include <string>

#include "ProgramFolders.h"

namespace qel {

// The users' documentation as a Linux desktop reads it: the UTF-8 copy of Readme.txt
// (which itself stays in code page 1251) in the program's documentation folder.
inline constexpr const char* kHelpDocumentName = "Readme.utf8.txt";
std::string HelpDocumentPath(const ProgramFolders& folders);

// Opens the documentation with the program the desktop associates with text files.
// Returns the line for the diagnostics list when the file is missing or no program
// could be started, else "".
using UrlOpener = std::function<bool(const QUrl&)>;
std::string OpenHelpDocument(const std::string& path, const UrlOpener& open);
std::string OpenHelpDocument(const std::string& path);

// Shows the documentation: with the desktop's program (`open`), or where none opens it,
// in a read-only window of the program's own (THelpWindow, run through the dialogs).
// Returns the line for the diagnostics list when neither could show it, else "".
std::string ShowHelpDocument(QWidget* owner, const std::string& path, const UrlOpener& open);
std::string ShowHelpDocument(QWidget* owner, const std::string& path);

}  // namespace qel
