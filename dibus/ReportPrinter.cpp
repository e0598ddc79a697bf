#include "ReportPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QStringList>
#include <QTextDocument>
#include <memory>

#include "RtfReader.h"

namespace qel {

namespace {

// Margin kept inside the printable area on every side, in millimetres.
constexpr qreal kPageMarginMm = 20.0;

QString PlainText(const RichTextDocument& document) {
    QStringList lines;
    for (const std::string& line : document.Lines()) lines << QString::fromStdString(line);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

void PrintDocument(const QTextDocument& document, QPrinter& printer, const QString& title) {
    printer.setDocName(title);
    QPainter painter;
    if (!painter.begin(&printer)) throw ReportPrintError(kReportPrintFailed);

    // Lay a copy of the document out at the printer's resolution, page by page over the
    // printable area less a margin.
    std::unique_ptr<QTextDocument> copy(document.clone());
    copy->documentLayout()->setPaintDevice(&printer);
    const qreal marginX = kPageMarginMm / 25.4 * printer.logicalDpiX();
    const qreal marginY = kPageMarginMm / 25.4 * printer.logicalDpiY();
    const QSizeF page(printer.width() - 2 * marginX, printer.height() - 2 * marginY);
    copy->setPageSize(page);

    const int pages = copy->pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !printer.newPage()) throw ReportPrintError(kReportPrintFailed);
        painter.save();
        const QRectF view(0, i * page.height(), page.width(), page.height());
        painter.translate(marginX, marginY - view.top());
        copy->drawContents(&painter, view);
        painter.restore();
    }
    if (!painter.end()) throw ReportPrintError(kReportPrintFailed);
}

void PrintReport(QTextDocument& surface, QPrinter& printer, const ReportValues& values) {
    RichTextDocument document;
    document.LoadFromFile(ReportTemplatePath());
    FillReport(document, values);
    surface.setPlainText(PlainText(document));
    PrintDocument(surface, printer, QString::fromUtf8(kReportJobTitle));
}

}  // namespace qel
