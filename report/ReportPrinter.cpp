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

#include <QTextFrame>
#include <algorithm>
#include <optional>

#include "EndRequest.h"
#include "Failure.h"
#include "ReportBudget.h"
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

// Whether the layout's positions run down the page in order: past the height Qt's fixed
// point holds they wrap around and come back from above.
bool LaidOutInOrder(const QTextDocument& document) {
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    qreal last = 0;
    QTextFrame* root = document.rootFrame();
    for (auto it = root->begin(); !it.atEnd(); ++it) {
        const qreal top = it.currentFrame() != nullptr ? layout->frameBoundingRect(it.currentFrame()).top()
                                                       : layout->blockBoundingRect(it.currentBlock()).top();
        if (top < last - 1) return false;
        last = top;
    }
    return true;
}

// A copy of the document laid out over pages of `areaInches` at `dpi` (on the printer
// itself at its own resolution, else on `device`); its page count. None when a
// termination signal came before or after the layout: the report stops, so that the
// program can end.
struct Layout {
    std::unique_ptr<QTextDocument> document;
    QImage device;
    int pages = 0;
};
std::unique_ptr<Layout> LayOut(const QTextDocument& document, QPrinter& printer, int dpi, const QSizeF& areaInches) {
    auto laid = std::make_unique<Layout>();
    laid->document.reset(document.clone());
    if (dpi == printer.resolution()) {
        laid->document->documentLayout()->setPaintDevice(&printer);
    } else {
        laid->device = LayoutDevice(dpi);
        laid->document->documentLayout()->setPaintDevice(&laid->device);
    }
    ScaleIndents(*laid->document, dpi);
    if (EndRequested()) return nullptr;
    laid->document->setPageSize(areaInches * dpi);
    laid->pages = laid->document->pageCount();
    if (EndRequested()) return nullptr;
    return laid;
}

}  // namespace

bool PrintDocument(const QTextDocument& document, QPrinter& printer, const QString& title, std::string* reason) {
    printer.setDocName(title);
    printer.setFullPage(false);  // the painter's origin is the corner of the area inside the margins
    const int printerDpi = printer.resolution();
    const QSizeF area = printer.pageLayout().paintRectPixels(printerDpi).size();
    const QSizeF areaInches = area / printerDpi;

    // Laid out once, at the printer's resolution. Only a document so long that its layout
    // overflows there (thousands of pages) is measured and laid out again at a resolution
    // that holds it.
    int dpi = printerDpi;
    std::unique_ptr<Layout> laid = LayOut(document, printer, dpi, areaInches);
    if (!laid) return Fail(reason, kReportInterrupted);
    if (laid->pages * areaInches.height() * dpi > kMaxLayoutHeight || !LaidOutInOrder(*laid->document)) {
        laid.reset();
        const qreal inches = HeightInInches(document, areaInches);
        if (EndRequested()) return Fail(reason, kReportInterrupted);
        dpi = static_cast<int>(std::min<qreal>(printerDpi, kMaxLayoutHeight / inches));
        if (dpi < kMinLayoutDpi)
            return Fail(reason, std::string(kReportPrintFailed) + ": " +
                                    std::to_string(qRound(inches / areaInches.height())) + " страниц");
        laid = LayOut(document, printer, dpi, areaInches);
        if (!laid) return Fail(reason, kReportInterrupted);
    }

    QPainter painter;
    if (!painter.begin(&printer)) return Fail(reason, kReportPrintFailed);
    const QSizeF page = areaInches * dpi;
    const qreal scale = qreal(printerDpi) / dpi;
    for (int i = 0; i < laid->pages; ++i) {
        if (EndRequested()) {
            printer.abort();  // the job is dropped, not sent half printed
            return Fail(reason, kReportInterrupted);
        }
        if (i > 0 && !printer.newPage()) return Fail(reason, kReportPrintFailed);
        painter.save();
        painter.scale(scale, scale);
        // The view stops short of the next page, so a block that begins exactly there is
        // not drawn (clipped, but still written) on this page too.
        const QRectF view(0, i * page.height(), page.width(), page.height() - 1 / scale);
        painter.translate(0, -view.top());
        laid->document->drawContents(&painter, view);
        painter.restore();
    }
    if (!painter.end()) return Fail(reason, kReportPrintFailed);
    return true;
}

bool PrintReport(QTextDocument& surface, QPrinter& printer, const std::string& templatePath, const ReportValues& values,
                 std::string* reason) {
    RichTextDocument document;
    if (!document.LoadFromFile(templatePath, reason)) return false;
    FillReport(document, values);
    // The values filled in are short, but they count too.
    if (const std::optional<std::string> breach = BudgetBreach(document.Formatted()))
        return Fail(reason, templatePath + ": " + kTemplateBeyondBudget + *breach);
    if (EndRequested()) return Fail(reason, kReportInterrupted);
    return BuildTextDocument(document.Formatted(), surface, reason) &&
           PrintDocument(surface, printer, QString::fromUtf8(kReportJobTitle), reason);
}

std::vector<std::string> OfferReportPage(QPrinter& printer, const std::string& templatePath) {
    std::vector<std::string> notes;
    RichTextDocument document;
    if (!document.LoadFromFile(templatePath)) return notes;
    printer.setPageLayout(DocumentPageLayout(document.Formatted(), printer.pageLayout(), &notes));
    return notes;
}

}  // namespace qel
