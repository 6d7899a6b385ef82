#pragma once

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QWidget;

// One program per database: a lock file beside it, and a local socket through which a
// later start asks the running program to bring its window forward.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& databasePath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this program now holds the database (a lock left by a dead program does
    // not count); false when a running program holds it.
    bool acquire();
    // Asks the program that holds the database to show its window; false when it cannot
    // be reached.
    bool askHolderToComeForward();
    // The window brought forward when a later start knocks.
    void setWindow(QWidget* window) { m_window = window; }

private:
    void comeForward();

    QLockFile m_lock;
    QString m_serverName;
    QLocalServer* m_server = nullptr;
    QPointer<QWidget> m_window;
};
