// How the report's cost grows with the template's size: reading the rich text, filling in
// the five placeholders and building the printable document, for templates of 0.5 MB and
// 5 MB of several shapes (an office suite's template repeated, and shapes made to hurt).
// A measurement to run by hand, not a test:
//   cmake --build build --target report_template_benchmark && build/bin/report_template_benchmark
#include <QApplication>
#include <QTextDocument>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "ReportDocument.h"
#include "ReportFill.h"
#include "FormattedText.h"
#include "RtfReader.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// "{\rtf1 " + head + the piece repeated up to `size` bytes + "}".
std::string Template(const std::string& head, const std::string& piece, std::size_t size) {
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1251 " + head;
    while (rtf.size() + piece.size() < size) rtf += piece;
    return rtf + "}";
}

struct Times {
    double read = 0, fill = 0, build = 0;
};

Times Measure(const std::string& rtf) {
    Times t;
    auto start = Clock::now();
    // Read without the report's budgets, which refuse most of these shapes at once: the
    // reader's own cost is what is measured.
    qel::FormattedDocument document;
    if (!qel::ReadRtf(rtf, document)) std::printf("not rich text\n");
    t.read = Seconds(start);
    start = Clock::now();
    for (const char* placeholder : {qel::kNamePlaceholder, qel::kNumberPlaceholder, qel::kTimePlaceholder,
                                    qel::kDatePlaceholder, qel::kDosePlaceholder})
        qel::ReplaceInDocument(document, placeholder, "Кабинет 2 $<dose>");
    t.fill = Seconds(start);
    start = Clock::now();
    QTextDocument built;
    if (!qel::BuildTextDocument(document, built)) std::printf("building stopped\n");
    t.build = Seconds(start);
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string office = ReadFile(std::string(QEL_RTF_CORPUS_DIR) + "/office/office-report-ru.rtf");
    // The office template's body (after its header) repeated: tables, pictures, formatting.
    const std::size_t body = office.find("\\pard");
    const std::string officeHead = office.substr(6, body - 6);
    const std::string officeBody = office.substr(body, office.rfind('}') - body);

    struct Shape {
        const char* name;
        std::function<std::string(std::size_t)> make;
    };
    const Shape shapes[] = {
        {"office template repeated", [&](std::size_t n) { return Template(officeHead, officeBody, n); }},
        {"placeholders only", [](std::size_t n) { return Template("", "$<name>$<dose> ", n); }},
        {"one paragraph, many runs", [](std::size_t n) { return Template("", "{\\b $<}{\\i dose>}x", n); }},
        {"groups nested past the limit", [](std::size_t n) { return Template("", "{{{{{{{{{{a", n); }},
        {"tab stops without end", [](std::size_t n) { return Template("\\pard", "\\tx100", n); }},
        {"table rows of two cells", [](std::size_t n) {
             return Template("", "\\trowd\\cellx1000\\cellx2000\\intbl $<name>\\cell $<dose>\\cell\\row", n);
         }},
        {"one row of many cells", [](std::size_t n) { return Template("\\trowd\\cellx500", "\\intbl x\\cell", n); }},
        {"lines", [](std::size_t n) { return Template("", "line of text $<name>\\par\n", n); }},
    };
    std::printf("%-30s %8s %8s %8s %8s   %s\n", "template shape", "size", "read s", "fill s", "build s",
                "5 MB / 0.5 MB (total)");
    for (const Shape& shape : shapes) {
        Times small, large;
        for (const std::size_t size : {std::size_t{500'000}, std::size_t{5'000'000}}) {
            const std::string rtf = shape.make(size);
            const Times t = Measure(rtf);
            std::printf("%-30s %7.1fM %8.3f %8.3f %8.3f\n", shape.name, static_cast<double>(rtf.size()) / 1e6, t.read, t.fill, t.build);
            (size == 500'000 ? small : large) = t;
        }
        const double ratio = (large.read + large.fill + large.build) / (small.read + small.fill + small.build);
        std::printf("%-30s %44s %.1f\n", "", "", ratio);
    }
    return 0;
}
