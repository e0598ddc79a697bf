#pragma once
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace qel {

// Why a path that the program was given (the data file, the settings, the report template)
// was refused although the system would have opened it.
enum class FileRefusal {
    None,
    Folder,       // a folder stands at the path
    Pipe,         // a named pipe: opening it could wait for ever
    Device,       // a character or block device
    Socket,
    ForeignLink,  // a symbolic link of another user in a folder that others may write
    ReadOnly,     // no write permission bit for anyone: read-only, also for root
};

// One file opened with the POSIX calls, closed at the latest when the object goes.
// Every failing call keeps the system's error number in Error().
//
// The Open and Create calls follow the rules for paths that someone else may have planted
// something at: opening never blocks; only a regular file is opened (anything else is
// refused, see Refusal()); a symbolic link at the path, and each link it leads to, is
// followed by the rule the kernel applies in shared sticky folders, here in every folder
// (see FollowOwnLinks); and a file without any write permission bit is not opened for
// writing, also by root, whom the system would let write it.
class PosixFile {
public:
    PosixFile() = default;
    ~PosixFile();
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    bool OpenForReading(const std::string& path);
    // Existing file only, writes go to its end.
    bool OpenForAppending(const std::string& path);
    // Creates a missing file, keeps the content of an existing one; writes go to its end.
    bool CreateForAppending(const std::string& path);
    // Creates a missing file or truncates an existing one to length 0.
    bool CreateTruncated(const std::string& path);
    // Creates a new file of a name made from `pathPattern`, whose last six characters are
    // "XXXXXX": they are replaced in `pathPattern` by what makes the name unique.
    bool CreateUnique(std::string& pathPattern);

    bool IsOpen() const { return fd_ >= 0; }
    // Appends the rest of the file to `bytes`, retried after interruptions.
    bool ReadAll(std::string& bytes);
    // All bytes, retried after interruptions and partial writes. `written` (when given)
    // tells how many reached the file, also when the call fails part-way.
    bool WriteAll(std::string_view bytes, std::size_t* written = nullptr);
    // Position of the next read or write (for a file opened for appending: after the last
    // byte this object wrote).
    bool Position(off_t& offset);
    // Cuts or extends the file to `size` bytes.
    bool Truncate(off_t size);
    bool SetMode(mode_t mode);
    bool SetOwner(uid_t owner, gid_t group);
    // Flushes the written bytes to stable storage.
    bool Sync();
    // Closes the file; false when the system reports a failure (the descriptor is gone either way).
    bool Close();

    int Error() const { return error_; }
    // What the last failed open found at the path, when that was the reason.
    FileRefusal Refusal() const { return refusal_; }
    // The reason of the last failure in a few words (English, as the system's reasons are).
    std::string FailureText() const;

private:
    bool OpenWith(const std::string& path, int flags, bool truncate);
    bool Fail(int error, FileRefusal refusal = FileRefusal::None);
    int fd_ = -1;
    int error_ = 0;
    FileRefusal refusal_ = FileRefusal::None;
};

// The path that a symbolic link at `path` leads to (through any chain of links), or the
// path itself. A link in a folder that only this user (or root) can write is followed,
// whoever owns it (an administrator's link in the user's own folder); in a folder that
// others may write (sticky, writable by group or others, or another user's) only a link
// of this user or of the folder's owner is. Refuses any other link (ForeignLink) and a
// chain of more than 40 links (error ELOOP); false then, with `target` empty.
bool FollowOwnLinks(const std::string& path, std::string& target, FileRefusal& refusal, int& error);

// What kind of non-regular file a mode describes; None for a regular file.
FileRefusal RefusalForMode(mode_t mode);

// True when the path names an existing folder.
bool IsExistingFolder(const std::string& path);
// The folder that holds a file path on this system: everything before the last "/",
// "." for a bare name, "/" for a name in the root.
std::string ContainingFolder(const std::string& path);
// The system's reason for an error number.
std::string SystemErrorText(int error);

}  // namespace qel
