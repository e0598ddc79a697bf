#pragma once
#include <string>

namespace qel {

// Lets one copy of the program run per user: an exclusive, non-blocking lock on the file
// "QEL1Monitor" in a folder that only this user can change ($XDG_RUNTIME_DIR, else
// /run/user/<uid>, else ~/.local/state/qel1-agent). The lock file must be a regular file of
// the user's own; it is opened without following a link and without waiting. The lock
// lasts as long as this object and ends with the process, however it ends.
//
// When the guard cannot be set up (no private folder for the lock; a link, a folder, a
// pipe or a file of someone else at the lock's path), Problem() says why and
// FirstInstance() is true: as with a named mutex that cannot be made, the program runs
// and the check simply does not hold for this run. Only this user (or root) can change
// the lock's folder, so nobody else can switch the guard off that way.
class SingleInstanceLock {
public:
    SingleInstanceLock();
    explicit SingleInstanceLock(const std::string& lockFilePath);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // True when the program may run: this object holds the lock, or no lock could be set up.
    bool FirstInstance() const { return held_ || !problem_.empty(); }
    bool Held() const { return held_; }
    // Why the guard could not be set up (Russian, for the user); empty when it could.
    const std::string& Problem() const { return problem_; }

    // Where the lock file lives for this user; empty when no safe folder exists.
    static std::string DefaultLockFilePath();

private:
    int fd_ = -1;
    bool held_ = false;
    std::string problem_;
};

// The list line of a start whose guard could not be set up, before the reason.
inline constexpr const char* kSingleInstanceUnsafe =
    "Не удаётся проверить, не запущена ли уже другая копия программы \"QEL-1 Агент\": ";

}  // namespace qel
