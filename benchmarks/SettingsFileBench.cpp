// What a huge settings file costs the program: start-up (loading the settings keys), saving
// them, and the memory it takes. A measurement to run by hand or with `make bench`:
//   build/bin/settings_file_bench [megabytes...]      (default: 10 100)
// The file is the worst case of its size: blank lines, then the program's section at the end.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Configuration.h"
#include "IniFile.h"
#include "TestFiles.h"

namespace {

// Blank lines up to `bytes`, then the section with its keys; written in pieces so that
// making the file costs no memory.
bool MakeFile(const std::string& path, std::size_t bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::string blanks;
    for (int i = 0; i < 65536; ++i) blanks += "\r\n";
    bool ok = ::write(fd, "[Ports]\r\n", 9) == 9;
    for (std::size_t written = 0; ok && written < bytes; written += blanks.size())
        ok = ::write(fd, blanks.data(), blanks.size()) == static_cast<ssize_t>(blanks.size());
    const std::string section =
        "[QEL1_Agent]\r\nCon1check=1\r\nCon2check=0\r\nCon1numCOM=1\r\nCon2numCOM=2\r\nCon1Speed=0\r\n"
        "Con2Speed=1\r\nCon1QELType=0\r\nCon2QELType=1\r\nGetLastRecordIfError=0\r\nScreenMessages=0\r\n"
        "Rewrite=0\r\nMultyFiles=0\r\nSaveFile=Data.qel\r\nName1=\r\nName2=\r\n";
    ok = ok && ::write(fd, section.data(), section.size()) == static_cast<ssize_t>(section.size());
    return ::close(fd) == 0 && ok;
}

long PeakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// In a child of its own, so that the peak memory is this case's alone.
void Measure(const std::string& folder, std::size_t megabytes) {
    const std::string path = folder + "/QEL1_Agent.ini";
    if (!MakeFile(path, megabytes << 20)) {
        std::printf("%zu MB: could not make the file\n", megabytes);
        return;
    }
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0) {
        qel::IniFile file(path);
        auto start = std::chrono::steady_clock::now();
        qel::ProgramOptions options = qel::LoadSettings(file);
        const double load = Seconds(start);
        const long afterLoad = PeakKilobytes();
        options.Connection(2).inUse = true;
        start = std::chrono::steady_clock::now();
        const bool saved = qel::SaveSettings(file, options);
        const double save = Seconds(start);
        const long afterSave = PeakKilobytes();
        const bool kept = saved && options.Connection(1).inUse && options.dataFile == "Data.qel";
        std::printf("| %zu MB | %.3f s | %.3f s | %ld MB after loading, %ld MB after saving |%s\n", megabytes, load,
                    save, afterLoad / 1024, afterSave / 1024, kept ? "" : " (keys not read or not saved!)");
        std::fflush(stdout);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::unlink(path.c_str());
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(static_cast<std::size_t>(std::strtoul(argv[i], nullptr, 10)));
    if (sizes.empty()) sizes = {10, 100};
    qel::test::TempFolder folder;
    std::printf("Settings file of blank lines with the program's section at its end\n");
    std::printf("| size | start-up (load) | save | peak memory of the process |\n");
    std::printf("|---|---|---|---|\n");
    for (const std::size_t size : sizes) Measure(folder.Path(), size);
    return 0;
}
