// Hostile and merely large report templates through the report's whole road: reading
// within the budgets, filling in, building and printing to PDF. Each template runs in a
// process of its own, so that its time and peak memory are its own; each runs a second
// time with a termination signal sent halfway, to show how soon the report ends then.
// A measurement to run by hand, not a test:
//   cmake --build build --target report_hostile_template_benchmark &&
//   build/bin/report_hostile_template_benchmark
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPrinter>
#include <QTextDocument>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "EndRequest.h"
#include "ReportDocument.h"
#include "ReportPrinter.h"
#include "RtfReader.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

void Write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

std::string Grid(std::size_t rows, std::size_t cells) {
    const std::string row = "\\trowd\\cellx500\\intbl " + Repeat("x\\cell ", cells) + "\\row\n";
    return "{\\rtf1\\ansi\\ansicpg1251 " + Repeat(row, rows) + "\\pard after\\par}";
}

// A PNG of the given size with some texture, as hex for \pict.
std::string PngHex(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) line[x] = qRgb(((x >> 6) ^ (y >> 6)) & 0xFF, (x >> 4) & 0xFF, (y >> 5) & 0xFF);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toHex().toStdString();
}

struct Case {
    const char* name;
    std::function<std::string()> make;
};

std::vector<Case> Cases() {
    const std::string body = "Протокол: $<name> $<number> $<time> $<date> $<dose>\\par ";
    return {
        {"one row of 30 000 cells", [] { return Grid(1, 30000); }},
        {"two rows of 100 000 cells", [] { return Grid(2, 100000); }},
        {"a 300 x 300 grid", [] { return Grid(300, 300); }},
        {"a 1000 x 1000 grid", [] { return Grid(1000, 1000); }},
        {"a 50 MB paragraph", [] { return "{\\rtf1\\ansi " + std::string(50u << 20, 'a') + "}"; }},
        {"50 MB of tiny runs", [] { return "{\\rtf1\\ansi " + Repeat("{\\b x}{\\i y}", (50u << 20) / 12) + "}"; }},
        {"thirty 5600 x 5600 PNGs",
         [] {
             const std::string picture = "{\\pict\\pngblip\\picwgoal2000\\pichgoal2000 " + PngHex(5600, 5600) + "}";
             return "{\\rtf1\\ansi " + Repeat(picture + "\\par ", 30) + "}";
         }},
        // The largest of each kind that the budgets let through.
        {"within: 78 x 64 grid", [] { return Grid(78, 64); }},
        {"within: 20 000 paragraphs", [] { return "{\\rtf1\\ansi " + Repeat("line\\par ", 19990) + "}"; }},
        {"within: 99 000 characters", [] { return "{\\rtf1\\ansi " + std::string(99000, 'a') + " $<dose>}"; }},
        {"within: 99 000 characters in words",
         [] { return "{\\rtf1\\ansi " + Repeat("word ", 19800) + " $<dose>}"; }},
        {"within: 25 000 tiny runs, 2 000 a paragraph",
         [] { return "{\\rtf1\\ansi " + Repeat(Repeat("{\\b x}{\\i y}", 999) + "\\par ", 12) + "}"; }},
        {"within: 2 000 runs of words in a paragraph",
         [] { return "{\\rtf1\\ansi " + Repeat("{\\b bold }{\\i italic }", 999) + "}"; }},
        {"within: two 2800 x 2800 PNGs",
         [body] {
             const std::string picture = "{\\pict\\pngblip\\picwgoal4000\\pichgoal4000 " + PngHex(2800, 2800) + "}";
             return "{\\rtf1\\ansi\\ansicpg1251 " + body + picture + picture + "}";
         }},
    };
}

extern "C" void OnTerm(int) { qel::NoteEndRequested(); }

// One template through the report: loaded from the file with the budgets, filled in,
// built and printed to PDF. Exit 0 printed, 2 refused, 3 interrupted, 4 failed.
int RunOne(const std::string& file, const std::string& pdf) {
    std::signal(SIGTERM, OnTerm);
    int argc = 1;
    char name[] = "bench";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    const auto started = Clock::now();
    qel::RichTextDocument document;
    std::string failure;
    if (!document.LoadFromFile(file, &failure)) {
        std::printf("    refused in %.3f s: %s\n", Seconds(started, Clock::now()), failure.c_str());
        return 2;
    }
    for (const char* p : {"$<name>", "$<number>", "$<time>", "$<date>", "$<dose>"}) document.Replace(p, "12,5");
    QTextDocument surface;
    if (!qel::BuildTextDocument(document.Formatted(), surface, &failure)) return 3;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setPageLayout(qel::DocumentPageLayout(document.Formatted(), printer.pageLayout()));
    if (!qel::PrintDocument(surface, printer, QStringLiteral("Исследование"), &failure)) {
        if (failure == qel::kReportInterrupted) return 3;
        std::printf("    failed: %s\n", failure.c_str());
        return 4;
    }
    std::printf("    printed in %.2f s\n", Seconds(started, Clock::now()));
    return 0;
}

struct Outcome {
    int code = -1;
    double seconds = 0;
    long peakKb = 0;
    double afterSignal = -1;  // seconds from the signal to the end; -1 when it ended before
};

Outcome Spawn(const std::string& self, const std::string& file, const std::string& pdf, double signalAfter) {
    std::fflush(stdout);
    const auto started = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(self.c_str(), self.c_str(), "--run", file.c_str(), pdf.c_str(), static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    Outcome out;
    int status = 0;
    rusage usage{};
    Clock::time_point signalled{};
    if (signalAfter >= 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(signalAfter));
        signalled = Clock::now();
        ::kill(child, SIGTERM);
    }
    ::wait4(child, &status, 0, &usage);
    const auto ended = Clock::now();
    out.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    out.seconds = Seconds(started, ended);
    out.peakKb = usage.ru_maxrss;
    if (signalAfter >= 0) out.afterSignal = Seconds(signalled, ended);
    return out;
}

const char* CodeText(int code) {
    switch (code) {
        case 0: return "printed";
        case 2: return "refused";
        case 3: return "interrupted";
        case 128 + SIGTERM: return "ended by the signal";
        default: return "FAILED";
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--run") return RunOne(argv[2], argv[3]);
    if (argc == 3 && std::string(argv[1]) == "--make") {
        int qargc = 1;
        QGuiApplication app(qargc, argv);
        const fs::path dir = argv[2];
        int i = 0;
        for (const Case& c : Cases()) Write(dir / ("case" + std::to_string(i++) + ".rtf"), c.make());
        return 0;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string self = fs::canonical("/proc/self/exe").string();
    char pattern[] = "/tmp/qel-hostile-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern);
    // The templates are made by a process of their own, so the runs start small.
    if (std::system(("'" + self + "' --make '" + dir.string() + "'").c_str()) != 0) return 1;
    std::printf("%-30s %10s %9s %8s %14s %s\n", "template", "file MB", "time s", "peak MB", "end after TERM", "outcome");
    int i = 0;
    for (const Case& c : Cases()) {
        const std::string file = (dir / ("case" + std::to_string(i) + ".rtf")).string();
        const std::string pdf = (dir / ("case" + std::to_string(i) + ".pdf")).string();
        ++i;
        std::printf("%s\n", c.name);
        const Outcome run = Spawn(self, file, pdf, -1);
        // The same again with a termination signal halfway through.
        const Outcome stopped = Spawn(self, file, pdf, run.seconds / 2);
        char afterSignal[32];
        std::snprintf(afterSignal, sizeof afterSignal, "%.3f s", stopped.afterSignal);
        std::printf("%-30s %10.1f %9.2f %8.1f %14s %s\n", "", static_cast<double>(fs::file_size(file)) / 1048576.0, run.seconds,
                    static_cast<double>(run.peakKb) / 1024.0, afterSignal, CodeText(run.code));
        std::printf("%-30s after the signal: %s\n", "", CodeText(stopped.code));
    }
    fs::remove_all(dir);
    return 0;
}
