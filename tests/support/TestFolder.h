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
    // Writes `content` to `path` whole; false when it could not be written.
    static bool write(const QString& path, const QByteArray& content) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
    }

private:
    QTemporaryDir m_dir;
};
