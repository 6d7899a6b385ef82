#include "PageArea.h"

#include "PageWidget.h"
#include "ScreenTwips.h"

#include <QScrollBar>
#include <QWidget>

PageArea::PageArea(Form& form, QWidget* strip) : QObject(strip) {
    m_viewport = new QWidget(strip);
    m_viewport->setAccessibleName(QStringLiteral("页面视口"));
    m_viewport->setFocusPolicy(Qt::ClickFocus);
    m_page = new PageWidget(form, m_viewport);
    m_scrollBar = new QScrollBar(Qt::Vertical, strip);
    m_scrollBar->setAccessibleName(QStringLiteral("页面滚动条"));
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &PageArea::scroll);
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
