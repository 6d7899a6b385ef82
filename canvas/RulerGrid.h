#pragma once

#include <QColor>
#include <QSizeF>

class QPainter;

// The millimetre grid over a picture of the A4 page: light lines every 2 mm, grey lines
// every centimetre, and the centimetre numbers every 2 cm along the top, bottom and left
// edges. The painter's unit is the unit of `picture` (page twips on the canvas); the
// number offsets and the 9-point number font are in page twips too.
namespace RulerGrid {

inline const QColor CentimetreLine = QColor(150, 150, 150);
inline const QColor MillimetreLine = QColor(230, 230, 230);

void draw(QPainter& painter, QSizeF picture, const QColor& textColor);

} // namespace RulerGrid
