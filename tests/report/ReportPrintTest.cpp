// The report printed with the template's look: every template of the corpus printed to PDF
// gives the text of the plain-text round trip, and the office-suite templates keep their
// fonts, pictures, page size and margins.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextDocument>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Cp1251.h"
#include "DocumentText.h"
#include "EndRequest.h"
#include "EndRequest_p.h"
#include "Qel1mWindowRig.h"
#include "ReportDocument.h"
#include "ReportPrinter.h"
#include "ReportText.h"
#include "RtfReader.h"
#include "TestFiles.h"

namespace qel {
namespace {

namespace fs = std::filesystem;

const std::string kCorpus = QEL_RTF_CORPUS_DIR;

// Values that exercise the order of the steps: the name holds the dose's placeholder and
// its own, the number is empty before any poll reply.
const std::pair<const char*, std::string> kValues[] = {
    {kNamePlaceholder, "Кабинет №2 $<dose> $<name>"}, {kNumberPlaceholder, ""},
    {kTimePlaceholder, "09:05:07"}, {kDatePlaceholder, "03.03.2026"}, {kDosePlaceholder, "12,5"}};

std::vector<std::string> CorpusTemplates() {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(kCorpus))
        if (entry.path().extension() == ".rtf" && entry.path().filename() != "not-rtf.rtf")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// The text as the plain-text round trip makes it: for each placeholder, get text,
// ReplaceText with ReplaceAll, set text.
std::vector<std::string> PlainRoundTrip(const std::string& path) {
    RichTextDocument document;
    EXPECT_TRUE(document.LoadFromFile(path));
    for (const auto& [placeholder, value] : kValues) ReplaceAsTextView(document, placeholder, value);
    return DocumentLines(document);
}

RichTextDocument FilledFormatted(const std::string& path) {
    RichTextDocument document;
    EXPECT_TRUE(document.LoadFromFile(path));
    for (const auto& [placeholder, value] : kValues) document.Replace(placeholder, value);
    return document;
}

std::vector<std::string> Lines(const QStringList& list) {
    std::vector<std::string> lines;
    for (const QString& line : list) lines.push_back(line.toStdString());
    return lines;
}

// A text without its blanks: what must come out of the printer in this order, however the
// layout breaks lines and spaces columns, with ligatures read back as their letters.
// Characters that no face on this machine can show, and those beyond the Basic Multilingual
// Plane (emoji, which Qt's font fallback here does not print), are left out: pdftotext
// cannot read back what was never drawn.
QString Printable(const QString& text) {
    static std::map<char32_t, bool> known;
    static const QStringList families = QFontDatabase::families();
    QString out;
    for (const char32_t c : text.normalized(QString::NormalizationForm_KC).toUcs4()) {
        if (QChar::isSpace(c) || c > 0xFFFF) continue;
        auto it = known.find(c);
        if (it == known.end()) {
            bool found = false;
            for (const QString& family : families)
                if ((found = QFontMetrics(QFont(family)).inFontUcs4(c))) break;
            it = known.emplace(c, found).first;
        }
        if (it->second) out += QString::fromUcs4(&c, 1);
    }
    return out;
}

QString Printable(const std::vector<std::string>& lines) {
    QString all;
    for (const std::string& line : lines) all += QString::fromStdString(line);
    return Printable(all);
}

// Whether every table row prints as one line of text, so the page reads in the order of the
// plain text.
bool RowsReadOnOneLine(const FormattedDocument& doc) {
    for (const Block& block : doc.blocks)
        for (const TableRow& row : block.rows)
            for (const TableCell& cell : row.cells) {
                if (cell.paragraphs.size() > 1) return false;
                for (const Paragraph& p : cell.paragraphs)
                    for (const Inline& in : p.inlines)
                        if (in.kind == Inline::Kind::LineBreak) return false;
            }
    return true;
}

std::string PrintToPdf(const RichTextDocument& document, const std::string& pdf) {
    QTextDocument surface;
    EXPECT_TRUE(BuildTextDocument(document.Formatted(), surface));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    // The page the printer dialog offers (the template's), taken as it is.
    printer.setPageLayout(DocumentPageLayout(document.Formatted(), printer.pageLayout()));
    std::string failure;
    EXPECT_TRUE(PrintDocument(surface, printer, QString::fromUtf8(kReportJobTitle), &failure)) << failure;
    // The physical layout keeps the cells of a row and the columns set by tabs on one line.
    return test::ToolOutput(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                                          QStringLiteral("UTF-8"), QString::fromStdString(pdf),
                                                          QStringLiteral("-")});
}

std::string Tool(const char* program, std::initializer_list<std::string> arguments) {
    QStringList list;
    for (const std::string& a : arguments) list << QString::fromStdString(a);
    return test::ToolOutput(QString::fromUtf8(program), list);
}

TEST(ReportPrint, EveryTemplatePrintsTheTextOfThePlainRoundTrip) {
    test::TempFolder dir;
    const std::vector<std::string> templates = CorpusTemplates();
    ASSERT_GE(templates.size(), 20u);
    for (const std::string& path : templates) {
        SCOPED_TRACE(path);
        const std::vector<std::string> plain = PlainRoundTrip(path);
        const RichTextDocument filled = FilledFormatted(path);
        EXPECT_EQ(DocumentLines(filled), plain);

        QTextDocument built;
        ASSERT_TRUE(BuildTextDocument(filled.Formatted(), built));
        EXPECT_EQ(Lines(TextDocumentLines(built)), plain);

        const std::string pdf = dir / (fs::path(path).stem().string() + ".pdf");
        const QString printed = QString::fromStdString(PrintToPdf(filled, pdf));
        if (RowsReadOnOneLine(filled.Formatted())) {
            EXPECT_EQ(Printable(printed).toStdString(), Printable(plain).toStdString());
        } else {
            // A cell of several lines puts the next cell's text beside its first line on
            // paper: the same characters, in another order.
            QString a = Printable(printed), b = Printable(plain);
            std::sort(a.begin(), a.end());
            std::sort(b.begin(), b.end());
            EXPECT_EQ(a.toStdString(), b.toStdString());
        }
    }
}

// Text after a row's last cell mark, closed by the row mark, keeps the TAB before it on
// paper as in the plain text, also when its placeholder is filled in with nothing.
TEST(ReportPrint, TextAfterTheLastCellOfARowKeepsItsTab) {
    for (const char* value : {"1,5", ""}) {
        SCOPED_TRACE(value);
        RichTextDocument document;
        ASSERT_TRUE(document.LoadFromRtf("{\\rtf1\\trowd\\cellx1000\\intbl a\\cell $<dose>\\row after\\par}"));
        document.Replace(kDosePlaceholder, value);
        QTextDocument built;
        ASSERT_TRUE(BuildTextDocument(document.Formatted(), built));
        const std::vector<std::string> expected{"a\t" + std::string(value), "after"};
        EXPECT_EQ(DocumentLines(document), expected);
        EXPECT_EQ(Lines(TextDocumentLines(built)), expected);
    }
}

// The printable document of cut and mutated templates holds the same lines as the
// formatted document it was built from, and prints without failing.
TEST(ReportPrint, MutatedTemplatesBuildTheirOwnText) {
    std::vector<std::string> corpus;
    for (const std::string& path : CorpusTemplates())
        if (fs::file_size(path) < 20000) corpus.push_back(test::ReadBytes(path));
    ASSERT_GE(corpus.size(), 20u);
    const char* const pieces[] = {"{", "}", "\\par ", "\\cell ", "\\row ", "\\line ", "\\intbl ", "\\trowd",
                                  "\\cellx500 ", "\\page ", "\\pard ", "\\b ", "$<name>", "\\tab ", "x"};
    std::mt19937 rng(4);
    test::TempFolder dir;
    for (int i = 0; i < 400; ++i) {
        std::string input = corpus[static_cast<std::size_t>(i) % corpus.size()];
        const int edits = std::uniform_int_distribution<int>(0, 6)(rng);
        for (int k = 0; k < edits && !input.empty(); ++k) {
            const std::size_t at = std::uniform_int_distribution<std::size_t>(5, input.size())(rng);
            if (k % 3 == 2) input.erase(std::min(at, input.size()), 8);
            else input.insert(std::min(at, input.size()), pieces[std::uniform_int_distribution<std::size_t>(0, 14)(rng)]);
        }
        RichTextDocument document;
        ASSERT_TRUE(document.LoadFromRtf(input)) << "case " << i << "\n" << input;
        for (const auto& [placeholder, value] : kValues) document.Replace(placeholder, value);
        QTextDocument built;
        ASSERT_TRUE(BuildTextDocument(document.Formatted(), built));
        ASSERT_EQ(Lines(TextDocumentLines(built)), DocumentLines(document)) << "case " << i << "\n" << input;
        if (i % 40 == 0) {  // printing is slower: a sample
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(dir / "m.pdf"));
            ASSERT_TRUE(PrintDocument(built, printer, QStringLiteral("t")));
        }
    }
}

// Font names in a PDF (pdffonts), one per line.
std::vector<std::string> PdfFonts(const std::string& pdf) {
    std::vector<std::string> fonts;
    const QStringList lines = QString::fromStdString(Tool("pdffonts", {pdf})).split(QLatin1Char('\n'));
    for (qsizetype i = 2; i < lines.size(); ++i)
        if (!lines[i].trimmed().isEmpty()) fonts.push_back(lines[i].section(QLatin1Char(' '), 0, 0).toStdString());
    return fonts;
}

int PdfImageCount(const std::string& pdf) {
    const QStringList lines = QString::fromStdString(Tool("pdfimages", {"-list", pdf})).split(QLatin1Char('\n'));
    int count = 0;
    for (qsizetype i = 2; i < lines.size(); ++i)
        if (lines[i].contains(QLatin1String(" image "))) ++count;
    return count;
}

// Page size in points from pdfinfo ("Page size:      595.276 x 841.89 pts (A4)").
QSizeF PdfPageSize(const std::string& pdf) {
    const QString info = QString::fromStdString(test::PdfInfo(pdf));
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")).match(info);
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

int PdfPages(const std::string& pdf) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromStdString(test::PdfInfo(pdf)));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// The box around all words of the first page (pdftotext -bbox), in points.
QRectF FirstPageTextBox(const std::string& pdf) {
    const QString html = QString::fromStdString(Tool("pdftotext", {"-bbox", "-f", "1", "-l", "1", pdf, "-"}));
    QRectF box;
    const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">"));
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        const QRectF r(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                       QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
        box = box.isNull() ? r : box.united(r);
    }
    return box;
}

// Where the printed PDFs are kept for a look by eye, when QEL_REPORT_PDF_DIR names a folder.
void KeepForALook(const std::string& pdf, const std::string& name) {
    const QByteArray keep = qgetenv("QEL_REPORT_PDF_DIR");
    if (!keep.isEmpty()) fs::copy_file(pdf, fs::path(keep.toStdString()) / name, fs::copy_options::overwrite_existing);
}

// Where a word begins on the first page (pdftotext -bbox), in points from the left edge.
qreal WordLeft(const std::string& pdf, const QString& text) {
    const QString html = QString::fromStdString(Tool("pdftotext", {"-bbox", "-f", "1", "-l", "1", pdf, "-"}));
    const QRegularExpression word(QStringLiteral("<word xMin=\"([0-9.]+)\"[^>]*>") + QRegularExpression::escape(text) +
                                  QStringLiteral("</word>"));
    const QRegularExpressionMatch m = word.match(html);
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

struct OfficeCase {
    const char* file;
    QSizeF pageSize;  // points
    qreal marginLeft, marginTop, marginRight;
    int pictures;
    int pages;
    const char* indentedWord;  // the first word of an indented paragraph, and where it begins
    qreal indentedAt;
};

TEST(ReportPrint, OfficeTemplatesKeepTheirLook) {
    test::TempFolder dir;
    const OfficeCase cases[] = {
        // A4, margins 3 cm left, 2 cm top, 1.5 cm right; a PNG letterhead.
        // The justified paragraph's first line is indented 1.25 cm.
        {"office/office-report-ru.rtf", {595.3, 841.9}, 85.05, 56.7, 42.5, 1, 1, "Исследование", 85.05 + 35.4},
        // 21 x 14.8 cm, margins 2.5 cm left and right, 1 cm top; a JPEG and a page break.
        // The "Device:" paragraph is indented 2 cm.
        {"office/office-letter-a5.rtf", {595.3, 419.55}, 70.85, 28.35, 70.85, 1, 2, "Device:", 70.85 + 56.7},
        // US Letter, margins 1 inch left and right, 0.75 inch top; no picture.
        // The signature line is indented 2 cm.
        {"office/office-form-letter.rtf", {612, 792}, 72, 54, 72, 0, 1, "Подпись:", 72 + 56.7},
    };
    for (const OfficeCase& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string pdf = dir / "office.pdf";
        fs::remove(pdf);
        PrintToPdf(FilledFormatted(kCorpus + "/" + c.file), pdf);
        KeepForALook(pdf, fs::path(c.file).stem().string() + ".pdf");

        const QSizeF size = PdfPageSize(pdf);
        EXPECT_NEAR(size.width(), c.pageSize.width(), 1.0);
        EXPECT_NEAR(size.height(), c.pageSize.height(), 1.0);
        EXPECT_EQ(PdfPages(pdf), c.pages);
        EXPECT_EQ(PdfImageCount(pdf), c.pictures);

        // Text starts at the left margin (the table's text one cell padding in) and stays
        // inside the margins.
        const QRectF box = FirstPageTextBox(pdf);
        EXPECT_NEAR(box.left(), c.marginLeft, 6.0) << box.left();
        EXPECT_GE(box.top(), c.marginTop - 1.0);
        EXPECT_LE(box.right(), size.width() - c.marginRight + 1.0);
        EXPECT_NEAR(WordLeft(pdf, QString::fromUtf8(c.indentedWord)), c.indentedAt, 2.0) << c.indentedWord;

        // The bold title and the regular text are set in faces of their own.
        const std::vector<std::string> fonts = PdfFonts(pdf);
        const auto has = [&](bool bold) {
            return std::any_of(fonts.begin(), fonts.end(), [&](const std::string& f) {
                return (f.find("Bold") != std::string::npos) == bold;
            });
        };
        EXPECT_TRUE(has(true)) << ::testing::PrintToString(fonts);
        EXPECT_TRUE(has(false)) << ::testing::PrintToString(fonts);
    }
}

// The template the program ships: A4 with its margins, a bold title and regular text in
// faces of their own, the table's text on the lines of the plain text.
TEST(ReportPrint, ShippedTemplateIsFormatted) {
    test::TempFolder dir;
    const std::string pdf = dir / "report.pdf";
    const RichTextDocument filled = FilledFormatted(QEL_REPORT_TEMPLATE);
    const std::vector<std::string> plain = PlainRoundTrip(QEL_REPORT_TEMPLATE);
    EXPECT_EQ(DocumentLines(filled), plain);
    const QString printed = QString::fromStdString(PrintToPdf(filled, pdf));
    KeepForALook(pdf, "report.pdf");
    EXPECT_EQ(Printable(printed).toStdString(), Printable(plain).toStdString());
    EXPECT_TRUE(printed.contains(QStringLiteral("Доза:")) && printed.contains(QStringLiteral("12,5")));
    const QSizeF size = PdfPageSize(pdf);
    EXPECT_NEAR(size.width(), 595.3, 1.0);
    EXPECT_NEAR(size.height(), 841.9, 1.0);
    EXPECT_EQ(PdfPages(pdf), 1);
    const QRectF box = FirstPageTextBox(pdf);
    EXPECT_NEAR(box.left(), 85.05, 6.0);  // 3 cm
    EXPECT_LE(box.right(), 595.3 - 42.5 + 1.0);
    const std::vector<std::string> fonts = PdfFonts(pdf);
    EXPECT_TRUE(std::any_of(fonts.begin(), fonts.end(), [](const std::string& f) { return f.find("Bold") != std::string::npos; }));
    EXPECT_TRUE(std::any_of(fonts.begin(), fonts.end(), [](const std::string& f) { return f.find("Bold") == std::string::npos; }));
}

// A template without the rich-text header prints as plain text in code page 1251, its
// placeholders filled in; an empty one prints one empty page.
TEST(ReportPrint, TemplatesThatAreNotRichTextPrintAsPlainText) {
    test::TempFolder dir;
    const std::string plain = dir / "report.rtf";
    test::WriteBytes(plain, Utf8ToCp1251("Протокол\r\nДоза: $<dose>\r\n{\\b Устройство} $<name>\r\n"));
    const std::string pdf = dir / "plain.pdf";
    const QString printed = QString::fromStdString(PrintToPdf(FilledFormatted(plain), pdf));
    EXPECT_EQ(Printable(printed).toStdString(), Printable(std::vector<std::string>{
                                                    "Протокол", "Доза: 12,5", "{\\b Устройство} Кабинет №2 12,5 $<name>"})
                                                    .toStdString())
        << printed.toStdString();
    EXPECT_EQ(PdfPages(pdf), 1);

    test::WriteBytes(plain, "");
    const std::string empty = dir / "empty.pdf";
    EXPECT_EQ(Printable(QString::fromStdString(PrintToPdf(FilledFormatted(plain), empty))), QString());
    EXPECT_EQ(PdfPages(empty), 1);
}

// List numbers and bullets print as the writer stored them; symbol-font bullets print as
// the bullet, not as a missing glyph.
TEST(ReportPrint, ListMarkersAndSymbolBulletsPrint) {
    test::TempFolder dir;
    const std::string pdf = dir / "lists.pdf";
    const QString printed = QString::fromStdString(PrintToPdf(FilledFormatted(kCorpus + "/lists.rtf"), pdf));
    for (const char* expected : {"1.", "first", "2.", "second", "• third", "• fourth", "3)", "fifth", "Symbol •", "±"})
        EXPECT_TRUE(printed.normalized(QString::NormalizationForm_KC).simplified().contains(QString::fromUtf8(expected))) << expected << " in:\n" << printed.toStdString();
    EXPECT_FALSE(printed.contains(QChar(0xF0B7)));
}

struct PageCase {
    const char* page;      // the template's page words
    const char* note;      // the note it gives, or nullptr
    QSizeF printed;        // the paper that prints, in points
};

// A template page or margins that cannot hold text give way to the printer's page and
// margins (here A4 with 10 mm), with a note; a sound one is offered as it is.
TEST(ReportPrint, APageThatCannotHoldTextGivesWayToThePrinters) {
    test::TempFolder dir;
    const PageCase cases[] = {
        {"\\paperw11906\\paperh30", kTemplatePaperTooSmall, {595.3, 841.9}},
        {"\\paperw30\\paperh30\\margl10\\margr10", kTemplatePaperTooSmall, {595.3, 841.9}},
        {"\\paperw8391\\paperh11906\\margl4000\\margr4000", kTemplateMarginsTooWide, {419.5, 595.3}},
        {"\\paperw11906\\paperh16838\\margt9000\\margb7000", kTemplateMarginsTooWide, {595.3, 841.9}},
        {"\\paperw8391\\paperh11906\\margl1134\\margr1134", nullptr, {419.5, 595.3}},
        {"\\paperw11906\\paperh8391", nullptr, {595.3, 419.5}},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.page);
        RichTextDocument document;
        ASSERT_TRUE(document.LoadFromRtf(std::string("{\\rtf1\\ansi") + c.page + " Page text\\par}"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                                          QPageLayout::Millimeter));
        std::vector<std::string> notes;
        printer.setPageLayout(DocumentPageLayout(document.Formatted(), printer.pageLayout(), &notes));
        EXPECT_EQ(notes, c.note != nullptr ? std::vector<std::string>{c.note} : std::vector<std::string>{});
        const std::string pdf = dir / "page.pdf";
        QTextDocument surface;
        ASSERT_TRUE(BuildTextDocument(document.Formatted(), surface));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        ASSERT_TRUE(PrintDocument(surface, printer, QString::fromUtf8(kReportJobTitle)));
        const QSizeF size = PdfPageSize(pdf);
        EXPECT_NEAR(size.width(), c.printed.width(), 1.0);
        EXPECT_NEAR(size.height(), c.printed.height(), 1.0);
        EXPECT_NE(test::PdfText(pdf).find("Page text"), std::string::npos);
        EXPECT_EQ(PdfPages(pdf), 1);
        if (c.note == kTemplateMarginsTooWide) {
            EXPECT_NEAR(FirstPageTextBox(pdf).left(), 28.35, 3.0);
        }
    }
}

// A printer that cannot begin (its PDF in a folder that does not exist) is a failure the
// caller gets back with the report's reason; nothing is written.
TEST(ReportPrint, APrinterThatCannotBeginIsAFailureWithItsReason) {
    RichTextDocument document;
    ASSERT_TRUE(document.LoadFromRtf("{\\rtf1 text\\par}"));
    QTextDocument surface;
    ASSERT_TRUE(BuildTextDocument(document.Formatted(), surface));
    test::TempFolder dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir / "missing/report.pdf"));
    std::string failure;
    EXPECT_FALSE(PrintDocument(surface, printer, QString::fromUtf8(kReportJobTitle), &failure));
    EXPECT_EQ(failure, kReportPrintFailed);
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

// A termination signal while pages print: the job stops at the next page, well within a
// second, and is dropped.
TEST(ReportPrint, AnEndRequestStopsPrintingAtTheNextPage) {
    std::string rtf = "{\\rtf1\\ansi ";
    for (int i = 1; i <= 20000; ++i) rtf += "line " + std::to_string(i) + "\\par\n";
    FormattedDocument document;
    ASSERT_TRUE(ReadRtf(rtf + "}", document));  // longer than a template may be: many pages
    QTextDocument surface;
    ASSERT_TRUE(BuildTextDocument(document, surface));
    test::TempFolder dir;
    using Clock = std::chrono::steady_clock;
    ClearEndRequest();
    // How long the whole print takes here; the request then comes halfway, among the pages.
    // Why the print stopped; empty when it printed whole.
    const auto print = [&](const std::string& name) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(dir / name));
        std::string failure;
        return PrintDocument(surface, printer, QString::fromUtf8(kReportJobTitle), &failure) ? std::string() : failure;
    };
    const auto started = Clock::now();
    ASSERT_EQ(print("whole.pdf"), "");
    const auto whole = Clock::now() - started;

    Clock::time_point requestedAt;
    std::thread signaller([&] {
        std::this_thread::sleep_for(whole / 2);
        requestedAt = Clock::now();
        NoteEndRequested();
    });
    const bool interrupted = print("stopped.pdf") == kReportInterrupted;
    const auto ended = Clock::now();
    signaller.join();
    ClearEndRequest();
    ASSERT_TRUE(interrupted) << "printed whole; a whole print took "
                             << std::chrono::duration<double>(whole).count() << " s";
    EXPECT_LT(ended - requestedAt, std::chrono::seconds(1));
}

}  // namespace
}  // namespace qel
