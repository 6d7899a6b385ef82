#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>

// Turns a stream of changes into few writes: the first change after a quiet spell is
// written `first` later, and while changes go on no two writes come closer than `interval`.
// A crash then loses at most `first` of new work, and typing never waits for the disk.
class ChangeThrottle : public QObject {
    Q_OBJECT
public:
    ChangeThrottle(std::chrono::milliseconds first, std::chrono::milliseconds interval,
                   QObject* parent = nullptr);

    // Something changed: a write is due, at the latest `interval` from now.
    void changed();
    // No write comes any more, pending or not.
    void stop();

signals:
    void due();

private:
    void fire();

    std::chrono::milliseconds m_first;
    std::chrono::milliseconds m_interval;
    QTimer m_timer;
    QElapsedTimer m_sinceWrite; // invalid before the first write
    bool m_stopped = false;
};
