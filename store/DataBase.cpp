#include "DataBase.h"

#include "Form.h"
#include "UserDialogs.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <cmath>

namespace {

QAtomicInt g_connectionCounter;

bool exec(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    return q.exec(sql);
}

QString quotedTable(const QString& table) {
    return u'"' + table + u'"';
}

} // namespace

DataBase::DataBase(UserDialogs& dialogs, QString filePath)
    : m_dialogs(dialogs), m_filePath(std::move(filePath)),
      m_connectionName(
          QStringLiteral("quillmarsh-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1))) {}

DataBase::~DataBase() {
    dropConnection();
}

QString DataBase::defaultFilePath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(folder).filePath(QStringLiteral("Par.db"));
}

bool DataBase::isHistoryTable(const QString& table) {
    return table == Catalogue::modeWord(Mode::Export) || table == Catalogue::modeWord(Mode::Import);
}

double DataBase::toOleDate(const QDateTime& moment) {
    static const QDate epoch(1899, 12, 30);
    const qint64 days = epoch.daysTo(moment.date());
    const int seconds = moment.time().msecsSinceStartOfDay() / 1000;
    return static_cast<double>(days) + seconds / 86400.0;
}

QDateTime DataBase::fromOleDate(double value) {
    static const QDate epoch(1899, 12, 30);
    const double whole = std::floor(value);
    const qint64 seconds = std::llround((value - whole) * 86400.0);
    QDateTime moment(epoch.addDays(static_cast<qint64>(whole)), QTime(0, 0));
    return moment.addSecs(seconds);
}

void DataBase::dropConnection() {
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_open = false;
}

void DataBase::reportFailure() {
    m_dialogs.tell(Messages::databaseOpenError());
}

bool DataBase::createSchema(QSqlDatabase& db) {
    // Days since 1899-12-30 stay a REAL, so the working record keeps its date 26894.0.
    static const char* const statements[] = {
        "CREATE TABLE IF NOT EXISTS \"出口\" (Ord INTEGER NOT NULL, Dat REAL NOT NULL, "
        "Ctl INTEGER NOT NULL, Con TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS \"进口\" (Ord INTEGER NOT NULL, Dat REAL NOT NULL, "
        "Ctl INTEGER NOT NULL, Con TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS \"格式\" (Name TEXT NOT NULL, Ctl INTEGER, X REAL, Y REAL, "
        "W REAL, H REAL, Color INTEGER, fName TEXT, fSize REAL, fBold INTEGER, fItalic INTEGER, "
        "fUnderline INTEGER, fStrikethru INTEGER)",
        "CREATE INDEX IF NOT EXISTS \"出口_Ord\" ON \"出口\" (Ord)",
        "CREATE INDEX IF NOT EXISTS \"进口_Ord\" ON \"进口\" (Ord)",
        "CREATE INDEX IF NOT EXISTS \"格式_Name\" ON \"格式\" (Name)",
    };
    if (!exec(db, QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    for (const char* sql : statements) {
        if (!exec(db, QString::fromUtf8(sql))) {
            exec(db, QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    if (!exec(db, QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion)) ||
        !exec(db, QStringLiteral("COMMIT"))) {
        exec(db, QStringLiteral("ROLLBACK"));
        return false;
    }
    return true;
}

std::optional<QSqlDatabase> DataBase::connection() {
    if (m_open && QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            return db;
    }
    dropConnection();

    const QFileInfo info(m_filePath);
    if (!QDir().mkpath(info.absolutePath()))
        return std::nullopt;

    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(m_filePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs));
        if (db.open()) {
            // Reading the header first: a file that is not a database fails here and is
            // left exactly as it was.
            QSqlQuery version(db);
            if (version.exec(QStringLiteral("PRAGMA user_version")) && version.next()) {
                const int found = version.value(0).toInt();
                version.finish();
                if (found == 0)
                    ok = createSchema(db);
                else
                    ok = found <= SchemaVersion;
                if (ok) {
                    QSqlQuery journal(db);
                    ok = journal.exec(QStringLiteral("PRAGMA journal_mode=WAL")) &&
                         exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
                }
            }
        }
    }
    if (!ok) {
        dropConnection();
        return std::nullopt;
    }
    m_open = true;
    return QSqlDatabase::database(m_connectionName, false);
}

bool DataBase::withConnection(const std::function<bool(QSqlDatabase&)>& work) {
    std::optional<QSqlDatabase> db = connection();
    if (!db || !work(*db)) {
        reportFailure();
        return false;
    }
    return true;
}

bool DataBase::inTransaction(const std::function<bool(QSqlDatabase&)>& work) {
    std::optional<QSqlDatabase> db = connection();
    if (!db) {
        reportFailure();
        return false;
    }
    // IMMEDIATE takes the write lock up front, so a locked file waits out the busy
    // timeout here rather than failing half way.
    if (!exec(*db, QStringLiteral("BEGIN IMMEDIATE"))) {
        reportFailure();
        return false;
    }
    if (!work(*db) || !exec(*db, QStringLiteral("COMMIT"))) {
        exec(*db, QStringLiteral("ROLLBACK"));
        reportFailure();
        return false;
    }
    return true;
}

namespace {

// Inserts the non-empty boxes of one record with a prepared statement.
bool insertRecordRows(QSqlDatabase& db, const QString& table, int ord, double dat,
                      const std::function<QString(int)>& textOfBox) {
    QSqlQuery insert(db);
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 (Ord, Dat, Ctl, Con) VALUES (?, ?, ?, ?)")
                            .arg(quotedTable(table))))
        return false;
    for (int i = 0; i < BoxCount; ++i) {
        const QString text = textOfBox(i);
        if (text.isEmpty())
            continue;
        insert.bindValue(0, ord);
        insert.bindValue(1, dat);
        insert.bindValue(2, i);
        insert.bindValue(3, text);
        if (!insert.exec())
            return false;
    }
    return true;
}

std::optional<int> readNextNumber(QSqlDatabase& db, const QString& table) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT MAX(Ord) FROM %1").arg(quotedTable(table))) || !q.next())
        return std::nullopt;
    if (q.value(0).isNull())
        return 0;
    return q.value(0).toInt() + 1;
}

} // namespace

std::optional<int> DataBase::nextRecordNumber(const QString& table) {
    if (!isHistoryTable(table)) {
        reportFailure();
        return std::nullopt;
    }
    std::optional<int> next;
    if (!withConnection(
            [&](QSqlDatabase& db) { return (next = readNextNumber(db, table)).has_value(); }))
        return std::nullopt;
    return next;
}

std::optional<int> DataBase::appendNewRecord(const QString& table, double dat,
                                             const std::function<QString(int)>& textOfBox) {
    if (!isHistoryTable(table)) {
        reportFailure();
        return std::nullopt;
    }
    // The number is read inside the write transaction, so no other writer takes it.
    int number = 0;
    const bool ok = inTransaction([&](QSqlDatabase& db) {
        const std::optional<int> next = readNextNumber(db, table);
        if (!next)
            return false;
        number = *next;
        return insertRecordRows(db, table, number, dat, textOfBox);
    });
    if (!ok)
        return std::nullopt;
    return number;
}

bool DataBase::SaveHistoryRecord(const Form& form, const QString& table, int& ord) {
    if (!isHistoryTable(table)) {
        reportFailure();
        return false;
    }
    const auto textOfBox = [&form](int i) { return form.text(i); };
    if (ord == WorkingRecordOrd) {
        return inTransaction([&](QSqlDatabase& db) {
            QSqlQuery remove(db);
            return remove.exec(
                       QStringLiteral("DELETE FROM %1 WHERE Ord = -1").arg(quotedTable(table))) &&
                   insertRecordRows(db, table, WorkingRecordOrd, WorkingRecordDate, textOfBox);
        });
    }
    // One moment for every row of the record.
    const std::optional<int> number =
        appendNewRecord(table, toOleDate(QDateTime::currentDateTime()), textOfBox);
    if (!number)
        return false;
    ord = *number;
    return true;
}

bool DataBase::LoadHistoryRecord(Form& form, int ord, const QString& table) {
    if (!isHistoryTable(table)) {
        reportFailure();
        return false;
    }
    QList<QPair<int, QString>> rows;
    const bool ok = withConnection([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT Ctl, Con FROM %1 WHERE Ord = ? ORDER BY rowid")
                           .arg(quotedTable(table))))
            return false;
        q.bindValue(0, ord);
        if (!q.exec())
            return false;
        while (q.next())
            rows.append({q.value(0).toInt(), q.value(1).toString()});
        return q.lastError().type() == QSqlError::NoError;
    });
    if (!ok)
        return false; // the boxes stay as they were
    // Every box is emptied first, so a box without a row ends up empty.
    QStringList texts(BoxCount);
    for (const auto& [ctl, con] : rows)
        if (ctl >= 0 && ctl < BoxCount)
            texts[ctl] = con;
    for (int i = 0; i < BoxCount; ++i)
        form.setText(i, QString());
    for (int i = 0; i < BoxCount; ++i)
        if (!texts[i].isEmpty())
            form.setText(i, texts[i]);
    return true;
}

bool DataBase::forEachHistoryRow(const QString& table,
                                 const std::function<void(const HistoryRow&)>& row) {
    if (!isHistoryTable(table)) {
        reportFailure();
        return false;
    }
    return withConnection([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT Ord, Dat, Ctl, Con FROM %1 ORDER BY Ord DESC")
                        .arg(quotedTable(table))))
            return false;
        HistoryRow r;
        while (q.next()) {
            r.ord = q.value(0).toInt();
            r.dat = q.value(1).toDouble();
            r.ctl = q.value(2).toInt();
            r.con = q.value(3).toString();
            row(r);
        }
        return q.lastError().type() == QSqlError::NoError;
    });
}

bool DataBase::deleteRecords(const QString& table, const QList<int>& ords) {
    if (!isHistoryTable(table)) {
        reportFailure();
        return false;
    }
    return inTransaction([&](QSqlDatabase& db) {
        QSqlQuery remove(db);
        if (!remove.prepare(QStringLiteral("DELETE FROM %1 WHERE Ord = ?").arg(quotedTable(table))))
            return false;
        for (int ord : ords) {
            remove.bindValue(0, ord);
            if (!remove.exec())
                return false;
        }
        return true;
    });
}

bool DataBase::clearTable(const QString& table) {
    if (!isHistoryTable(table)) {
        reportFailure();
        return false;
    }
    return inTransaction([&](QSqlDatabase& db) {
        QSqlQuery remove(db);
        return remove.exec(QStringLiteral("DELETE FROM %1").arg(quotedTable(table)));
    });
}
