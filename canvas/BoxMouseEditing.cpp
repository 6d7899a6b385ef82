#include "BoxMouseEditing.h"

#include "BoxEditor.h"
#include "FontMenuForm.h"
#include "Form.h"
#include "PageWidget.h"
#include "Units.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>

namespace {
constexpr double MinimumGripPixels = 6;
}

// The rubber band, drawn in page twips over the page and under its boxes.
class BandOverlay : public QWidget {
public:
    explicit BandOverlay(PageWidget& page) : QWidget(&page), m_page(page) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

    void draw(QRect pageRect, QColor color) {
        m_rect = pageRect;
        m_color = color;
        setGeometry(m_page.rect());
        lower();
        show();
        update();
    }
    // Only the band last drawn is erased; another outline leaves it.
    void erase(QRect pageRect) {
        if (pageRect == m_rect)
            hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const double scale = m_page.zoom() / ScreenTwips::PerPixel;
        p.scale(scale, scale);
        p.setPen(QPen(m_color, 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(m_rect));
    }

private:
    PageWidget& m_page;
    QRect m_rect;
    QColor m_color = Qt::black;
};

BoxMouseEditing::BoxMouseEditing(PageWidget& page, BoxEditor& editor, QObject* parent)
    : QObject(parent), m_page(page), m_editor(editor) {
    m_menuForm = new FontMenuForm(&page);
    m_menuRunner = [this](QPoint at) { return m_menuForm->popUp(at); };
    m_page.installEventFilter(this);
    for (int i = 0; i < BoxCount; ++i) {
        m_page.boxMouseTarget(i)->installEventFilter(this);
        m_page.boxMouseTarget(i)->setMouseTracking(true);
        if (m_page.boxWidget(i) != m_page.boxMouseTarget(i))
            m_page.boxWidget(i)->installEventFilter(this);
    }
    m_page.setMouseTracking(true);

    // The band lies over the page's drawings and under the boxes, on a layer of its own:
    // erasing it gives back the canvas colour and the ruler grid instead of painting white.
    m_band = new BandOverlay(m_page);
    connect(&m_editor, &BoxEditor::outlineDrawn, this, [this](QRect rect, QColor color) {
        if (color == QColor(Qt::white))
            m_band->erase(rect);
        else
            m_band->draw(rect, color);
    });
    connect(&m_editor, &BoxEditor::canvasHintChanged, this,
            [this](const QString& hint) { m_page.setToolTip(hint); });
    connect(&m_editor, &BoxEditor::boxHintChanged, this,
            [this](int index, const QString& hint) { m_page.boxWidget(index)->setToolTip(hint); });
}

QPointF BoxMouseEditing::pageOf(QPointF globalPixel) const {
    return m_page.pixelToPage(m_page.mapFromGlobal(globalPixel));
}

bool BoxMouseEditing::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_page)
        return canvasEvent(event);
    const int index = m_page.boxIndexOf(watched);
    if (index < 0)
        return false;
    // The box's own context menu gives way to the font menu.
    if (event->type() == QEvent::ContextMenu)
        return true;
    if (watched != m_page.boxMouseTarget(index))
        return false;
    return boxEvent(index, event);
}

bool BoxMouseEditing::canvasEvent(QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)
        m_editor.endEditRun();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        m_editor.canvasMouseDown(e->button(), e->buttons(), pageOf(e->globalPosition()),
                                 e->modifiers());
        return false;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        m_editor.canvasMouseMove(e->buttons(), pageOf(e->globalPosition()));
        return false;
    }
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        m_editor.canvasMouseUp(e->button(), pageOf(e->globalPosition()));
        return false;
    }
    default:
        return false;
    }
}

bool BoxMouseEditing::boxEvent(int index, QEvent* event) {
    // Each drag is a step of its own, and so is the run of keys after a click.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)
        m_editor.endEditRun();
    const auto local = [&](const QMouseEvent* e) {
        const Box& box = m_page.form().box(index);
        return pageOf(e->globalPosition()) - QPointF(box.left, box.top);
    };
    switch (event->type()) {
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        // Grips keep a few pixels at every zoom.
        m_editor.setMinimumGrip(MinimumGripPixels * ScreenTwips::PerPixel / m_page.zoom());
        m_editor.boxMouseMove(index, e->buttons(), local(e));
        // While a grip is dragged the box does not select text.
        const int grip = m_page.form().box(index).gripState;
        return e->buttons() == Qt::MouseButtons(Qt::LeftButton) &&
               (grip == BoxEditor::GripMove || grip == BoxEditor::GripResize);
    }
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::RightButton) {
            openFontMenu(index, local(e));
            return true;
        }
        if (e->button() == Qt::LeftButton)
            m_pressedBox = index;
        return false;
    }
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        // A click: pressed and released with the left button on the same box.
        if (e->button() == Qt::LeftButton && m_pressedBox == index)
            m_editor.boxClick(index, e->modifiers());
        m_pressedBox = -1;
        return false;
    }
    default:
        return false;
    }
}

void BoxMouseEditing::openFontMenu(int index, QPointF local) {
    // Disabling the box sends the focus on to the next box; it comes back afterwards, so
    // that what the clerk types next still goes into this box.
    const QPointer<QWidget> hadFocus = QApplication::focusWidget();
    m_editor.boxRightPress(index, local);
    // The menu opens at the box's position plus the pointer, 200 lower, counted from the
    // main window's corner.
    const QPointF page = m_editor.menuPosition();
    const QPointF pixels = page * m_page.zoom() / ScreenTwips::PerPixel;
    QWidget* window = m_page.window();
    const QPoint at = window->mapToGlobal(pixels.toPoint());
    const bool chosen = m_menuRunner(at);
    m_editor.fontMenuClosed(index);
    if (hadFocus && hadFocus->isEnabled() && hadFocus->isVisible())
        hadFocus->setFocus(Qt::PopupFocusReason);
    if (chosen)
        m_editor.FontStyle();
}
