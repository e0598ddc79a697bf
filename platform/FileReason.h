#pragma once
#include <string>

#include "PosixFile.h"

namespace qel {

// Why a file could not be opened, written or replaced, in the list's language: what stood
// at the path, else the system's error number in a few words.
std::string FileReasonText(FileRefusal refusal, int error);

}  // namespace qel
