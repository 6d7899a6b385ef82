#pragma once

#include <QObject>

// Keys a clerk typed into a box while the window waited (on a locked database, a slow
// server) are still queued when a message box opens; the message box would swallow them.
// deliver() lets those keys reach their boxes first and drops every other input that came
// in during the wait, so no click or shortcut runs a second command underneath the first.
class PendingTyping : public QObject {
    Q_OBJECT
public:
    static void deliver();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
