#include "BoxLineEdit.h"

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
