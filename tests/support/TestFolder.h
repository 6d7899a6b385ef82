#pragma once

#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

// A test's own folder; the per-user folders are switched to Qt's test locations.
class TestFolder {
public:
    TestFolder() { QStandardPaths::setTestModeEnabled(true); }
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // The whole content of `path`, empty when it cannot be read.
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Writes `content` to `path` whole; false when it could not be written.
    static bool write(const QString& path, const QByteArray& content) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
    }

private:
    QTemporaryDir m_dir;
};
