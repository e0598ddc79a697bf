#pragma once
#include <string>

namespace qel {

enum class FileReadResult {
    Ok,       // the bytes were read
    Missing,  // no file by that name (the folder may be missing too)
    Failed,   // something else stands there, or it cannot be read
};

// Reads the whole of a regular file.
FileReadResult ReadWholeFile(const std::string& path, std::string& bytes);

// Replaces the file with `bytes`, or creates it, through a temporary file in the same
// folder: a reader sees the old or the new content, never a mix. Refuses, changing
// nothing, when the name is empty, the folder is missing, something other than a
// regular file stands at the path, or the user could not write the file or its folder.
// A symbolic link is followed, so the file it names is replaced. Keeps the mode and
// owner of an existing file; the new content is on stable storage before it replaces
// the old.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace qel
