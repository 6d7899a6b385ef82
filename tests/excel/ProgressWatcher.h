#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// Watches for the progress window while a command runs (the command lets events run at
// every step) and acts on it once it shows: records its caption, optionally presses Esc.
class ProgressWatcher {
public:
    explicit ProgressWatcher(bool pressEscape, std::function<void()> whenShown = {})
        : m_pressEscape(pressEscape), m_whenShown(std::move(whenShown)) {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { look(); });
        m_timer.start();
    }
    QString caption;
    bool seen = false;
    bool alwaysOnTop = false;

private:
    void look() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() != QStringLiteral("进度显示") || !w->isVisible())
                continue;
            m_timer.stop();
            seen = true;
            caption = w->windowTitle();
            alwaysOnTop = w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            if (m_whenShown)
                m_whenShown();
            if (m_pressEscape)
                QTest::keyClick(w, Qt::Key_Escape);
            return;
        }
    }
    QTimer m_timer;
    bool m_pressEscape = false;
    std::function<void()> m_whenShown;
};
