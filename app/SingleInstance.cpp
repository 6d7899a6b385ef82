#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

namespace {

QString serverNameFor(const QString& databasePath) {
    const QByteArray key = QFileInfo(databasePath).absoluteFilePath().toUtf8();
    return QStringLiteral("quillmarsh-") +
           QString::fromLatin1(
               QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

} // namespace

SingleInstance::SingleInstance(const QString& databasePath, QObject* parent)
    : QObject(parent), m_lock(databasePath + QStringLiteral(".lock")),
      m_serverName(serverNameFor(databasePath)) {
    // Only a lock whose program is gone is stale, however long the program runs.
    m_lock.setStaleLockTime(0);
    QDir().mkpath(QFileInfo(databasePath).absolutePath());
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire() {
    if (!m_lock.tryLock(0) && m_lock.error() == QLockFile::LockFailedError)
        return false;
    // A folder where no lock file can be written does not keep the clerk from working;
    // the database reports its own trouble.
    QLocalServer::removeServer(m_serverName); // a socket left by a program that died
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* knock = m_server->nextPendingConnection()) {
            knock->deleteLater();
            comeForward();
        }
    });
    m_server->listen(m_serverName);
    return true;
}

bool SingleInstance::askHolderToComeForward() {
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    const bool reached = socket.waitForConnected(1000);
    socket.disconnectFromServer();
    return reached;
}

void SingleInstance::comeForward() {
    if (!m_window)
        return;
    if (m_window->isMinimized())
        m_window->showNormal();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
