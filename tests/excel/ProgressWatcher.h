#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <functional>

// Acts once on the progress window when it shows while a command runs (the command lets
// events run at every step): runs `whenShown`, then presses Esc if asked.
struct ProgressWatcher {
    explicit ProgressWatcher(bool escape, std::function<void()> whenShown = {}) {
        timer.callOnTimeout([=, this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->objectName() != QStringLiteral("进度显示") || !w->isVisible())
                    continue;
                timer.stop();
                if (whenShown)
                    whenShown();
                if (escape)
                    QTest::keyClick(w, Qt::Key_Escape);
                return;
            }
        });
        timer.start(0);
    }
    QTimer timer;
};
