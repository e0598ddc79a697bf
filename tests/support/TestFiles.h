#pragma once
// Files for tests: temporary folders, the current folder, bytes in and out, INI text as
// the program reads and writes it, and checks that must run without root's privileges.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "Cp1251.h"

namespace qel::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qel-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Names of everything in the folder, to see that nothing was left behind.
    std::set<std::string> Entries() const { return Entries(path_); }
    static std::set<std::string> Entries(const std::string& folder) {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename().string());
        return names;
    }

private:
    std::string path_;
};

// Makes a folder the current one for the life of the object.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~CurrentFolder() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
    }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::filesystem::path previous_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The INI text as the program would find it: code page 1251, CR LF.
inline void WriteIni(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    WriteBytes(path, Utf8ToCp1251(text));
}

// The [Ports] section that maps COM1, COM2, ... to the given device paths, as INI lines.
inline std::vector<std::string> PortsSection(const std::vector<std::string>& devicePaths) {
    std::vector<std::string> lines{"[Ports]"};
    for (std::size_t n = 0; n < devicePaths.size(); ++n)
        lines.push_back("COM" + std::to_string(n + 1) + "=" + devicePaths[n]);
    return lines;
}

// A settings file as the program keeps it: the [Ports] section for the devices, then the
// program's own section with `keys` ("Con1check=1", ...).
inline std::vector<std::string> SettingsLines(const std::vector<std::string>& devicePaths,
                                              const std::vector<std::string>& keys) {
    std::vector<std::string> lines = PortsSection(devicePaths);
    lines.push_back("[QEL1_Agent]");
    lines.insert(lines.end(), keys.begin(), keys.end());
    return lines;
}

// The key=value lines of one section of an INI file, in file order (UTF-8).
inline std::vector<std::pair<std::string, std::string>> IniSection(const std::string& path,
                                                                   const std::string& section) {
    std::vector<std::pair<std::string, std::string>> keys;
    const std::string text = Cp1251ToUtf8(ReadBytes(path));
    bool inside = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 2;
        if (!line.empty() && line.front() == '[') {
            inside = line == "[" + section + "]";
            continue;
        }
        const std::size_t eq = line.find('=');
        if (inside && eq != std::string::npos) keys.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return keys;
}

// Runs `check` as an ordinary user: file modes do not stop root, so as root it runs in a
// child process that has given up its privileges (user and group "nobody"). Tells whether
// `check` returned true.
inline bool RunUnprivileged(const std::function<bool()>& check) {
    if (::geteuid() != 0) return check();
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(dropped && check() ? 0 : 1);
    }
    return AwaitChild(pid, -1).Succeeded();
}

}  // namespace qel::test
