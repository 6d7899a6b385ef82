#pragma once

#include "Units.h"

#include <QRectF>

// Where the viewport, the canvas, the scroll bar and the title go inside the mode tab
// strip, in screen twips. The canvas rectangle is relative to the viewport, the title's
// to the canvas; the others to the tab strip.
struct CanvasLayout {
    static constexpr double ViewportTop = 300;
    static constexpr double ViewportLeft = 0;
    static constexpr double ScrollBarWidth = 280;
    static constexpr double TitleWidth = 5175; // page twips, scaled with the page
    static constexpr double TitleHeight = 375;
    static constexpr double CanvasOffset = -10;
    // The page keeps at least one pixel so that its zoom stays positive on tiny screens.
    static constexpr double MinimumCanvasWidth = 15;

    QRectF viewport;
    QRectF canvas;
    QRectF scrollBar;
    // Below the viewport while the page is wider than it; empty otherwise.
    QRectF horizontalBar;
    QRectF title;
    int scrollMaximum = 0;
    int smallStep = 0;
    int largeStep = 0;

    double zoom() const { return canvas.width() / Units::PageWidth; }
};

// The canvas layout for a mode tab strip of the given size; negative sizes become zero.
// `clerkZoom` multiplies the page's width, 1 being the viewport's width.
CanvasLayout computeCanvasLayout(double stripWidth, double stripHeight, double clerkZoom = 1.0);

// The canvas top for a scroll value: the range maps onto the whole page, so value 0 shows
// the page top and the maximum its bottom, each 10 twips above the viewport's edge.
double scrolledCanvasTop(const CanvasLayout& layout, int value);
