#include "ReportPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QTextDocument>
#include <memory>

#include "ReportDocument.h"
#include "RtfReader.h"

namespace qel {

void PrintDocument(const QTextDocument& document, QPrinter& printer, const QString& title) {
    printer.setDocName(title);
    printer.setFullPage(false);  // the painter's origin is the corner of the area inside the margins
    QPainter painter;
    if (!painter.begin(&printer)) throw ReportPrintError(kReportPrintFailed);

    // Lay a copy of the document out at the printer's resolution, page by page over the
    // area inside the page's margins.
    std::unique_ptr<QTextDocument> copy(document.clone());
    copy->documentLayout()->setPaintDevice(&printer);
    const QSizeF page = printer.pageLayout().paintRectPixels(printer.resolution()).size();
    copy->setPageSize(page);

    const int pages = copy->pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !printer.newPage()) throw ReportPrintError(kReportPrintFailed);
        painter.save();
        // The view stops a device pixel short of the next page, so a block that begins
        // exactly there is not drawn (clipped, but still written) on this page too.
        const QRectF view(0, i * page.height(), page.width(), page.height() - 1);
        painter.translate(0, -view.top());
        copy->drawContents(&painter, view);
        painter.restore();
    }
    if (!painter.end()) throw ReportPrintError(kReportPrintFailed);
}

void PrintReport(QTextDocument& surface, QPrinter& printer, const ReportValues& values) {
    RichTextDocument document;
    document.LoadFromFile(ReportTemplatePath());
    FillReport(document, values);
    BuildTextDocument(document.Formatted(), surface);
    printer.setPageLayout(DocumentPageLayout(document.Formatted(), printer.pageLayout()));
    PrintDocument(surface, printer, QString::fromUtf8(kReportJobTitle));
}

}  // namespace qel
