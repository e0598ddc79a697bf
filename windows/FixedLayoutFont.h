#pragma once

class QWidget;

namespace qel {

// Windows laid out in pixels for an 8-point "MS Sans Serif" get the nearest font the
// desktop has: a narrow sans-serif family of the same height where one is installed,
// otherwise the default sans-serif, made smaller (down to 9 pixels) until every caption
// fits its control.
void ApplyFixedLayoutFont(QWidget* window);

// True when every caption of the window's buttons, check boxes, labels and group boxes
// fits its control with the window's current font.
bool CaptionsFit(const QWidget* window);

}  // namespace qel
