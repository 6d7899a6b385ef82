#pragma once

#include "CanvasLayout.h"

#include <QObject>

class Form;
class PageWidget;
class QScrollBar;
class QWidget;

// The viewport `Pic` with the canvas `PIC0` inside it and the scroll bar `VSC` beside it,
// all placed in the mode tab strip by the canvas layout.
class PageArea : public QObject {
    Q_OBJECT
public:
    PageArea(Form& form, QWidget* strip);

    // The canvas layout for a strip of the given size in screen twips: the page returns to
    // its top and the scroll bar to 0.
    void layOut(double stripWidth, double stripHeight);
    const CanvasLayout& layout() const { return m_layout; }

    QWidget* viewport() const { return m_viewport; }
    PageWidget* page() const { return m_page; }
    QScrollBar* scrollBar() const { return m_scrollBar; }
    // The canvas top in the viewport, in screen twips, as the last scroll left it.
    double canvasTop() const { return m_canvasTop; }

    // Scrolls as little as needed to bring box `index` wholly into the viewport.
    void showBox(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scroll(int value);

    QWidget* m_viewport = nullptr;
    PageWidget* m_page = nullptr;
    QScrollBar* m_scrollBar = nullptr;
    CanvasLayout m_layout;
    double m_canvasTop = CanvasLayout::CanvasOffset;
};
