#include "RulerGrid.h"

#include "Units.h"

#include <QFont>
#include <QPainter>
#include <QPen>

namespace {

// The whole-number test of the grid: the integer part of d / 10, times 10, equals d.
bool multipleOf10(int d) {
    return (d / 10) * 10 == d;
}

void line(QPainter& p, const QColor& color, QPointF from, QPointF to) {
    QPen pen(color);
    pen.setCosmetic(true);
    pen.setWidth(1);
    p.setPen(pen);
    p.drawLine(from, to);
}

void number(QPainter& p, double x, double y, int value) {
    // Text stands with its top-left corner on the point, as it is written on the page.
    p.drawText(QRectF(x, y, 10000, 10000), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
               QString::number(value));
}

} // namespace

void RulerGrid::draw(QPainter& p, QSizeF picture, const QColor& textColor) {
    const double width = picture.width();
    const double height = picture.height();
    if (width <= 0 || height <= 0)
        return;
    const double u = height / 297.0;
    const int wlim =
        static_cast<int>(Units::roundHalfEven(width / height * Units::PageHeightMm + 5));
    const int hlim = 297 + 5;

    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int d = 0; d <= wlim; d += 2)
        line(p, multipleOf10(d) ? CentimetreLine : MillimetreLine, QPointF(d * u, 0),
             QPointF(d * u, height));
    for (int d = 0; d <= hlim; d += 2)
        line(p, multipleOf10(d) ? CentimetreLine : MillimetreLine, QPointF(0, d * u),
             QPointF(width, d * u));

    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(180); // 9 points in twips
    p.setFont(font);
    p.setPen(textColor);
    for (int d = 2; d <= wlim; d += 2) {
        if (d % 20 != 0)
            continue;
        p.setPen(textColor);
        number(p, d * u - 40, 20, d / 10);
        number(p, d * u - 40, height - 200, d / 10);
    }
    for (int d = 2; d <= hlim; d += 2) {
        if (!multipleOf10(d))
            continue;
        line(p, CentimetreLine, QPointF(0, d * u), QPointF(width, d * u));
        if (d % 20 == 0) {
            p.setPen(textColor);
            number(p, 20, d * u - 80, d / 10);
        }
    }
    p.restore();
}
