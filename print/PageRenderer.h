#pragma once

#include <QFont>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class Form;
class QColor;
class QFontMetricsF;
class QPaintDevice;
class QPainter;
struct Box;
struct CheckFinding;

// The calibration shift of every printed text, in millimetres: positive moves left/up.
struct PrintOffsets {
    double dx = 3.0;
    double dy = 3.0;
};

// Draws the box texts of a form as they are printed, onto any painter whose unit is a
// printer twip from the top-left corner of the printable area. Texts are measured with
// the metrics of the painter's own device.
class PageRenderer {
public:
    PageRenderer(const Form& form, PrintOffsets offsets) : m_form(form), m_offsets(offsets) {}

    void render(QPainter& painter) const;
    // Draws a thin red frame around every box whose text runs past it (the preview's
    // marks; never printed).
    void markOverflows(QPainter& painter) const;
    // Draws a dashed blue frame, outside the red one, around every box a check found
    // something in (the preview's marks; never printed).
    void markFindings(QPainter& painter, const std::vector<CheckFinding>& findings) const;

    // Where the first line of a box starts, in printer twips, before rounding.
    QPointF origin(const Box& box) const;
    // The wrap width of a box in whole printer twips.
    static double wrapWidth(const Box& box);
    // The box's font for a device, sized so that one point is 20 painter units
    // (a painter scaled to twips then draws it at its true size).
    static QFont deviceFont(const Box& box, const QPaintDevice& device);
    // ForeColor holds red in the low byte.
    static QColor textColor(std::uint32_t foreColor);
    // The line pitch: the height of one line of the font (ascent plus descent), whatever
    // the characters; measuring "钟" gives the same.
    static double linePitch(const QFontMetricsF& metrics);
    // Whether the box's text runs past the box when printed: a line wider than the box,
    // or more lines than its height holds. Measured on `device`, or on a device of
    // printer resolution when none is given.
    static bool overflows(const Box& box, const QPaintDevice& device);
    static bool overflows(const Box& box);
    // The lines a text prints as: carriage returns dropped, a line feed ends a line, and
    // a line takes characters while its width is below the wrap width (at least one).
    static QStringList wrapLines(const QString& text, double wrapWidth,
                                 const QFontMetricsF& metrics);

private:
    // The box's rectangle in printer twips, from where its first line starts.
    QRectF printedRect(const Box& box) const;

    const Form& m_form;
    PrintOffsets m_offsets;
};
