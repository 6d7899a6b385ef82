#include "ChangeThrottle.h"

#include <algorithm>

ChangeThrottle::ChangeThrottle(std::chrono::milliseconds first, std::chrono::milliseconds interval,
                               QObject* parent)
    : QObject(parent), m_first(first), m_interval(interval) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ChangeThrottle::fire);
}

void ChangeThrottle::changed() {
    if (m_stopped || m_timer.isActive())
        return;
    std::chrono::milliseconds wait = m_first;
    // A write shortly before holds the next one back until the interval is over.
    if (m_sinceWrite.isValid())
        wait = std::max(m_first, m_interval - std::chrono::milliseconds(m_sinceWrite.elapsed()));
    m_timer.start(wait);
}

void ChangeThrottle::stop() {
    m_stopped = true;
    m_timer.stop();
}

void ChangeThrottle::fire() {
    m_sinceWrite.start();
    emit due();
}
