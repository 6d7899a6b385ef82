#pragma once

#include <QRect>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <cstdint>

// Every length of the program and its conversions, in one place: page twips (the model;
// the A4 page is 7935 wide), screen twips (window geometry, 15 to a logical pixel at
// 96 dpi), printer twips (1/1440 inch) and millimetres of paper.
namespace Units {

inline constexpr double ScreenTwipsPerPixel = 15.0;

inline constexpr double PageWidthMm = 210.0;
inline constexpr double PageHeightMm = 297.0;
inline constexpr double PageWidth = 7935.0;
inline constexpr double PageHeight = PageWidth * PageHeightMm / PageWidthMm;
// Positions follow the height scale, wrap widths the width scale.
inline constexpr double PageTwipsPerMm = PageHeight / PageHeightMm;
inline constexpr double MmPerPageTwipOfWidth = PageWidthMm / PageWidth;
// A point of type is 25.4 / 72 mm of paper, whatever the screen.
inline constexpr double PageTwipsPerPoint = PageTwipsPerMm * 25.4 / 72.0;

// The inch is taken as 1 / 0.03937 mm, so that calibrations measured before still fit.
inline constexpr double PrinterTwipsPerMm = 0.03937 * 1440.0;
inline constexpr double PrinterTwipsPerPoint = 20.0;
inline constexpr double PrinterTwipsPerInch = 1440.0;

// Whole numbers, a half going to the even neighbour, whatever the floating-point mode.
inline double roundHalfEven(double value) {
    if (std::fabs(value - std::trunc(value)) == 0.5)
        return 2.0 * std::round(value / 2.0);
    return std::round(value);
}

} // namespace Units

inline constexpr double MmToTwips(double mm) {
    return mm * Units::PrinterTwipsPerMm;
}

// Window geometry is worked out in screen twips; a pixel size is always rounded, never cut.
namespace ScreenTwips {

inline constexpr double PerPixel = Units::ScreenTwipsPerPixel;

inline int toPixels(double twips) {
    return static_cast<int>(std::lround(twips / PerPixel));
}

inline double fromPixels(double pixels) {
    return pixels * PerPixel;
}

// Each edge is rounded on its own, so that boxes which touch in twips touch on screen.
inline QRect toPixelRect(const QRectF& twips) {
    const int left = toPixels(twips.left());
    const int top = toPixels(twips.top());
    const int right = toPixels(twips.left() + twips.width());
    const int bottom = toPixels(twips.top() + twips.height());
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

} // namespace ScreenTwips
