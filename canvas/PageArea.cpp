#include "PageArea.h"

#include "PageWidget.h"
#include "Units.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>

PageArea::PageArea(Form& form, QWidget* strip) : QObject(strip) {
    m_viewport = new QWidget(strip);
    m_viewport->setAccessibleName(QStringLiteral("页面视口"));
    m_viewport->setFocusPolicy(Qt::ClickFocus);
    m_page = new PageWidget(form, m_viewport);
    m_scrollBar = new QScrollBar(Qt::Vertical, strip);
    m_scrollBar->setAccessibleName(QStringLiteral("页面滚动条"));
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &PageArea::scroll);
    // The wheel over the page scrolls it, and a box reached with the Tab key comes into view.
    m_viewport->installEventFilter(this);
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
    if (watched == m_viewport && event->type() == QEvent::Wheel) {
        QCoreApplication::sendEvent(m_scrollBar, event);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void PageArea::showBox(int index) {
    const double travel = m_layout.canvas.height() - m_layout.viewport.height();
    if (travel <= 0 || m_layout.scrollMaximum <= 0)
        return;
    const QRect box = m_page->boxWidget(index)->geometry();
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
    m_layout = computeCanvasLayout(stripWidth, stripHeight);
    m_viewport->setGeometry(ScreenTwips::toPixelRect(m_layout.viewport));
    m_page->setCanvasSize(m_layout.canvas.size());
    m_page->move(ScreenTwips::toPixels(m_layout.canvas.left()),
                 ScreenTwips::toPixels(m_layout.canvas.top()));
    m_canvasTop = m_layout.canvas.top();
    m_scrollBar->setGeometry(ScreenTwips::toPixelRect(m_layout.scrollBar));
    {
        const QSignalBlocker quiet(m_scrollBar);
        m_scrollBar->setRange(0, m_layout.scrollMaximum);
        m_scrollBar->setValue(0);
        m_scrollBar->setSingleStep(m_layout.smallStep);
        m_scrollBar->setPageStep(m_layout.largeStep);
    }
    m_page->setTitleRect(m_layout.title);
}

void PageArea::scroll(int value) {
    m_canvasTop = scrolledCanvasTop(m_layout, value);
    m_page->move(m_page->x(), ScreenTwips::toPixels(m_canvasTop));
}
