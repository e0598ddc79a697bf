// What one more line costs the diagnostics list when it already holds many: 200 000 lines
// are appended to the real list (as wide and high as in the settings window, shown on the
// offscreen platform), each followed by a pass of the event loop as a receive event would
// be, so every line is laid out, scrolled to and painted. A measurement to run by hand,
// not a test:
//   cmake --build build --target diagnostics_list_benchmark && build/bin/diagnostics_list_benchmark [lines]
// It prints the time of the first and of the last 1 000 lines and the memory each line
// takes, and ends with status 1 when the last 1 000 cost more than twice the first.
#include <QApplication>
#include <QElapsedTimer>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "DiagnosticsList.h"
#include "FixedLayoutFont.h"

namespace {

// Resident memory of this process in KiB.
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    return 0;
}

std::string LineNumber(int n) {
    char digits[16] = {};
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits - 1, n % 100000);
    static_cast<void>(error);
    std::string text(digits, end);
    return std::string(5 - text.size(), '0') + text;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int total = 200000;
    if (argc > 1) total = std::max(2000, std::atoi(argv[1]));
    constexpr int kSample = 1000;

    QApplication app(argc, argv);
    qel::TDiagnosticsList list;
    list.setGeometry(2, 246, 257, 88);
    qel::ApplyFixedLayoutFont(&list);
    list.show();
    QCoreApplication::processEvents();

    // What a noisy line and a flood of packets leave: refusals, and now and then a long
    // "Принят пакет" line.
    const std::string refused = "Приняты данные, но не 15 байт как полагается от КЭЛ-1, - данные игнорированы";
    const long memoryBefore = ResidentKiB();
    double firstMs = 0;
    double lastMs = 0;
    QElapsedTimer clock;
    for (int n = 0; n < total; ++n) {
        const bool sampled = n < kSample || n >= total - kSample;
        if (sampled) clock.start();
        list.AppendLine(n % 4 == 0 ? "Принят пакет: 00007 " + LineNumber(n) + " 09:45 31.12.05 00012,500" : refused);
        QCoreApplication::processEvents();
        if (sampled) {
            const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            (n < kSample ? firstMs : lastMs) += ms;
        }
    }
    const long memoryAfter = ResidentKiB();
    const double ratio = firstMs > 0 ? lastMs / firstMs : 0;
    std::printf("diagnostics list, %d lines appended, each followed by one pass of the event loop\n", total);
    std::printf("  first %d lines: %8.1f ms (%6.1f us a line)\n", kSample, firstMs, firstMs * 1000 / kSample);
    std::printf("  last  %d lines: %8.1f ms (%6.1f us a line)\n", kSample, lastMs, lastMs * 1000 / kSample);
    std::printf("  last / first:   %8.2f (at most 2 expected)\n", ratio);
    std::printf("  memory:         %8.1f bytes a line (resident, %ld KiB in all)\n",
                static_cast<double>(memoryAfter - memoryBefore) * 1024.0 / total, memoryAfter - memoryBefore);
    return ratio <= 2.0 ? 0 : 1;
}
