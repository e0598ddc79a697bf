// A template of 200 000 lines: Qt's text layout overflows at that height when laid out at a
// printer's resolution; the report must print whole, never one blank page. In a binary of
// its own, as it takes minutes under the sanitizers.
#include <gtest/gtest.h>

#include <QPrinter>
#include <QRegularExpression>
#include <QTextDocument>
#include <chrono>
#include <cstdio>
#include <string>

#include "Qel1mWindowRig.h"
#include "ReportDocument.h"
#include "ReportFill.h"
#include "ReportPrinter.h"
#include "RtfReader.h"
#include "TestFiles.h"

namespace qel {
namespace {

std::string Tool(const char* program, std::initializer_list<std::string> arguments) {
    QStringList list;
    for (const std::string& a : arguments) list << QString::fromStdString(a);
    return test::ToolOutput(QString::fromUtf8(program), list);
}

int PdfPages(const std::string& pdf) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromStdString(test::PdfInfo(pdf)));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// A template of 200 000 lines prints whole: every page, the last line on the last page.
TEST(ReportPrint, TemplateOfTwoHundredThousandLinesPrintsWhole) {
    std::string rtf = "{\\rtf1\\ansi\\paperw11906\\paperh16838 ";
    for (int i = 1; i <= 200000; ++i) rtf += "line " + std::to_string(i) + "\\par\n";
    rtf += "}";
    // Far beyond a report template's budget: the printing itself is what is tried here.
    FormattedDocument document;
    ASSERT_TRUE(ReadRtf(rtf, document));
    test::TempFolder dir;
    const std::string pdf = dir / "long.pdf";
    const auto started = std::chrono::steady_clock::now();
    QTextDocument surface;
    ASSERT_TRUE(BuildTextDocument(document, surface));
    const double built = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setPageLayout(DocumentPageLayout(document, printer.pageLayout()));
    std::string failure;
    EXPECT_TRUE(PrintDocument(surface, printer, QString::fromUtf8(kReportJobTitle), &failure)) << failure;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const int pages = PdfPages(pdf);
    std::printf("200000 lines: %d pages in %.1f s (%.1f s to build the document)\n", pages, seconds, built);
    EXPECT_GT(pages, 3000);
    const std::string first = Tool("pdftotext", {"-f", "1", "-l", "1", pdf, "-"});
    EXPECT_NE(first.find("line 1\n"), std::string::npos);
    const std::string last = Tool("pdftotext", {"-f", std::to_string(pages), "-l", std::to_string(pages), pdf, "-"});
    EXPECT_NE(last.find("line 200000"), std::string::npos) << last;
}

}  // namespace
}  // namespace qel
