#include "PendingTyping.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

bool isTextBox(QObject* object) {
    return qobject_cast<QLineEdit*>(object) || qobject_cast<QPlainTextEdit*>(object) ||
           qobject_cast<QTextEdit*>(object);
}

} // namespace

void PendingTyping::deliver() {
    if (!qApp)
        return;
    PendingTyping filter;
    qApp->installEventFilter(&filter);
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&filter);
}

bool PendingTyping::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        // Plain typing only: a key with Ctrl or Alt could be a command of its own.
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool command = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier |
                                                 Qt::MetaModifier);
        return command || !isTextBox(watched);
    }
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}
