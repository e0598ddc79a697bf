#pragma once
#include <string>

namespace qel {

// Folder of the running executable, with its trailing "/".
std::string ExecutableFolder();

}  // namespace qel
