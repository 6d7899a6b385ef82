#pragma once

#include "CanvasLayout.h"

#include <QObject>
#include <QPointF>

class Form;
class PageWidget;
class QScrollBar;
class QWidget;

// The viewport `Pic` with the canvas `PIC0` inside it and the scroll bar `VSC` beside it,
// all placed in the mode tab strip by the canvas layout. The clerk's zoom scales the
// canvas; the box model keeps its page twips.
class PageArea : public QObject {
    Q_OBJECT
public:
    PageArea(Form& form, QWidget* strip);

    // The canvas layout for a strip of the given size in screen twips: the page returns to
    // its top and the scroll bar to 0. The clerk's zoom stays.
    void layOut(double stripWidth, double stripHeight);
    const CanvasLayout& layout() const { return m_layout; }

    QWidget* viewport() const { return m_viewport; }
    PageWidget* page() const { return m_page; }
    QScrollBar* scrollBar() const { return m_scrollBar; }
    // Shown while the zoomed page is wider than the viewport.
    QScrollBar* horizontalScrollBar() const { return m_horizontalBar; }
    // The canvas top in the viewport, in screen twips, as the last scroll left it.
    double canvasTop() const { return m_canvasTop; }

    // Scrolls as little as needed to bring box `index` wholly into the viewport.
    void showBox(int index);

    // The clerk's zoom over the page's fitted width, from 50 % to 400 %.
    double zoom() const { return m_zoom; }
    // Zooms keeping the page point under `viewportPixel` where it is.
    void zoomAt(double factor, QPointF viewportPixel);
    // Zooms keeping the selected boxes in view, or the middle of the viewport.
    void zoomToSelection(double factor);
    void zoomIn();
    void zoomOut();
    void fitWidth();

signals:
    void zoomChanged(double zoom);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scroll(int value);
    void scrollSideways(int value);
    void placeCanvas();
    // Scrolls so that the canvas's top-left corner lies at `corner` in viewport pixels, as
    // near as the scroll bars go.
    void scrollCanvasTo(QPointF corner);
    bool zoomWheel(QObject* watched, QEvent* event);

    QWidget* m_viewport = nullptr;
    PageWidget* m_page = nullptr;
    QScrollBar* m_scrollBar = nullptr;
    QScrollBar* m_horizontalBar = nullptr;
    CanvasLayout m_layout;
    double m_canvasTop = CanvasLayout::CanvasOffset;
    double m_stripWidth = 0;
    double m_stripHeight = 0;
    double m_zoom = 1.0;
    // Eighths of a degree the wheel turned with Ctrl held, not yet a whole notch.
    int m_wheelRest = 0;
};
