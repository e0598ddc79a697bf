#pragma once
#include <string>

namespace qel {

// Lets one copy of the program run per user: an exclusive, non-blocking lock on the file
// "QEL1Monitor" in the user's runtime folder ($XDG_RUNTIME_DIR, else a private folder
// /tmp/qel1-agent-<uid>). The lock lasts as long as this object and ends with the
// process, however it ends. When the lock file cannot be had at all, the program runs
// as the first instance, unchecked.
class SingleInstanceLock {
public:
    SingleInstanceLock();
    explicit SingleInstanceLock(const std::string& lockFilePath);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    bool FirstInstance() const { return first_; }
    // True when the lock is held by this object (false for a second instance and when
    // no lock file could be opened).
    bool Held() const { return held_; }

    // Where the lock file lives for this user; empty when no safe folder exists.
    static std::string DefaultLockFilePath();

private:
    int fd_ = -1;
    bool first_ = true;
    bool held_ = false;
};

}  // namespace qel
