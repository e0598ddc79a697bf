#include "FixedLayoutFont.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>
#include <QStyle>
#include <QWidget>

namespace qel {

namespace {

constexpr int kDesignedPixels = 11;  // "MS Sans Serif" at 8 points, height -11
constexpr int kSmallestPixels = 9;
constexpr int kGroupTitleMargin = 16;  // the frame's corner on both sides of a title

int WidestLine(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        QString shown = line;
        shown.remove(QLatin1Char('&'));  // accelerator marks take no room
        widest = qMax(widest, metrics.horizontalAdvance(shown));
    }
    return widest;
}

bool Fits(const QWidget* widget, const QFont& windowFont) {
    // A control made bold keeps its weight in whatever font the window gets.
    QFont font = windowFont;
    if (widget->font().bold()) font.setBold(true);
    const QFontMetrics metrics(font);
    if (const auto* check = qobject_cast<const QCheckBox*>(widget)) {
        const QStyle* style = check->style();
        const int indicator = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, check) +
                              style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, check);
        return indicator + WidestLine(metrics, check->text()) <= check->width();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        return icon + WidestLine(metrics, button->text()) + 8 <= button->width();
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->wordWrap() || label->text().isEmpty()) return true;
        return WidestLine(metrics, label->text()) <= label->width();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        return WidestLine(metrics, group->title()) + kGroupTitleMargin <= group->width();
    return true;
}

bool AllFit(const QWidget* window, const QFont& font) {
    const auto children = window->findChildren<const QWidget*>();
    for (const QWidget* child : children)
        if (!Fits(child, font)) return false;
    return true;
}

}  // namespace

void ApplyFixedLayoutFont(QWidget* window) {
    QFont font = window->font();
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica"),
                      QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    for (int pixels = kDesignedPixels; pixels >= kSmallestPixels; --pixels) {
        font.setPixelSize(pixels);
        if (AllFit(window, font)) break;
    }
    window->setFont(font);
}

bool CaptionsFit(const QWidget* window) { return AllFit(window, window->font()); }

}  // namespace qel
