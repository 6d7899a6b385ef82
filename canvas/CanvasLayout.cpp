#include "CanvasLayout.h"

#include "Units.h"

#include <algorithm>

namespace {

// The scroll bar holds whole numbers up to 32767.
constexpr double ScrollLimit = 32767;

int scrollSetting(double value) {
    return static_cast<int>(std::clamp(Units::roundHalfEven(value), 0.0, ScrollLimit));
}

} // namespace

CanvasLayout computeCanvasLayout(double stripWidth, double stripHeight, double clerkZoom) {
    CanvasLayout l;
    double viewportHeight = std::max(0.0, stripHeight - CanvasLayout::ViewportTop);
    const double viewportWidth = std::max(0.0, stripWidth - 2 * CanvasLayout::ViewportLeft - 320.0);
    const double canvasWidth =
        std::max(viewportWidth, CanvasLayout::MinimumCanvasWidth) * std::max(clerkZoom, 0.01);
    // A page wider than the viewport is scrolled sideways by a bar under it.
    if (canvasWidth > viewportWidth + CanvasLayout::MinimumCanvasWidth) {
        viewportHeight = std::max(0.0, viewportHeight - CanvasLayout::ScrollBarWidth);
        l.horizontalBar =
            QRectF(CanvasLayout::ViewportLeft, CanvasLayout::ViewportTop + viewportHeight,
                   viewportWidth, CanvasLayout::ScrollBarWidth);
    }
    l.viewport = QRectF(CanvasLayout::ViewportLeft, CanvasLayout::ViewportTop, viewportWidth,
                        viewportHeight);

    const double canvasHeight = canvasWidth * 297.0 / 210.0;
    l.canvas =
        QRectF(CanvasLayout::CanvasOffset, CanvasLayout::CanvasOffset, canvasWidth, canvasHeight);

    l.scrollBar = QRectF(l.viewport.left() + viewportWidth + 10, CanvasLayout::ViewportTop,
                         CanvasLayout::ScrollBarWidth, viewportHeight);

    // A page taller than the scroll bar's range is scrolled in proportion.
    const double scale = canvasHeight > ScrollLimit ? ScrollLimit / canvasHeight : 1.0;
    // A page shorter than the viewport has nothing to scroll.
    l.scrollMaximum = canvasHeight > viewportHeight ? scrollSetting(canvasHeight) : 0;
    l.smallStep = scrollSetting(viewportHeight / 10 * scale);
    l.largeStep = scrollSetting(viewportHeight * scale);

    const double zoom = l.zoom();
    const double titleWidth = CanvasLayout::TitleWidth * zoom;
    l.title = QRectF((viewportWidth * clerkZoom - titleWidth) / 2, canvasHeight * 23.0 / 297.0,
                     titleWidth, CanvasLayout::TitleHeight * zoom);
    return l;
}

double scrolledCanvasTop(const CanvasLayout& layout, int value) {
    if (layout.scrollMaximum <= 0)
        return CanvasLayout::CanvasOffset;
    return -(layout.canvas.height() - layout.viewport.height()) * value / layout.scrollMaximum +
           CanvasLayout::CanvasOffset;
}
