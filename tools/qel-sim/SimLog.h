#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace qel {

// Where the simulator's event lines go: one sink, called from the simulator's threads one
// line at a time. The simulator gathers lines while it holds a lock of its own and writes
// them after letting it go.
class SimLog {
public:
    void SetSink(std::function<void(const std::string&)> sink) {
        std::lock_guard lock(mu_);
        enabled_ = static_cast<bool>(sink);
        sink_ = std::move(sink);
    }
    // Whether a sink is set: lines that cost something to make are made only then.
    bool Enabled() const { return enabled_; }
    void Write(const std::vector<std::string>& lines) {
        if (lines.empty()) return;
        std::lock_guard lock(mu_);
        if (!sink_) return;
        for (const auto& line : lines) sink_(line);
    }

private:
    std::atomic<bool> enabled_{false};
    std::mutex mu_;
    std::function<void(const std::string&)> sink_;
};

}  // namespace qel
