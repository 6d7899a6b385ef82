#include "CodeTables.h"

#include "DataBase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
const QString Table = QStringLiteral("代码表");

// An empty text binds as an empty text, not as NULL.
QString bound(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

bool CodeTables::available() {
    return m_db.hasTable(Table);
}

bool CodeTables::read() {
    if (m_read)
        return true;
    std::map<int, QList<CodeRow>> tables;
    if (m_db.hasTable(Table)) {
        const bool ok = m_db.withConnection([&](QSqlDatabase& db) {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            if (!q.exec(QStringLiteral("SELECT Ctl, Code, Name, PrintText FROM \"代码表\" "
                                       "ORDER BY Ctl, Seq")))
                return false;
            while (q.next())
                tables[q.value(0).toInt()].append(
                    {q.value(1).toString(), q.value(2).toString(), q.value(3).toString()});
            return q.lastError().type() == QSqlError::NoError;
        });
        if (!ok)
            return false;
    }
    m_tables = std::move(tables);
    m_read = true;
    return true;
}

std::optional<std::map<int, QList<CodeRow>>> CodeTables::all() {
    if (!read())
        return std::nullopt;
    return m_tables;
}

std::optional<QList<CodeRow>> CodeTables::table(int box) {
    if (!read())
        return std::nullopt;
    const auto found = m_tables.find(box);
    return found == m_tables.end() ? QList<CodeRow>() : found->second;
}

bool CodeTables::replace(int box, const QList<CodeRow>& rows) {
    if (!available())
        return m_db.failWith(QStringLiteral("旧版本数据库文件不能写入，代码表功能暂停使用"));
    const bool ok = m_db.inTransaction([&](QSqlDatabase& db) {
        QSqlQuery remove(db);
        if (!remove.prepare(QStringLiteral("DELETE FROM \"代码表\" WHERE Ctl = ?")))
            return false;
        remove.bindValue(0, box);
        if (!remove.exec())
            return false;
        QSqlQuery insert(db);
        if (!insert.prepare(QStringLiteral("INSERT INTO \"代码表\" (Ctl, Seq, Code, Name, PrintText) "
                                           "VALUES (?, ?, ?, ?, ?)")))
            return false;
        for (qsizetype seq = 0; seq < rows.size(); ++seq) {
            insert.bindValue(0, box);
            insert.bindValue(1, static_cast<int>(seq));
            insert.bindValue(2, bound(rows[seq].code));
            insert.bindValue(3, bound(rows[seq].name));
            insert.bindValue(4, bound(rows[seq].printText));
            if (!insert.exec())
                return false;
        }
        return true;
    });
    if (ok && m_read) {
        if (rows.isEmpty())
            m_tables.erase(box);
        else
            m_tables[box] = rows;
    }
    return ok;
}

std::optional<bool> CodeTables::knownCode(int box, const QString& text) {
    if (!read())
        return std::nullopt;
    const auto found = m_tables.find(box);
    if (found == m_tables.end())
        return std::nullopt;
    const QString trimmed = text.trimmed();
    const auto begins = [&trimmed](const QString& prefix) {
        return !prefix.isEmpty() && trimmed.startsWith(prefix, Qt::CaseInsensitive) &&
               (trimmed.size() == prefix.size() || !trimmed.at(prefix.size()).isLetterOrNumber());
    };
    for (const CodeRow& row : found->second)
        if (begins(row.code) || begins(row.printText) || trimmed == row.name)
            return true;
    // Only a text that begins with something shaped like a code (Latin letters or digits)
    // can name a wrong one; a text in words is left to the clerk.
    if (trimmed.isEmpty() || trimmed.at(0).unicode() > 0x7F || !trimmed.at(0).isLetterOrNumber())
        return std::nullopt;
    return false;
}

QString CodeTables::failureDetails() const {
    return m_db.failureDetails();
}
