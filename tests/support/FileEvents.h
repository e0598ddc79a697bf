#pragma once
// What happens to a file while a step runs, as the kernel tells it: openings, and
// replacements by a file renamed onto its name.
#include <sys/inotify.h>
#include <unistd.h>

#include <string>
#include <utility>

namespace qel::test {

class FileEvents {
public:
    FileEvents(const std::string& folder, std::string name) : name_(std::move(name)) {
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        // Closings are watched too: the kernel merges identical events in a row, so two
        // openings without one between them would count as one.
        ::inotify_add_watch(fd_, folder.c_str(), IN_OPEN | IN_CLOSE | IN_MOVED_TO);
    }
    ~FileEvents() { ::close(fd_); }
    FileEvents(const FileEvents&) = delete;
    FileEvents& operator=(const FileEvents&) = delete;

    // Openings and replacements (a file renamed onto the name) since the last call.
    std::pair<int, int> Take() {
        int opened = 0, replaced = 0;
        alignas(inotify_event) char buffer[65536];
        ssize_t n;
        while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(p);
                if (e->len > 0 && name_ == e->name) {
                    opened += (e->mask & IN_OPEN) ? 1 : 0;
                    replaced += (e->mask & IN_MOVED_TO) ? 1 : 0;
                }
                p += sizeof(inotify_event) + e->len;
            }
        }
        return {opened, replaced};
    }

private:
    int fd_ = -1;
    std::string name_;
};


}  // namespace qel::test
