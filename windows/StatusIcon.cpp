#include "StatusIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qel {

namespace {

// Paints the mark into `box`, a square; the lines are at least a pixel wide at 16 px.
void PaintMark(QPainter& p, const QRectF& box, StatusLevel level) {
    const qreal s = box.width();
    const qreal line = qMax<qreal>(1.0, s / 9.0);
    const QColor outline(20, 20, 20);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF inner = box.adjusted(line / 2, line / 2, -line / 2, -line / 2);
    const QPointF c = box.center();
    switch (level) {
        case StatusLevel::Well: {
            p.setPen(QPen(outline, line));
            p.setBrush(QColor(46, 160, 67));
            p.drawEllipse(inner);
            QPainterPath tick;
            tick.moveTo(box.left() + s * 0.25, box.top() + s * 0.52);
            tick.lineTo(box.left() + s * 0.43, box.top() + s * 0.70);
            tick.lineTo(box.left() + s * 0.76, box.top() + s * 0.32);
            p.setPen(QPen(Qt::white, qMax<qreal>(1.5, s / 7.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPath(tick);
            break;
        }
        case StatusLevel::Waiting: {
            QPolygonF diamond;
            diamond << QPointF(c.x(), inner.top()) << QPointF(inner.right(), c.y()) << QPointF(c.x(), inner.bottom())
                    << QPointF(inner.left(), c.y());
            p.setPen(QPen(outline, line, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            p.setBrush(QColor(255, 176, 0));
            p.drawPolygon(diamond);
            // The pause sign: two upright bars.
            const qreal barW = qMax<qreal>(1.0, s * 0.11), barH = s * 0.36, gap = qMax<qreal>(2.0, s * 0.12);
            p.setPen(Qt::NoPen);
            p.setBrush(outline);
            p.drawRect(QRectF(c.x() - gap / 2 - barW, c.y() - barH / 2, barW, barH));
            p.drawRect(QRectF(c.x() + gap / 2, c.y() - barH / 2, barW, barH));
            break;
        }
        case StatusLevel::CannotWrite: {
            p.setPen(QPen(outline, line, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            p.setBrush(QColor(210, 30, 30));
            p.drawRect(inner);
            const qreal m = s * 0.28;
            p.setPen(QPen(Qt::white, qMax<qreal>(1.5, s / 7.0), Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(box.left() + m, box.top() + m), QPointF(box.right() - m, box.bottom() - m));
            p.drawLine(QPointF(box.right() - m, box.top() + m), QPointF(box.left() + m, box.bottom() - m));
            break;
        }
    }
}

class StatusIconEngine : public QIconEngine {
public:
    StatusIconEngine(QIcon programIcon, StatusLevel level) : programIcon_(std::move(programIcon)), level_(level) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        programIcon_.paint(painter, rect, Qt::AlignCenter, mode, state);
        // The mark takes a little over half the icon, so it stays readable at 16 px.
        const int side = qMax(9, (rect.width() * 9 + 8) / 16);
        const QRectF box(rect.right() + 1 - side, rect.bottom() + 1 - side, side, side);
        painter->save();
        PaintMark(*painter, box, level_);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        }
        return pixmap;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64)};
    }

    QIconEngine* clone() const override { return new StatusIconEngine(programIcon_, level_); }
    QString key() const override { return QStringLiteral("qel-status"); }

private:
    QIcon programIcon_;
    StatusLevel level_;
};

}  // namespace

QIcon StatusIcon(const QIcon& programIcon, StatusLevel level) { return QIcon(new StatusIconEngine(programIcon, level)); }

}  // namespace qel
