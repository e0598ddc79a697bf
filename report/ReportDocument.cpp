#include "ReportDocument.h"

#include <QBrush>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPageSize>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>
#include <algorithm>

#include "EndRequest.h"
#include "ReportBudget.h"
#include "ReportPrinter.h"

// The resolution Qt's text layout takes lengths of formats in (Qt's own exported helper;
// a layout on a printer scales them from it to the printer's resolution).
Q_GUI_EXPORT int qt_defaultDpiY();

namespace qel {

namespace {

// Marks the empty blocks Qt keeps before and after a table at the document's edges; they
// are no text of the document.
constexpr int kFillerProperty = QTextFormat::UserProperty + 1;

// Letters bigger than this (2 inches) would not fit a page; rich text allows 1638 pt.
constexpr qreal kMaxPrintedPoints = 144;

qreal Px(int twips) { return twips * qt_defaultDpiY() / 1440.0; }

// Faces that Linux systems have in place of the common office faces, by name and by kind.
QStringList FontFamilies(const FormattedDocument& doc, int font) {
    QStringList families;
    FontKind kind = FontKind::Unknown;
    if (font >= 0 && static_cast<std::size_t>(font) < doc.fonts.size()) {
        const FontEntry& entry = doc.fonts[static_cast<std::size_t>(font)];
        kind = entry.kind;
        const QString name = QString::fromStdString(entry.name).trimmed();
        if (!name.isEmpty()) families << name;
        const QString lower = name.toLower();
        if (lower.contains(QLatin1String("times")))
            families << QStringLiteral("Liberation Serif") << QStringLiteral("Nimbus Roman");
        else if (lower.contains(QLatin1String("arial")) || lower.contains(QLatin1String("helvetica")))
            families << QStringLiteral("Liberation Sans") << QStringLiteral("Nimbus Sans");
        else if (lower.contains(QLatin1String("courier")))
            families << QStringLiteral("Liberation Mono") << QStringLiteral("Nimbus Mono PS");
    }
    switch (kind) {
        case FontKind::Swiss: families << QStringLiteral("DejaVu Sans") << QStringLiteral("sans-serif"); break;
        case FontKind::Modern: families << QStringLiteral("DejaVu Sans Mono") << QStringLiteral("monospace"); break;
        default: families << QStringLiteral("DejaVu Serif") << QStringLiteral("serif"); break;
    }
    return families;
}

QFont::StyleHint StyleHint(const FormattedDocument& doc, int font) {
    if (font < 0 || static_cast<std::size_t>(font) >= doc.fonts.size()) return QFont::Serif;
    switch (doc.fonts[static_cast<std::size_t>(font)].kind) {
        case FontKind::Swiss: return QFont::SansSerif;
        case FontKind::Modern: return QFont::Monospace;
        case FontKind::Script: return QFont::Cursive;
        case FontKind::Decor: return QFont::Decorative;
        default: return QFont::Serif;
    }
}

QColor ToColor(const Color& color) {
    return QColor((color.rgb >> 16) & 0xFF, (color.rgb >> 8) & 0xFF, color.rgb & 0xFF);
}

QTextCharFormat CharacterFormat(const FormattedDocument& doc, const CharFormat& format) {
    QTextCharFormat out;
    out.setFontFamilies(FontFamilies(doc, format.font));
    out.setFontStyleHint(StyleHint(doc, format.font));
    out.setFontPointSize(std::min(format.halfPoints / 2.0, kMaxPrintedPoints));
    out.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
    out.setFontItalic(format.italic);
    out.setFontUnderline(format.underline);
    out.setFontStrikeOut(format.strike);
    out.setForeground(format.color.set ? ToColor(format.color) : QColor(Qt::black));
    return out;
}

QTextBlockFormat BlockFormat(const Paragraph& paragraph) {
    const ParagraphFormat& f = paragraph.format;
    QTextBlockFormat out;
    switch (f.alignment) {
        case Alignment::Left: out.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute); break;
        case Alignment::Center: out.setAlignment(Qt::AlignHCenter); break;
        case Alignment::Right: out.setAlignment(Qt::AlignRight | Qt::AlignAbsolute); break;
        case Alignment::Justify: out.setAlignment(Qt::AlignJustify); break;
    }
    out.setLeftMargin(Px(f.leftIndent));
    out.setRightMargin(Px(f.rightIndent));
    // A first line never starts left of the page's margin.
    out.setTextIndent(Px(std::max(f.firstLineIndent, -std::max(0, f.leftIndent))));
    out.setTopMargin(Px(f.spaceBefore));
    out.setBottomMargin(Px(f.spaceAfter));
    if (f.lineSpacing != 0) {
        if (f.lineMultiple && f.lineSpacing > 0)
            out.setLineHeight(f.lineSpacing * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
        else if (!f.lineMultiple)
            out.setLineHeight(Px(std::abs(f.lineSpacing)),
                              f.lineSpacing > 0 ? QTextBlockFormat::MinimumHeight : QTextBlockFormat::FixedHeight);
    }
    QList<QTextOption::Tab> tabs;
    for (const TabStop& stop : f.tabs) {
        QTextOption::Tab tab;
        tab.position = Px(stop.position);
        switch (stop.kind) {
            case TabStop::Kind::Left: tab.type = QTextOption::LeftTab; break;
            case TabStop::Kind::Center: tab.type = QTextOption::CenterTab; break;
            case TabStop::Kind::Right: tab.type = QTextOption::RightTab; break;
            case TabStop::Kind::Decimal:
                tab.type = QTextOption::DelimiterTab;
                tab.delimiter = QLatin1Char(',');
                break;
        }
        tabs << tab;
    }
    std::sort(tabs.begin(), tabs.end(), [](const auto& a, const auto& b) { return a.position < b.position; });
    out.setTabPositions(tabs);
    QTextFormat::PageBreakFlags breaks = QTextFormat::PageBreak_Auto;
    if (f.pageBreakBefore) breaks |= QTextFormat::PageBreak_AlwaysBefore;
    if (paragraph.pageBreakAfter) breaks |= QTextFormat::PageBreak_AlwaysAfter;
    out.setPageBreakPolicy(breaks);
    return out;
}

class Builder {
public:
    Builder(const FormattedDocument& source, QTextDocument& target)
        : source_(source), target_(target), cursor_(&target) {}

    // False when a termination signal stopped the building.
    bool Run() {
        // One edit block: Qt then lays a paragraph out once, not again after every piece
        // of text added to it (which would cost the square of the paragraph's length).
        cursor_.beginEditBlock();
        RunBlocks();
        cursor_.endEditBlock();
        return !stopped_;
    }

private:
    void RunBlocks() {
        for (std::size_t i = 0; i < source_.blocks.size(); ++i) {
            if (Ending()) return;
            const Block& block = source_.blocks[i];
            if (block.isTable) Rows(block.rows);
            else if (i + 1 == source_.blocks.size() && !block.paragraph.closed && !source_.keepLastLine) LastParagraph(block.paragraph);
            else Paragraph(block.paragraph);
        }
        // The empty block Qt keeps after a table that ends the document, or in an empty one.
        if (blockFree_ && (afterTable_ || source_.blocks.empty())) MarkFiller();
    }

    // Starts a block for the paragraph: the free block where the cursor is (the document's
    // first, or the one after a table), else a new one.
    void StartBlock(const qel::Paragraph& paragraph) {
        spaceAfter_ = paragraph.format.spaceAfter;
        const QTextBlockFormat format = BlockFormat(paragraph);
        const QTextCharFormat chars = CharacterFormat(source_, paragraph.inlines.empty() ? CharFormat{} : paragraph.inlines.front().format);
        if (blockFree_) {
            cursor_.setBlockFormat(format);
            cursor_.setBlockCharFormat(chars);
            blockFree_ = false;
        } else {
            cursor_.insertBlock(format, chars);
        }
        afterTable_ = false;
    }

    void Paragraph(const qel::Paragraph& paragraph) {
        StartBlock(paragraph);
        Inlines(paragraph);
    }

    // The document's last paragraph when no paragraph mark ends it and the text after its
    // last line end is no line (see TrimDroppedLine).
    void LastParagraph(qel::Paragraph paragraph) {
        const bool noLine = TrimDroppedLine(paragraph);
        Paragraph(paragraph);
        if (noLine) MarkNoLine();
    }

    // An empty piece after the last forced line break of the document's text is no line:
    // the break is taken out; without a break the block is no line at all (true).
    static bool TrimDroppedLine(qel::Paragraph& paragraph) {
        std::vector<Inline>& inlines = paragraph.inlines;
        std::size_t lastBreak = inlines.size();
        for (std::size_t i = 0; i < inlines.size(); ++i)
            if (inlines[i].kind == Inline::Kind::LineBreak) lastBreak = i;
        const std::size_t from = lastBreak == inlines.size() ? 0 : lastBreak + 1;
        for (std::size_t i = from; i < inlines.size(); ++i)
            if (inlines[i].kind == Inline::Kind::Text && !inlines[i].text.empty()) return false;
        if (lastBreak == inlines.size()) return true;
        inlines.erase(inlines.begin() + static_cast<std::ptrdiff_t>(lastBreak));
        return false;
    }

    void MarkNoLine() {
        QTextBlockFormat format = cursor_.blockFormat();
        format.setProperty(kFillerProperty, true);
        cursor_.setBlockFormat(format);
    }

    void Inlines(const qel::Paragraph& paragraph) {
        for (const Inline& piece : paragraph.inlines) {
            const QTextCharFormat format = CharacterFormat(source_, piece.format);
            switch (piece.kind) {
                case Inline::Kind::Text: cursor_.insertText(QString::fromStdString(piece.text), format); break;
                case Inline::Kind::LineBreak: cursor_.insertText(QString(QChar::LineSeparator), format); break;
                case Inline::Kind::Picture: Picture(source_.pictures[piece.picture]); break;
            }
        }
    }

    // Whether a termination signal came: the building then stops, so that the program can end.
    bool Ending() {
        if (EndRequested()) stopped_ = true;
        return stopped_;
    }

    void Picture(const qel::Picture& picture) {
        // The budget counts a picture by the size its header gives; one whose header
        // cannot be read is not shown, so that nothing is decoded beyond the budget.
        const std::string_view bytes(picture.bytes);
        if (!PictureHeaderSize(bytes, picture.type)) return;
        const QImage image = QImage::fromData(
            QByteArray::fromRawData(picture.bytes.data(), static_cast<qsizetype>(picture.bytes.size())),
            picture.type == Picture::Type::Png ? "PNG" : "JPEG");
        if (image.isNull()) return;  // damaged data: the text goes on without it
        const QUrl name(QStringLiteral("qel-picture:%1").arg(++pictures_));
        target_.addResource(QTextDocument::ImageResource, name, image);
        QTextImageFormat format;
        format.setName(name.toString());
        // The size the file asks for; without one, the image's own at 96 pixels per inch.
        format.setWidth(picture.width > 0 ? Px(picture.width) : Px(image.width() * 15));
        format.setHeight(picture.height > 0 ? Px(picture.height) : Px(image.height() * 15));
        cursor_.insertImage(format);
    }

    // Table rows; a file that ends inside a row (no row mark) gets that row as plain lines,
    // as its text reads: the cells one after another, each closed cell followed by a TAB.
    void Rows(const std::vector<TableRow>& rows) {
        if (rows.empty() || rows.back().closed) {
            Table(rows);
            return;
        }
        if (rows.size() > 1) Table(std::vector<TableRow>(rows.begin(), rows.end() - 1));
        bool first = true;
        bool newLine = true;  // the paragraph before ended with its mark
        bool noLine = false;
        const std::vector<TableCell>& cells = rows.back().cells;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const TableCell& cell = cells[c];
            for (std::size_t k = 0; k < cell.paragraphs.size(); ++k) {
                qel::Paragraph paragraph = cell.paragraphs[k];
                const bool last = c + 1 == cells.size() && k + 1 == cell.paragraphs.size() && !cell.closed;
                if (last && !paragraph.closed && !source_.keepLastLine) noLine = TrimDroppedLine(paragraph) && newLine;
                if (first) StartBlock(paragraph);
                else if (newLine) cursor_.insertBlock(BlockFormat(paragraph));
                first = false;
                Inlines(paragraph);
                newLine = paragraph.closed;
            }
            if (cell.closed) {
                if (first) StartBlock(qel::Paragraph{});
                else if (newLine) cursor_.insertBlock();
                first = false;
                newLine = false;
                cursor_.insertText(QStringLiteral("\t"));
            }
        }
        if (first) return;
        if (newLine) {
            // The row's text ended with a paragraph mark: what follows is a line only if kept.
            cursor_.insertBlock();
            if (!source_.keepLastLine) MarkNoLine();
        } else if (noLine) {
            MarkNoLine();
        }
    }

    void MarkFiller() {
        QTextBlockFormat filler;
        filler.setProperty(kFillerProperty, true);
        filler.setLineHeight(0, QTextBlockFormat::FixedHeight);
        cursor_.setBlockFormat(filler);
    }

    // The cells a row shows: text after the last cell mark is a cell of its own, even when
    // a replacement left nothing of it (the plain text keeps the TAB before it).
    static int CellCount(const TableRow& row) { return static_cast<int>(row.cells.size()); }

    void Table(const std::vector<TableRow>& rows) {
        int columns = 0;
        for (const TableRow& row : rows) columns = std::max(columns, CellCount(row));
        if (columns == 0) {
            // Row marks without cells: each is an empty line of text.
            for (std::size_t i = 0; i < rows.size(); ++i) Paragraph(qel::Paragraph{});
            return;
        }
        // A table goes after the paragraph before it; an unused block where the cursor is
        // stays before the table as a filler.
        if (blockFree_) MarkFiller();
        blockFree_ = false;

        QTextTableFormat format;
        format.setBorderCollapse(true);
        format.setBorder(0);
        format.setCellSpacing(0);
        for (const TableRow& row : rows)
            if (!row.cells.empty()) {
                format.setCellPadding(Px(std::max(0, row.cells.front().padding)));
                break;
            }
        format.setAlignment(Qt::AlignLeft);
        format.setLeftMargin(Px(std::max(0, rows.front().leftEdge)));
        // Qt leaves out the space after the paragraph before a table: the table keeps it.
        format.setTopMargin(Px(spaceAfter_));
        // A cell's edges in rich text enclose its padding; Qt's column width is the text's.
        QList<QTextLength> widths;
        int left = rows.front().leftEdge;
        bool fixed = true;
        for (const TableCell& cell : rows.front().cells) {
            if (cell.rightEdge <= left) fixed = false;
            widths << QTextLength(QTextLength::FixedLength, Px(std::max(1, cell.rightEdge - left - 2 * cell.padding)));
            left = cell.rightEdge;
        }
        if (fixed && widths.size() == columns) format.setColumnWidthConstraints(widths);

        QTextTable* table = cursor_.insertTable(static_cast<int>(rows.size()), columns, format);
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            if (Ending()) break;
            const TableRow& row = rows[static_cast<std::size_t>(r)];
            const int count = CellCount(row);
            // A row of fewer cells: its last cell (or, without cells, one empty cell) spans the rest.
            const int from = std::max(0, count - 1);
            if (count < columns && columns - from > 1) table->mergeCells(r, from, 1, columns - from);
            for (int c = 0; c < count; ++c) Cell(table->cellAt(r, c), row.cells[static_cast<std::size_t>(c)]);
        }
        cursor_ = table->lastCursorPosition();
        cursor_.movePosition(QTextCursor::NextBlock);
        blockFree_ = true;
        afterTable_ = true;
    }

    void Cell(QTextTableCell cell, const TableCell& source) {
        QTextTableCellFormat format = cell.format().toTableCellFormat();
        const auto border = [&](const BorderLine& line, auto setWidth, auto setStyle, auto setBrush) {
            (format.*setWidth)(Px(line.width));
            (format.*setStyle)(line.width > 0 ? QTextFrameFormat::BorderStyle_Solid : QTextFrameFormat::BorderStyle_None);
            (format.*setBrush)(QBrush(line.color.set ? ToColor(line.color) : QColor(Qt::black)));
        };
        border(source.top, &QTextTableCellFormat::setTopBorder, &QTextTableCellFormat::setTopBorderStyle,
               &QTextTableCellFormat::setTopBorderBrush);
        border(source.left, &QTextTableCellFormat::setLeftBorder, &QTextTableCellFormat::setLeftBorderStyle,
               &QTextTableCellFormat::setLeftBorderBrush);
        border(source.bottom, &QTextTableCellFormat::setBottomBorder, &QTextTableCellFormat::setBottomBorderStyle,
               &QTextTableCellFormat::setBottomBorderBrush);
        border(source.right, &QTextTableCellFormat::setRightBorder, &QTextTableCellFormat::setRightBorderStyle,
               &QTextTableCellFormat::setRightBorderBrush);
        format.setPadding(Px(source.padding));
        cell.setFormat(format);

        QTextCursor saved = cursor_;
        cursor_ = cell.firstCursorPosition();
        bool first = true;
        for (const qel::Paragraph& paragraph : source.paragraphs) {
            if (first) {
                cursor_.setBlockFormat(BlockFormat(paragraph));
                first = false;
            } else {
                cursor_.insertBlock(BlockFormat(paragraph));
            }
            Inlines(paragraph);
        }
        cursor_ = saved;
    }

    const FormattedDocument& source_;
    QTextDocument& target_;
    QTextCursor cursor_;
    bool blockFree_ = true;   // the cursor's block holds nothing yet and may take a paragraph
    bool afterTable_ = false;
    int pictures_ = 0;
    bool stopped_ = false;  // a termination signal came: nothing more is built
    int spaceAfter_ = 0;  // space after the paragraph last started
};

// Adds a block's text to the lines: a forced line break ends a line, pictures give nothing.
void AppendBlockText(const QTextBlock& block, QStringList& lines, QString& line) {
    for (const QChar ch : block.text()) {
        if (ch == QChar::LineSeparator) {
            lines << line;
            line.clear();
        } else if (ch != QChar::ObjectReplacementCharacter) {
            line += ch;
        }
    }
}

}  // namespace

bool BuildTextDocument(const FormattedDocument& source, QTextDocument& target, std::string* reason) {
    target.clear();
    target.setUndoRedoEnabled(false);
    target.setDocumentMargin(0);
    QTextOption option = target.defaultTextOption();
    option.setTabStopDistance(Px(source.defaultTab));
    target.setDefaultTextOption(option);
    QFont font(FontFamilies(source, -1).front());
    font.setFamilies(FontFamilies(source, -1));
    font.setPointSizeF(12);
    target.setDefaultFont(font);
    if (Builder(source, target).Run()) return true;
    if (reason != nullptr) *reason = kReportInterrupted;
    return false;
}

QPageLayout DocumentPageLayout(const FormattedDocument& source, const QPageLayout& current,
                               std::vector<std::string>* notes) {
    const PageSetup& page = source.page;
    QPageLayout layout = current;
    layout.setUnits(QPageLayout::Point);
    const bool setsPaper = page.width > 0 || page.height > 0;
    if (setsPaper && (page.width < kMinPaperTwips || page.height < kMinPaperTwips)) {
        if (notes != nullptr) notes->emplace_back(kTemplatePaperTooSmall);
    } else if (setsPaper) {
        // A standard paper within a few points is offered by its name (A5 landscape, not
        // a custom size of 595 x 420 points), so that the printer dialog shows it.
        const QSizeF portrait(std::min(page.width, page.height) / 20.0, std::max(page.width, page.height) / 20.0);
        layout.setOrientation(page.width > page.height ? QPageLayout::Landscape : QPageLayout::Portrait);
        layout.setPageSize(QPageSize(portrait, QPageSize::Point, QString(), QPageSize::FuzzyMatch), QMarginsF(0, 0, 0, 0));
    }
    const QSizeF paper = layout.fullRectPoints().size();
    const QMarginsF margins(page.marginLeft / 20.0, page.marginTop / 20.0, page.marginRight / 20.0,
                            page.marginBottom / 20.0);
    const qreal minText = kMinTextTwips / 20.0;
    // Margins that leave too little room for text fall back to the printer's own.
    if (paper.width() - margins.left() - margins.right() < minText ||
        paper.height() - margins.top() - margins.bottom() < minText || !layout.setMargins(margins)) {
        if (notes != nullptr) notes->emplace_back(kTemplateMarginsTooWide);
        layout.setMargins(current.margins(QPageLayout::Point));
    }
    return layout;
}

QStringList TextDocumentLines(const QTextDocument& document) {
    QStringList lines;
    QString line;
    bool anything = false;  // whether `line` was started (an empty line counts once ended)
    const auto endLine = [&] {
        lines << line;
        line.clear();
        anything = false;
    };
    QTextFrame* root = document.rootFrame();
    for (auto it = root->begin(); !it.atEnd(); ++it) {
        if (QTextTable* table = qobject_cast<QTextTable*>(it.currentFrame())) {
            for (int r = 0; r < table->rows(); ++r) {
                for (int c = 0; c < table->columns(); ++c) {
                    const QTextTableCell cell = table->cellAt(r, c);
                    if (cell.column() != c) continue;  // covered by a merged cell
                    if (c > 0) line += QLatin1Char('\t');
                    bool firstBlock = true;
                    for (auto b = cell.begin(); !b.atEnd(); ++b) {
                        if (!firstBlock) endLine();
                        firstBlock = false;
                        AppendBlockText(b.currentBlock(), lines, line);
                    }
                }
                endLine();
            }
            continue;
        }
        const QTextBlock block = it.currentBlock();
        if (!block.isValid() || block.blockFormat().hasProperty(kFillerProperty)) continue;
        AppendBlockText(block, lines, line);
        anything = true;
        endLine();
    }
    if (anything) endLine();
    return lines;
}

}  // namespace qel
