#include "BoxUndoKeys.h"

#include "FormUndo.h"
#include "PageWidget.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

enum class Direction { None, Undo, Redo };

Direction directionOf(const QKeyEvent& key) {
    const QKeyCombination pressed = key.keyCombination();
    if (pressed == (Qt::ControlModifier | Qt::Key_Z))
        return Direction::Undo;
    if (pressed == (Qt::ControlModifier | Qt::Key_Y) ||
        pressed == (Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Z))
        return Direction::Redo;
    return Direction::None;
}

} // namespace

BoxUndoKeys::BoxUndoKeys(PageWidget& page, FormUndo& undo, QObject* parent)
    : QObject(parent), m_page(page), m_undo(undo) {
    for (int i = 0; i < BoxCount; ++i)
        m_page.boxWidget(i)->installEventFilter(this);
}

bool BoxUndoKeys::eventFilter(QObject* watched, QEvent* event) {
    const bool override = event->type() == QEvent::ShortcutOverride;
    if (!override && event->type() != QEvent::KeyPress)
        return false;
    const Direction direction = directionOf(*static_cast<QKeyEvent*>(event));
    const int index = m_page.boxIndexOf(watched);
    if (direction == Direction::None || index < 0)
        return false;
    // The box takes the key itself, so no window shortcut answers it as well.
    event->accept();
    if (override)
        return true;
    const bool undo = direction == Direction::Undo;
    QWidget* box = m_page.boxWidget(index);
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        if (undo ? line->isUndoAvailable() : line->isRedoAvailable()) {
            undo ? line->undo() : line->redo();
            return true;
        }
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(box)) {
        const QTextDocument* document = text->document();
        if (undo ? document->isUndoAvailable() : document->isRedoAvailable()) {
            undo ? text->undo() : text->redo();
            return true;
        }
    }
    if ((undo ? m_undo.nextUndo() : m_undo.nextRedo()) == FormUndo::Next::Layout)
        undo ? m_undo.undo() : m_undo.redo();
    return true;
}
