#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>

#include <cmath>

// Window geometry is worked out in screen twips, 15 to a logical pixel at 96 dpi.
namespace ScreenTwips {

inline constexpr double PerPixel = 15.0;
// The width of the A4 page in page twips; the zoom of a canvas is its width over this.
inline constexpr double PageWidth = 7935.0;
inline constexpr double PageHeight = 7935.0 * 297.0 / 210.0;

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

// Whole numbers as the scroll bar and the grid need them: halves go to the even neighbour.
inline double roundHalfEven(double value) {
    return std::nearbyint(value);
}

} // namespace ScreenTwips
