#include "BoxLineEdit.h"

#include <QKeyEvent>
#include <QPainter>

#include <limits>

namespace {
const QColor FrameColor(128, 128, 128);
}

BoxLineEdit::BoxLineEdit(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    // A box holds a text of any length.
    setMaxLength(std::numeric_limits<int>::max());
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextMargins(2, 1, 2, 0);
}

void BoxLineEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    QPainter p(this);
    p.setPen(FrameColor);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void BoxLineEdit::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (enter && (mods == Qt::NoModifier || mods == Qt::ShiftModifier)) {
        focusNextPrevChild(mods == Qt::NoModifier);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
