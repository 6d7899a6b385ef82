#pragma once

#include <QString>

// The printer calibration: the two page margins the user measured on the calibration
// square, in millimetres, kept as typed text in the per-user settings.
class CalibrationSetting {
public:
    // Where the calibration square is drawn, right of and below the printer origin.
    static constexpr double MarkDistanceMm = 10.0;
    // The offset of a margin that was never measured.
    static constexpr double DefaultOffsetMm = 3.0;

    struct Margins {
        QString x; // horizontal: paper's left edge to the square's left edge
        QString y; // vertical: paper's top edge to the square's top edge
    };

    // A key never written reads as the empty text.
    static Margins read();
    // Whether the clerk has saved the margin dialog: a margin is stored.
    static bool isStored();
    // Both keys together; false when the settings store could not be written.
    static bool write(const QString& x, const QString& y);

    // The shift of every printed text, in millimetres, for a stored margin text.
    static double offsetMm(const QString& stored);
};
