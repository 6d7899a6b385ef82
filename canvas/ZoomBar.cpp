#include "ZoomBar.h"

#include "PageArea.h"
#include "PageZoom.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include <cmath>

namespace {

QString percent(double zoom) {
    return QStringLiteral("%1%").arg(std::lround(zoom * 100));
}

} // namespace

ZoomBar::ZoomBar(PageArea& area, QWidget* parent) : QWidget(parent), m_area(area) {
    setAccessibleName(QStringLiteral("缩放"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addStretch();

    auto* label = new QLabel(QStringLiteral("缩放"), this);
    m_steps = new QComboBox(this);
    m_steps->setAccessibleName(QStringLiteral("缩放"));
    m_steps->setFocusPolicy(Qt::ClickFocus);
    label->setBuddy(m_steps);
    for (const double step : PageZoom::Steps)
        m_steps->addItem(percent(step), step);
    showZoom(area.zoom());
    connect(m_steps, &QComboBox::activated, this,
            [this](int index) { m_area.zoomToSelection(m_steps->itemData(index).toDouble()); });
    row->addWidget(label);
    row->addWidget(m_steps);

    const auto button = [this, row](const QString& text, void (PageArea::*action)()) {
        auto* b = new QToolButton(this);
        b->setText(text);
        b->setAccessibleName(text);
        b->setFocusPolicy(Qt::NoFocus);
        row->addWidget(b);
        connect(b, &QToolButton::clicked, &m_area, action);
        return b;
    };
    button(QStringLiteral("缩小"), &PageArea::zoomOut)->setToolTip(QStringLiteral("Ctrl+−"));
    button(QStringLiteral("放大"), &PageArea::zoomIn)->setToolTip(QStringLiteral("Ctrl+="));
    button(QStringLiteral("适合宽度"), &PageArea::fitWidth)->setToolTip(QStringLiteral("Ctrl+0"));
    connect(&area, &PageArea::zoomChanged, this, &ZoomBar::showZoom);
}

void ZoomBar::showZoom(double zoom) {
    const int index = m_steps->findData(zoom);
    if (index >= 0)
        m_steps->setCurrentIndex(index);
    else
        m_steps->setCurrentText(percent(zoom));
}
