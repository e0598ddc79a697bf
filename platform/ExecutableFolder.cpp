#include "ExecutableFolder.h"

#include <unistd.h>

#include <vector>

namespace qel {

namespace {

// Full path of the running executable, or "" when the system does not tell it.
std::string ExecutablePath() {
    std::vector<char> buf(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
        buf.resize(buf.size() * 2);  // the path may have been cut: try a larger buffer
    }
}

}  // namespace

std::string ExecutableFolder() {
    const std::string path = ExecutablePath();
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return path.substr(0, slash + 1);
}

}  // namespace qel
