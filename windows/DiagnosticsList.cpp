#include "DiagnosticsList.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace qel {

namespace {

constexpr int kTextMargin = 2;  // pixels between the frame and the text
constexpr std::size_t kRecentWidths = 64;  // distinct lines whose widths are kept
// Posted once per batch of appended lines; handled when the batch's events are done.
const QEvent::Type kRefreshEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

TDiagnosticsList::TDiagnosticsList(QWidget* parent) : TDiagnosticsList(DiagnosticLines::kDefaultBound, parent) {}

TDiagnosticsList::TDiagnosticsList(std::size_t bound, QWidget* parent) : QAbstractScrollArea(parent), lines_(bound) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Base);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(1);
    // The user scrolling away from the newest line stops the list following it; scrolling
    // back to the end starts it again.
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] {
        QScrollBar* bar = verticalScrollBar();
        followNewest_ = bar->sliderPosition() >= bar->maximum();
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
}

int TDiagnosticsList::RowHeight() const { return std::max(1, fontMetrics().height()); }

int TDiagnosticsList::RowsInView() const { return std::max(1, viewport()->height() / RowHeight()); }

int TDiagnosticsList::TopRow() const { return verticalScrollBar()->value(); }

int TDiagnosticsList::Measure(const QString& text) const { return fontMetrics().horizontalAdvance(text); }

QString TDiagnosticsList::LineText(int row) const {
    if (row < 0 || row >= count()) return {};
    const std::string_view line = lines_.Line(static_cast<std::size_t>(row));
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

int TDiagnosticsList::MeasureNew(const std::string& utf8) {
    if (const auto known = recentWidths_.find(utf8); known != recentWidths_.end()) return known->second;
    const int width = Measure(QString::fromStdString(utf8));
    if (recentWidths_.size() >= kRecentWidths) recentWidths_.clear();
    recentWidths_.emplace(utf8, width);
    return width;
}

void TDiagnosticsList::AppendLine(const std::string& utf8) {
    if (const std::size_t dropped = lines_.Append(utf8); dropped > 0) {
        // The oldest lines went at the bound, and a line before the new one says so: the
        // selection stays on its line, and the widest line measured is kept.
        const int shift = static_cast<int>(dropped);
        currentRow_ = currentRow_ >= shift ? currentRow_ - shift : -1;
        widest_ = std::max(widest_, Measure(LineText(count() - 2)));
    }
    widest_ = std::max(widest_, MeasureNew(utf8));
    ScheduleRefresh();
}

void TDiagnosticsList::Clear() {
    lines_.Clear();
    widest_ = 0;
    currentRow_ = -1;
    followNewest_ = true;
    ScheduleRefresh();
}

void TDiagnosticsList::SetCurrentRow(int row) {
    currentRow_ = row >= 0 && row < count() ? row : -1;
    viewport()->update();
}

void TDiagnosticsList::ScheduleRefresh() {
    if (refreshPending_) return;
    refreshPending_ = true;
    QCoreApplication::postEvent(this, new QEvent(kRefreshEvent), Qt::LowEventPriority);
}

bool TDiagnosticsList::event(QEvent* event) {
    if (event->type() == kRefreshEvent) {
        refreshPending_ = false;
        Refresh();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void TDiagnosticsList::Refresh() {
    UpdateScrollBars();
    if (followNewest_) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

void TDiagnosticsList::UpdateScrollBars() {
    // The vertical bar counts rows, the horizontal one pixels.
    const int rowsInView = RowsInView();
    QScrollBar* vertical = verticalScrollBar();
    vertical->setPageStep(rowsInView);
    vertical->setRange(0, std::max(0, count() - rowsInView));
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setPageStep(viewport()->width());
    horizontal->setRange(0, std::max(0, widest_ + 2 * kTextMargin - viewport()->width()));
}

void TDiagnosticsList::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    Refresh();
}

void TDiagnosticsList::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        // Rare (the window sets its font once, before any line): measure every line again.
        widest_ = 0;
        recentWidths_.clear();
        for (int row = 0; row < count(); ++row) widest_ = std::max(widest_, Measure(LineText(row)));
        ScheduleRefresh();
    }
    QAbstractScrollArea::changeEvent(event);
}

void TDiagnosticsList::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const int row = TopRow() + static_cast<int>(event->position().y()) / RowHeight();
        SetCurrentRow(row < count() ? row : -1);
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void TDiagnosticsList::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const int rowHeight = RowHeight();
    const int first = TopRow();
    const int last = std::min(count() - 1, first + viewport()->height() / rowHeight + 1);
    const int x = kTextMargin - horizontalScrollBar()->value();
    const QPalette& colours = palette();
    for (int row = first; row <= last; ++row) {
        const QRect rowRect(0, (row - first) * rowHeight, viewport()->width(), rowHeight);
        const bool selected = row == currentRow_;
        if (selected) painter.fillRect(rowRect, colours.brush(QPalette::Highlight));
        painter.setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(QRect(x, rowRect.y(), std::max(widest_, viewport()->width()) + kTextMargin, rowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, LineText(row));
    }
}

}  // namespace qel
