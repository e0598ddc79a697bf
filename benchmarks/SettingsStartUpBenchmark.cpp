// What a huge settings file costs the start of the settings window, against one reading of
// the file: start-up reads it a fixed, small number of times (the settings keys once, [Ports]
// once for the port hints, and once per connection in use when its port opens), whatever
// the number of ports. A measurement to run by hand or with `make bench`:
//   build/bin/settings_startup_benchmark [--benchmark_filter=...]
// The file is the worst case of its size: [Ports], blank lines, then the program's section.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>

#include <map>
#include <memory>
#include <string>

#include "Application.h"
#include "Configuration.h"
#include "HugeSettingsFile.h"
#include "IniFile.h"
#include "ProgramFolders.h"
#include "ProgramState.h"
#include "QtTickSource.h"
#include "SComSetup.h"
#include "TestFiles.h"
#include "TrayIcon.h"

namespace {

qel::test::TempFolder& Folder() {
    static qel::test::TempFolder folder;
    return folder;
}

// A settings window of a program in Folder(), on a desktop with a notification area.
qel::SettingsWindowSurroundings Surroundings() {
    qel::SettingsWindowSurroundings surroundings;
    surroundings.folders = qel::LocateProgramFolders(Folder().Path() + "/", qel::FolderEnvironment::FromProcess());
    surroundings.systemTrayAvailable = [] { return true; };
    return surroundings;
}

// The settings file of `megabytes`, made once per size beside the pretend executable.
std::string SettingsFile(std::size_t megabytes) {
    static std::map<std::size_t, bool> made;
    const std::string path = Folder() / "QEL1_Agent.ini";
    if (made[megabytes]) return path;
    made.clear();
    std::string head = "[Ports]\r\n";
    for (int n = 1; n <= 8; ++n) head += "COM" + std::to_string(n) + "=/dev/serial/by-id/usb-FTDI_" + std::to_string(n) + "\r\n";
    const bool ok = qel::bench::MakeHugeSettingsFile(path, head, megabytes << 20, false, 0);
    made[megabytes] = ok;
    return path;
}

// One reading of the file: the settings keys.
void OneReading(benchmark::State& state) {
    const qel::IniFile file(SettingsFile(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) {
        const qel::ProgramOptions options = qel::LoadSettings(file);
        benchmark::DoNotOptimize(options.dataFile);
        if (options.dataFile != "Data.qel") state.SkipWithError("the keys were not read");
    }
}

// The settings window's start: load, port hints, connections. Its end (which saves the
// settings) is not counted.
void StartUp(benchmark::State& state) {
    SettingsFile(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        qel::ProgramState program;
        auto window =
            std::make_unique<qel::TComSetup>(program.Log, program.Writing, program.RecordNumbers, Surroundings());
        benchmark::DoNotOptimize(window.get());
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}

BENCHMARK(OneReading)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(StartUp)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qel::TApplication app(argc, argv);
    qel::InstallQtTickSource();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
