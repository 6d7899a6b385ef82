#pragma once

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <QWidget>

// Typing as the clerk does: Latin keys one by one, Chinese committed by the input method.
inline void typeLikeClerk(QWidget* box, const QString& text) {
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80) {
            QTest::keyClicks(box, QString(ch));
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(ch));
            QCoreApplication::sendEvent(box, &commit);
        }
    }
}
