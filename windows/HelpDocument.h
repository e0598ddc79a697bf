#pragma once
#include <QUrl>

#include <functional>
#include <string>

namespace qel {

// The users' documentation as a Linux desktop reads it: the UTF-8 copy of Readme.txt
// (which itself stays in code page 1251) in the program's documentation folder.
inline constexpr const char* kHelpDocumentName = "Readme.utf8.txt";
std::string HelpDocumentPath();

// Opens the documentation with the program the desktop associates with text files.
// Returns the line for the diagnostics list when the file is missing or no program
// could be started, else "".
using UrlOpener = std::function<bool(const QUrl&)>;
std::string OpenHelpDocument(const std::string& path, const UrlOpener& open);
std::string OpenHelpDocument(const std::string& path);

}  // namespace qel
