#include "DataBase.h"

#include "FactoryLayouts.h"
#include "Form.h"
#include "FormScans.h"
#include "UserDialogs.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <sqlite3.h>

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
    m_statements.clear();
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

bool DataBase::createSchema(QSqlDatabase& db, bool newFile) {
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
    // Only a file made here gets the factory layout: an existing database keeps its own.
    if (!FormScans::createTable(db) || (newFile && !writeFactoryLayouts(db)) ||
        !exec(db, QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion)) ||
        !exec(db, QStringLiteral("COMMIT"))) {
        exec(db, QStringLiteral("ROLLBACK"));
        return false;
    }
    return true;
}

// One step a version, each in its own transaction; the rows that are there stay.
bool DataBase::migrateSchema(QSqlDatabase& db, int from) {
    for (int version = from; version < SchemaVersion; ++version) {
        if (!exec(db, QStringLiteral("BEGIN IMMEDIATE")))
            return false;
        bool ok = false;
        if (version == 1) // the scanned forms came with version 2
            ok = FormScans::createTable(db);
        if (!ok || !exec(db, QStringLiteral("PRAGMA user_version = %1").arg(version + 1)) ||
            !exec(db, QStringLiteral("COMMIT"))) {
            exec(db, QStringLiteral("ROLLBACK"));
            return false;
        }
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
    const bool newFile = !info.exists() || info.size() == 0;

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
                    ok = createSchema(db, newFile);
                else if (found < SchemaVersion)
                    ok = migrateSchema(db, found);
                else
                    ok = found == SchemaVersion;
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

QSqlQuery* DataBase::statement(const QString& sql) {
    auto found = m_statements.find(sql);
    if (found != m_statements.end())
        return found->second.get();
    if (!m_open)
        return nullptr;
    auto query = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_connectionName, false));
    query->setForwardOnly(true);
    if (!query->prepare(sql))
        return nullptr;
    return m_statements.emplace(sql, std::move(query)).first->second.get();
}

bool DataBase::execCached(const QString& sql) {
    QSqlQuery* q = statement(sql);
    if (!q)
        return false;
    const bool ok = q->exec();
    q->finish();
    return ok;
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
    if (!execCached(QStringLiteral("BEGIN IMMEDIATE"))) {
        reportFailure();
        return false;
    }
    if (!work(*db) || !execCached(QStringLiteral("COMMIT"))) {
        execCached(QStringLiteral("ROLLBACK"));
        reportFailure();
        return false;
    }
    return true;
}

// Inserts the non-empty boxes of one record with a single statement: one round through
// the driver instead of one per box.
bool DataBase::insertRecordRows(const QString& table, int ord, double dat,
                                const std::function<QString(int)>& textOfBox) {
    QList<int> boxes;
    QStringList texts;
    for (int i = 0; i < BoxCount; ++i) {
        QString text = textOfBox(i);
        if (text.isEmpty())
            continue;
        boxes.append(i);
        texts.append(std::move(text));
    }
    if (boxes.isEmpty())
        return true;
    // The statement text for a table and a row count is built once.
    QString& sql = m_insertTexts[{table, boxes.size()}];
    if (sql.isEmpty()) {
        sql = QStringLiteral("INSERT INTO %1 (Ord, Dat, Ctl, Con) VALUES ").arg(quotedTable(table));
        for (qsizetype n = 0; n < boxes.size(); ++n)
            sql += n == 0 ? QStringLiteral("(?, ?, ?, ?)") : QStringLiteral(", (?, ?, ?, ?)");
    }
    QSqlQuery* insert = statement(sql);
    if (!insert)
        return false;
    int position = 0;
    for (qsizetype n = 0; n < boxes.size(); ++n) {
        insert->bindValue(position++, ord);
        insert->bindValue(position++, dat);
        insert->bindValue(position++, boxes[n]);
        insert->bindValue(position++, texts[n]);
    }
    return insert->exec();
}

std::optional<int> DataBase::readNextNumber(const QString& table) {
    QSqlQuery* q = statement(QStringLiteral("SELECT MAX(Ord) FROM %1").arg(quotedTable(table)));
    if (!q || !q->exec() || !q->next())
        return std::nullopt;
    const QVariant largest = q->value(0);
    q->finish();
    if (largest.isNull())
        return 0;
    return largest.toInt() + 1;
}

std::optional<int> DataBase::nextRecordNumber(const QString& table) {
    if (!isHistoryTable(table)) {
        reportFailure();
        return std::nullopt;
    }
    std::optional<int> next;
    if (!withConnection([&](QSqlDatabase&) { return (next = readNextNumber(table)).has_value(); }))
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
    const bool ok = inTransaction([&](QSqlDatabase&) {
        const std::optional<int> next = readNextNumber(table);
        if (!next)
            return false;
        number = *next;
        return insertRecordRows(table, number, dat, textOfBox);
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
        return inTransaction([&](QSqlDatabase&) {
            return execCached(
                       QStringLiteral("DELETE FROM %1 WHERE Ord = -1").arg(quotedTable(table))) &&
                   insertRecordRows(table, WorkingRecordOrd, WorkingRecordDate, textOfBox);
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
    const bool ok = withConnection([&](QSqlDatabase&) {
        QSqlQuery* q =
            statement(QStringLiteral("SELECT Ctl, Con FROM %1 WHERE Ord = ? ORDER BY rowid")
                          .arg(quotedTable(table)));
        if (!q)
            return false;
        q->bindValue(0, ord);
        if (!q->exec())
            return false;
        while (q->next())
            rows.append({q->value(0).toInt(), q->value(1).toString()});
        const bool complete = q->lastError().type() == QSqlError::NoError;
        q->finish();
        return complete;
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
    // The whole-table read goes straight to SQLite under Qt's own connection: a grid of
    // tens of thousands of records would otherwise spend most of its time in QVariant.
    return withConnection([&](QSqlDatabase& db) {
        const QVariant handle = db.driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return false;
        sqlite3* native = *static_cast<sqlite3* const*>(handle.constData());
        if (!native)
            return false;
        const QByteArray sql = QStringLiteral("SELECT Ord, Dat, Ctl, Con FROM %1 ORDER BY Ord DESC")
                                   .arg(quotedTable(table))
                                   .toUtf8();
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(native, sql.constData(), int(sql.size()), &stmt, nullptr) !=
            SQLITE_OK)
            return false;
        HistoryRow r;
        int rc = SQLITE_OK;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            r.ord = sqlite3_column_int(stmt, 0);
            r.dat = sqlite3_column_double(stmt, 1);
            r.ctl = sqlite3_column_int(stmt, 2);
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3));
            r.con = QString::fromUtf8(text, sqlite3_column_bytes(stmt, 3));
            row(r);
        }
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE;
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
