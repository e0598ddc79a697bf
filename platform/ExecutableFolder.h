#pragma once
#include <string>

namespace qel {

// Folder of the running executable, with its trailing "/". In-process tests may point
// it elsewhere; an empty override restores the real folder.
std::string ExecutableFolder();
void SetExecutableFolderOverride(const std::string& folder);

}  // namespace qel
