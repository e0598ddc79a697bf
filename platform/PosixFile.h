#pragma once
#include <sys/types.h>

#include <string>
#include <string_view>

namespace qel {

// One file opened with the POSIX calls, closed at the latest when the object goes.
// Every failing call keeps the system's error number in Error().
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
    bool IsDirectory() const;
    bool IsRegularFile() const;
    // Appends the rest of the file to `bytes`, retried after interruptions.
    bool ReadAll(std::string& bytes);
    // All bytes, retried after interruptions and partial writes.
    bool WriteAll(std::string_view bytes);
    bool SetMode(mode_t mode);
    bool SetOwner(uid_t owner, gid_t group);
    // Flushes the written bytes to stable storage.
    bool Sync();
    // Closes the file; false when the system reports a failure (the descriptor is gone either way).
    bool Close();

    int Error() const { return error_; }

private:
    bool OpenWith(const std::string& path, int flags);
    int fd_ = -1;
    int error_ = 0;
};

// True when the path names an existing folder.
bool IsExistingFolder(const std::string& path);
// The folder that holds a file path on this system: everything before the last "/",
// "." for a bare name, "/" for a name in the root.
std::string ContainingFolder(const std::string& path);
// The system's reason for an error number.
std::string SystemErrorText(int error);

}  // namespace qel
