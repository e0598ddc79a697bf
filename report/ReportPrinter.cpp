#include "ReportPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <memory>
#include <string>

#include "ReportDocument.h"
#include "RtfReader.h"

// The resolution Qt's text layout takes lengths of formats in (Qt's own exported helper).
Q_GUI_EXPORT int qt_defaultDpiY();

namespace qel {

namespace {

// Qt's text layout keeps positions in 26.6 fixed point: a document laid out taller than
// about 33 million device pixels wraps around and prints as one blank page. Long documents
// are therefore laid out at a lower resolution, kept below this height, and scaled onto
// the printer.
constexpr qreal kMaxLayoutHeight = 16'000'000;
// Below this resolution a layout would be too coarse to print: such a document (over
// 20 000 A4 pages) is refused.
constexpr int kMinLayoutDpi = 72;

// A paint device of a chosen resolution for laying text out.
QImage LayoutDevice(int dpi) {
    QImage device(1, 1, QImage::Format_RGB32);
    const int dotsPerMeter = qRound(dpi / 0.0254);
    device.setDotsPerMeterX(dotsPerMeter);
    device.setDotsPerMeterY(dotsPerMeter);
    return device;
}

// The document's height in inches, laid out at a low resolution across the page's width.
qreal HeightInInches(const QTextDocument& document, const QSizeF& pageInches) {
    std::unique_ptr<QTextDocument> probe(document.clone());
    QImage device = LayoutDevice(kMinLayoutDpi);
    probe->documentLayout()->setPaintDevice(&device);
    probe->setPageSize(pageInches * kMinLayoutDpi);
    return probe->pageCount() * pageInches.height();
}

// Qt's layout scales the lengths of formats from its own resolution to the device's (fonts,
// tab stops, tables, pictures, spacing between paragraphs), but takes a paragraph's left and
// right indents and its first-line indent in device pixels: scale those here.
void ScaleIndents(QTextDocument& document, int dpi) {
    const qreal factor = qreal(dpi) / qt_defaultDpiY();
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        if (format.leftMargin() == 0 && format.rightMargin() == 0 && format.textIndent() == 0) continue;
        format.setLeftMargin(format.leftMargin() * factor);
        format.setRightMargin(format.rightMargin() * factor);
        format.setTextIndent(format.textIndent() * factor);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
    cursor.endEditBlock();
}

}  // namespace

void PrintDocument(const QTextDocument& document, QPrinter& printer, const QString& title) {
    printer.setDocName(title);
    printer.setFullPage(false);  // the painter's origin is the corner of the area inside the margins
    const int printerDpi = printer.resolution();
    const QSizeF area = printer.pageLayout().paintRectPixels(printerDpi).size();
    const QSizeF areaInches = area / printerDpi;

    // The resolution the text is laid out at: the printer's, unless the document is so long
    // that its layout would overflow.
    int dpi = printerDpi;
    const qreal inches = HeightInInches(document, areaInches);
    if (inches * dpi > kMaxLayoutHeight) {
        dpi = static_cast<int>(kMaxLayoutHeight / inches);
        if (dpi < kMinLayoutDpi)
            throw ReportPrintError(std::string(kReportPrintFailed) + ": " + std::to_string(qRound(inches / areaInches.height())) +
                                   " страниц");
    }

    QPainter painter;
    if (!painter.begin(&printer)) throw ReportPrintError(kReportPrintFailed);

    // Lay a copy of the document out page by page over the area inside the page's margins.
    std::unique_ptr<QTextDocument> copy(document.clone());
    QImage device;
    if (dpi == printerDpi) {
        copy->documentLayout()->setPaintDevice(&printer);
    } else {
        device = LayoutDevice(dpi);
        copy->documentLayout()->setPaintDevice(&device);
    }
    ScaleIndents(*copy, dpi);
    const QSizeF page = areaInches * dpi;
    copy->setPageSize(page);
    const qreal scale = qreal(printerDpi) / dpi;

    const int pages = copy->pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !printer.newPage()) throw ReportPrintError(kReportPrintFailed);
        painter.save();
        painter.scale(scale, scale);
        // The view stops short of the next page, so a block that begins exactly there is
        // not drawn (clipped, but still written) on this page too.
        const QRectF view(0, i * page.height(), page.width(), page.height() - 1 / scale);
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
