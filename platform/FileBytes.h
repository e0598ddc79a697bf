#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace qel {

enum class FileReadResult {
    Ok,       // the bytes were read
    Missing,  // no file by that name (the folder may be missing too)
    Failed,   // something else stands there, or it cannot be read
};

// Reads the whole of a regular file, with the rules of PosixFile for paths (never blocks,
// links of other users are not followed). When it Failed, `reason` (if given) says why,
// in the list's language.
FileReadResult ReadWholeFile(const std::string& path, std::string& bytes, std::string* reason = nullptr);

// Replaces the file with `bytes`, or creates it, through a temporary file in the same
// folder: a reader sees the old or the new content, never a mix. Refuses, changing
// nothing, when the name is empty, the folder is missing, something other than a
// regular file stands at the path, the file has no write permission bit (also for root),
// or the user could not write the file or its folder. A symbolic link is followed, so the
// file it names is replaced, but only a link of this user or root. Keeps the mode and
// owner of an existing file; the new content is on stable storage before it replaces
// the old. When it fails, `reason` (if given) says why, in the list's language.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes, std::string* reason = nullptr);
// The same with the new content given as pieces, written one after the other.
bool ReplaceFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces,
                           std::string* reason = nullptr);

// Removes what replacements of the file at `path` left behind when the program was killed
// part-way: regular files of this user named ".<name>.XXXXXX" beside it (six letters or
// digits, as the temporary names are made). Nothing else is touched; failures are ignored.
void RemoveLeftoverTemporaries(const std::string& path);

}  // namespace qel
