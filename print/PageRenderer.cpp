#include "PageRenderer.h"

#include "DeclarationChecks.h"
#include "Form.h"
#include "StoredColor.h"
#include "Units.h"

#include <QColor>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <cmath>

using namespace Units;

QPointF PageRenderer::origin(const Box& box) const {
    const double xmm = box.left / PageTwipsPerMm - m_offsets.dx;
    const double ymm = box.top / PageTwipsPerMm - m_offsets.dy;
    return {MmToTwips(xmm), MmToTwips(ymm)};
}

double PageRenderer::wrapWidth(const Box& box) {
    return roundHalfEven(MmToTwips(box.width * MmPerPageTwipOfWidth));
}

QFont PageRenderer::deviceFont(const Box& box, const QPaintDevice& device) {
    const int dpi = device.logicalDpiY() > 0 ? device.logicalDpiY() : 72;
    return box.font(box.fontSize * PrinterTwipsPerPoint * 72.0 / dpi);
}

QColor PageRenderer::textColor(std::uint32_t foreColor) {
    return StoredColor::toQColor(foreColor);
}

double PageRenderer::linePitch(const QFontMetricsF& metrics) {
    return metrics.height();
}

QStringList PageRenderer::wrapLines(const QString& text, double wrapWidth,
                                    const QFontMetricsF& metrics) {
    QString rest = text;
    rest.remove(u'\r');
    QStringList lines;
    qsizetype next = 0;
    const qsizetype end = rest.size();
    while (next < end) {
        QString line;
        while (next < end) {
            // An empty line always takes a character, so a narrow box still progresses.
            if (!line.isEmpty() && metrics.horizontalAdvance(line) >= wrapWidth)
                break;
            const QChar c = rest.at(next++);
            if (c == u'\n')
                break;
            line += c;
            // A character outside the basic plane is one character, not two halves.
            if (c.isHighSurrogate() && next < end && rest.at(next).isLowSurrogate())
                line += rest.at(next++);
        }
        lines.append(line);
    }
    return lines;
}

void PageRenderer::render(QPainter& painter) const {
    const QPaintDevice& device = *painter.device();
    for (int i = 0; i < BoxCount; ++i) {
        const Box& box = m_form.box(i);
        const QPointF start = origin(box);
        const QFont font = deviceFont(box, device);
        painter.setFont(font);
        painter.setPen(textColor(box.foreColor));
        const double width = wrapWidth(box);
        if (box.text.isEmpty())
            continue;
        const QFontMetricsF metrics(font, &device);
        const double pitch = linePitch(metrics);
        const double x = roundHalfEven(start.x());
        double y = start.y();
        for (const QString& line : wrapLines(box.text, width, metrics)) {
            if (!line.isEmpty())
                painter.drawText(QPointF(x, roundHalfEven(y) + metrics.ascent()), line);
            y += pitch;
        }
    }
}

QRectF PageRenderer::printedRect(const Box& box) const {
    const QPointF start = origin(box);
    return {QPointF(roundHalfEven(start.x()), roundHalfEven(start.y())),
            QSizeF(wrapWidth(box), MmToTwips(box.height / PageTwipsPerMm))};
}

bool PageRenderer::overflows(const Box& box, const QPaintDevice& device) {
    if (box.text.isEmpty())
        return false;
    const QFontMetricsF metrics(deviceFont(box, device), &device);
    const double width = wrapWidth(box);
    const QStringList lines = wrapLines(box.text, width, metrics);
    for (const QString& line : lines)
        if (metrics.horizontalAdvance(line) > width)
            return true;
    const double height = MmToTwips(box.height / PageTwipsPerMm);
    const double held = std::floor(height / linePitch(metrics) + 1e-9);
    return static_cast<double>(lines.size()) > held;
}

bool PageRenderer::overflows(const Box& box) {
    // A device of 1440 dots an inch measures as the printer does: a dot is a twip.
    static const QImage reference = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(PrinterTwipsPerInch / 0.0254));
        image.setDotsPerMeterY(qRound(PrinterTwipsPerInch / 0.0254));
        return image;
    }();
    return overflows(box, reference);
}

void PageRenderer::markOverflows(QPainter& painter) const {
    const QPaintDevice& device = *painter.device();
    painter.save();
    // Half a millimetre wide, outside the box.
    const double pen = MmToTwips(0.5);
    painter.setPen(QPen(QColor(230, 0, 0), pen));
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < BoxCount; ++i) {
        const Box& box = m_form.box(i);
        if (overflows(box, device))
            painter.drawRect(printedRect(box).adjusted(-pen / 2, -pen / 2, pen / 2, pen / 2));
    }
    painter.restore();
}

void PageRenderer::markFindings(QPainter& painter,
                                const std::vector<CheckFinding>& findings) const {
    painter.save();
    // As wide as the overflow mark and just outside it, so a box can show both.
    const double pen = MmToTwips(0.5);
    painter.setPen(QPen(QColor(0, 90, 220), pen, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    for (const CheckFinding& finding : findings) {
        const double out = pen * 1.5;
        painter.drawRect(printedRect(m_form.box(finding.box)).adjusted(-out, -out, out, out));
    }
    painter.restore();
}
