#pragma once

#include <cmath>

// Lengths of the page model and of the printer. The model holds page twips (the A4
// page is 7935 wide); the printer draws in printer twips, 1/1440 inch.
namespace PrintUnits {

inline constexpr double PageWidthMm = 210.0;
inline constexpr double PageHeightMm = 297.0;
inline constexpr double PageWidth = 7935.0;
inline constexpr double PageHeight = PageWidth * PageHeightMm / PageWidthMm;
// Positions follow the height scale, wrap widths the width scale.
inline constexpr double PageTwipsPerMm = PageHeight / PageHeightMm;
inline constexpr double MmPerPageTwipOfWidth = PageWidthMm / PageWidth;
// The inch is taken as 1 / 0.03937 mm, so that calibrations measured before still fit.
inline constexpr double PrinterTwipsPerMm = 0.03937 * 1440.0;
inline constexpr double PrinterTwipsPerPoint = 20.0;
inline constexpr double PrinterTwipsPerInch = 1440.0;

// Whole twips, a half going to the even neighbour.
inline double roundHalfEven(double value) {
    const double nearest = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5)
        return 2.0 * std::round(value / 2.0);
    return nearest;
}

} // namespace PrintUnits

inline constexpr double MmToTwips(double mm) {
    return mm * 0.03937 * 1440.0;
}
