#include "PageArea.h"

#include "Form.h"
#include "PageWidget.h"
#include "PageZoom.h"
#include "Units.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

// One notch of a mouse wheel, in eighths of a degree.
constexpr int WheelNotch = 120;

} // namespace

PageArea::PageArea(Form& form, QWidget* strip) : QObject(strip) {
    m_viewport = new QWidget(strip);
    m_viewport->setAccessibleName(QStringLiteral("页面视口"));
    m_viewport->setFocusPolicy(Qt::ClickFocus);
    m_page = new PageWidget(form, m_viewport);
    m_scrollBar = new QScrollBar(Qt::Vertical, strip);
    m_scrollBar->setAccessibleName(QStringLiteral("页面滚动条"));
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &PageArea::scroll);
    m_horizontalBar = new QScrollBar(Qt::Horizontal, strip);
    m_horizontalBar->setAccessibleName(QStringLiteral("页面横向滚动条"));
    m_horizontalBar->hide();
    connect(m_horizontalBar, &QScrollBar::valueChanged, this, &PageArea::scrollSideways);
    // The wheel over the page scrolls it, and a box reached with the Tab key comes into view.
    m_viewport->installEventFilter(this);
    // Ctrl and the wheel zoom wherever the pointer is on the page, boxes included: a
    // multi-line box would otherwise zoom its own text.
    m_page->installEventFilter(this);
    for (int i = 0; i < BoxCount; ++i)
        m_page->boxMouseTarget(i)->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        // A box pressed with the mouse is where the pointer is: scrolling it into view would
        // pull it from under the pointer and make the first drag step jump.
        if (QGuiApplication::mouseButtons() != Qt::NoButton)
            return;
        if (const int index = m_page->boxIndexOf(now); index >= 0)
            showBox(index);
    });
}

bool PageArea::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (wheel->modifiers() & Qt::ControlModifier)
        return zoomWheel(watched, event);
    if (watched != m_viewport)
        return false;
    const QPoint turn = wheel->angleDelta();
    const bool sideways =
        std::abs(turn.x()) > std::abs(turn.y()) || (wheel->modifiers() & Qt::ShiftModifier);
    if (sideways && m_horizontalBar->isVisible())
        QCoreApplication::sendEvent(m_horizontalBar, event);
    else
        QCoreApplication::sendEvent(m_scrollBar, event);
    return true;
}

bool PageArea::zoomWheel(QObject* watched, QEvent* event) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    const QPoint turn = wheel->angleDelta();
    m_wheelRest += turn.y() != 0 ? turn.y() : turn.x();
    const int notches = m_wheelRest / WheelNotch;
    m_wheelRest %= WheelNotch;
    if (notches != 0) {
        const auto* widget = static_cast<QWidget*>(watched);
        const QPointF at = widget == m_viewport
                               ? wheel->position()
                               : QPointF(widget->mapTo(m_viewport, wheel->position().toPoint()));
        zoomAt(PageZoom::stepped(m_zoom, notches), at);
    }
    return true;
}

void PageArea::showBox(int index) {
    const QRect box = m_page->boxWidget(index)->geometry();
    const int viewportWidth = m_viewport->width();
    if (m_horizontalBar->isVisible()) {
        const int shownLeft = m_page->x() + box.left();
        const int shownRight = m_page->x() + box.right();
        if (shownLeft < 0 || shownRight >= viewportWidth) {
            const int left = shownLeft < 0 ? -box.left() + 2 : viewportWidth - box.right() - 3;
            scrollCanvasTo(QPointF(left, m_page->y()));
        }
    }
    const double travel = m_layout.canvas.height() - m_layout.viewport.height();
    if (travel <= 0 || m_layout.scrollMaximum <= 0)
        return;
    const int shownTop = m_page->y() + box.top();
    const int shownBottom = m_page->y() + box.bottom();
    const int viewportHeight = m_viewport->height();
    double top = 0;
    if (shownTop < 0)
        top = -box.top() + 2;
    else if (shownBottom >= viewportHeight)
        top = viewportHeight - box.bottom() - 3;
    else
        return;
    // The scroll formula turned round: the value that puts the canvas top there.
    const double value = (-ScreenTwips::fromPixels(top) + CanvasLayout::CanvasOffset) *
                         m_layout.scrollMaximum / travel;
    m_scrollBar->setValue(static_cast<int>(
        std::clamp(std::lround(value), 0L, static_cast<long>(m_layout.scrollMaximum))));
}

void PageArea::layOut(double stripWidth, double stripHeight) {
    m_stripWidth = stripWidth;
    m_stripHeight = stripHeight;
    placeCanvas();
    {
        const QSignalBlocker quiet(m_scrollBar);
        m_scrollBar->setValue(0);
    }
    {
        const QSignalBlocker quiet(m_horizontalBar);
        m_horizontalBar->setValue(0);
    }
    scrollSideways(0);
    m_canvasTop = m_layout.canvas.top();
    m_page->move(m_page->x(), ScreenTwips::toPixels(m_canvasTop));
}

void PageArea::placeCanvas() {
    m_layout = computeCanvasLayout(m_stripWidth, m_stripHeight, m_zoom);
    m_viewport->setGeometry(ScreenTwips::toPixelRect(m_layout.viewport));
    m_page->setCanvasSize(m_layout.canvas.size());
    m_scrollBar->setGeometry(ScreenTwips::toPixelRect(m_layout.scrollBar));
    {
        const QSignalBlocker quiet(m_scrollBar);
        m_scrollBar->setRange(0, m_layout.scrollMaximum);
        m_scrollBar->setSingleStep(m_layout.smallStep);
        m_scrollBar->setPageStep(m_layout.largeStep);
    }
    const bool sideways = !m_layout.horizontalBar.isEmpty();
    {
        const QSignalBlocker quiet(m_horizontalBar);
        m_horizontalBar->setGeometry(ScreenTwips::toPixelRect(m_layout.horizontalBar));
        const int shown = m_viewport->width();
        m_horizontalBar->setRange(0, sideways ? std::max(0, m_page->width() - shown) : 0);
        m_horizontalBar->setSingleStep(std::max(1, shown / 10));
        m_horizontalBar->setPageStep(std::max(1, shown));
    }
    m_horizontalBar->setVisible(sideways);
    m_page->setTitleRect(m_layout.title);
}

void PageArea::scroll(int value) {
    m_canvasTop = scrolledCanvasTop(m_layout, value);
    m_page->move(m_page->x(), ScreenTwips::toPixels(m_canvasTop));
}

void PageArea::scrollSideways(int value) {
    const int edge = ScreenTwips::toPixels(m_layout.canvas.left());
    // A page narrower than the viewport stands in its middle.
    const int left =
        m_zoom < PageZoom::FitWidth ? (m_viewport->width() - m_page->width()) / 2 : edge - value;
    m_page->move(left, m_page->y());
}

void PageArea::scrollCanvasTo(QPointF corner) {
    const int edge = ScreenTwips::toPixels(m_layout.canvas.left());
    m_horizontalBar->setValue(std::clamp(static_cast<int>(std::lround(edge - corner.x())), 0,
                                         m_horizontalBar->maximum()));
    scrollSideways(m_horizontalBar->value());
    const double travel = m_layout.canvas.height() - m_layout.viewport.height();
    if (travel > 0 && m_layout.scrollMaximum > 0) {
        const double value = (CanvasLayout::CanvasOffset - ScreenTwips::fromPixels(corner.y())) *
                             m_layout.scrollMaximum / travel;
        m_scrollBar->setValue(static_cast<int>(
            std::clamp(std::lround(value), 0L, static_cast<long>(m_layout.scrollMaximum))));
    }
    scroll(m_scrollBar->value());
}

void PageArea::zoomAt(double factor, QPointF viewportPixel) {
    factor = std::clamp(factor, PageZoom::Minimum, PageZoom::Maximum);
    if (std::abs(factor - m_zoom) < 1e-9)
        return;
    const QPointF pagePoint = m_page->pixelToPage(viewportPixel - QPointF(m_page->pos()));
    m_zoom = factor;
    placeCanvas();
    scrollCanvasTo(viewportPixel - m_page->pageToPixel(pagePoint));
    emit zoomChanged(m_zoom);
}

void PageArea::zoomToSelection(double factor) {
    const Form& form = m_page->form();
    QRectF selection;
    for (int i = 0; i < BoxCount; ++i)
        if (const Box& b = form.box(i); b.selected())
            selection |= QRectF(b.left, b.top, b.width, b.height);
    const QPointF middle(m_viewport->width() / 2.0, m_viewport->height() / 2.0);
    if (selection.isEmpty()) {
        zoomAt(factor, middle);
        return;
    }
    // The selection keeps its place when it is in view and comes to the middle otherwise.
    const QPointF shown = QPointF(m_page->pos()) + m_page->pageToPixel(selection.center());
    const bool inView = m_viewport->rect().contains(shown.toPoint());
    const QPointF at = inView ? shown : middle;
    const QPointF pagePoint = selection.center();
    factor = std::clamp(factor, PageZoom::Minimum, PageZoom::Maximum);
    const bool changed = std::abs(factor - m_zoom) > 1e-9;
    m_zoom = factor;
    if (changed)
        placeCanvas();
    scrollCanvasTo(at - m_page->pageToPixel(pagePoint));
    if (changed)
        emit zoomChanged(m_zoom);
}

void PageArea::zoomIn() {
    zoomToSelection(PageZoom::stepped(m_zoom, 1));
}

void PageArea::zoomOut() {
    zoomToSelection(PageZoom::stepped(m_zoom, -1));
}

void PageArea::fitWidth() {
    zoomToSelection(PageZoom::FitWidth);
}
