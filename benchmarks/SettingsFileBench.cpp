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
#include "HugeSettingsFile.h"
#include "IniFile.h"
#include "TestFiles.h"

namespace {

// Blank lines up to `bytes`, then the section with its keys.
bool MakeFile(const std::string& path, std::size_t bytes) {
    return qel::bench::MakeHugeSettingsFile(path, "[Ports]\r\n", bytes, true, 1);
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
