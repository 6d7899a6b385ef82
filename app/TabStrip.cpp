#include "TabStrip.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

namespace {

class HeaderBar : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int index) const override {
        QSize size = QTabBar::tabSizeHint(index);
        size.setHeight(TabStrip::HeaderHeightPixels);
        return size;
    }
};

} // namespace

TabStrip::TabStrip(QWidget* parent) : QWidget(parent) {
    m_bar = new HeaderBar(this);
    m_bar->setDrawBase(false);
    m_bar->setExpanding(false);
    m_bar->move(0, 0);
    connect(m_bar, &QTabBar::currentChanged, this, [this](int index) {
        showPages(index);
        emit currentChanged(index);
    });
}

int TabStrip::addTab(const QString& caption) {
    const int index = m_bar->addTab(caption);
    m_pages.append(QList<QWidget*>());
    m_bar->resize(m_bar->sizeHint().width(), HeaderHeightPixels);
    return index;
}

void TabStrip::addToTab(int tab, QWidget* widget) {
    widget->setParent(this);
    m_pages[tab].append(widget);
    widget->setVisible(tab == currentIndex());
}

int TabStrip::currentIndex() const {
    return m_bar->currentIndex();
}

void TabStrip::setCurrentIndex(int index) {
    m_bar->setCurrentIndex(index);
}

void TabStrip::showPages(int index) {
    // Hide first, so that focus does not wander through the page being left.
    for (int tab = 0; tab < m_pages.size(); ++tab)
        if (tab != index)
            for (QWidget* w : m_pages[tab])
                w->hide();
    if (index >= 0 && index < m_pages.size())
        for (QWidget* w : m_pages[index])
            w->show();
}

void TabStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QStyleOptionTabWidgetFrame pane;
    pane.initFrom(this);
    pane.rect = rect().adjusted(0, HeaderHeightPixels - 1, 0, 0);
    pane.tabBarSize = m_bar->size();
    pane.shape = QTabBar::RoundedNorth;
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &pane, &p, this);
}
