#include "FormScans.h"

#include "DataBase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

const QString FormScans::Table = QStringLiteral("底图");

std::optional<FormScan> FormScans::load(Mode mode) {
    FormScan scan;
    if (!m_db.hasTable(Table))
        return scan; // an older file read as it is has no scans
    const bool ok = m_db.withConnection([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT FileName, Image, OffsetX, OffsetY, Scale FROM "
                                      "\"底图\" WHERE Mode = ?")))
            return false;
        q.bindValue(0, static_cast<int>(mode));
        if (!q.exec())
            return false;
        if (q.next()) {
            scan.fileName = q.value(0).toString();
            scan.bytes = q.value(1).toByteArray();
            scan.offsetXMm = q.value(2).toDouble();
            scan.offsetYMm = q.value(3).toDouble();
            scan.scalePercent = q.value(4).toDouble();
        }
        return q.lastError().type() == QSqlError::NoError;
    });
    if (!ok)
        return std::nullopt;
    return scan;
}

bool FormScans::save(Mode mode, const FormScan& scan) {
    if (!m_db.hasTable(Table))
        return m_db.failWith(QStringLiteral("旧版本数据库文件不能写入，底图功能暂停使用"));
    return m_db.inTransaction([&](QSqlDatabase& db) {
        // Replaced as a delete and an insert, which both engines read the same way.
        QSqlQuery remove(db);
        if (!remove.prepare(QStringLiteral("DELETE FROM \"底图\" WHERE Mode = ?")))
            return false;
        remove.bindValue(0, static_cast<int>(mode));
        if (!remove.exec())
            return false;
        if (scan.isEmpty())
            return true;
        QSqlQuery q(db);
        if (!q.prepare(QStringLiteral("INSERT INTO \"底图\" (Mode, FileName, Image, "
                                      "OffsetX, OffsetY, Scale) VALUES (?, ?, ?, ?, ?, ?)")))
            return false;
        q.bindValue(0, static_cast<int>(mode));
        q.bindValue(1, scan.fileName);
        q.bindValue(2, scan.bytes);
        q.bindValue(3, scan.offsetXMm);
        q.bindValue(4, scan.offsetYMm);
        q.bindValue(5, scan.scalePercent);
        return q.exec();
    });
}

QString FormScans::failureDetails() const {
    return m_db.failureDetails();
}
