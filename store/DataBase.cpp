#include "DataBase.h"

#include "BoxText.h"
#include "FactoryLayouts.h"
#include "StoreSettings.h"

#include "Form.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QCursor>
#include <QGuiApplication>
#include <QUrl>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QVariant>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QCryptographicHash>
#include <QUuid>

#include <cmath>
#include <limits>

namespace {

QAtomicInt g_connectionCounter;

bool exec(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    return q.exec(sql);
}

// The history table of a mode, quoted for SQL: "出口" or "进口".
QString quotedTable(Mode mode) {
    return u'"' + Catalogue::modeWord(mode) + u'"';
}

} // namespace

DataBase::DataBase(QString filePath)
    : m_filePath(std::move(filePath)),
      m_connectionName(
          QStringLiteral("quillmarsh-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1))) {}

DataBase::~DataBase() {
    dropConnection();
}

QString DataBase::defaultFilePath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(folder).filePath(QStringLiteral("Par.db"));
}

std::unique_ptr<DataBase> DataBase::office(const QString& conninfo) {
    auto store = std::make_unique<DataBase>(QString());
    store->m_conninfo = conninfo;
    return store;
}

QString DataBase::textParam() const {
    return isOffice() ? QStringLiteral("convert_from(?, 'UTF8')") : QStringLiteral("CAST(? AS TEXT)");
}

QString DataBase::textColumn(const QString& column) const {
    return isOffice() ? QStringLiteral("convert_to(%1, 'UTF8')").arg(column)
                      : QStringLiteral("CAST(%1 AS BLOB)").arg(column);
}

QString DataBase::byteLength(const QString& column) const {
    return isOffice() ? QStringLiteral("octet_length(%1)").arg(column)
                      : QStringLiteral("length(CAST(%1 AS BLOB))").arg(column);
}

QString DataBase::insertionOrder() const {
    // The server's unique keys allow one row a box, so the box order is the written one.
    return isOffice() ? QStringLiteral("Ctl") : QStringLiteral("rowid");
}

QString DataBase::textOfUtf8(QByteArrayView utf8) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                       QStringConverter::Flag::Stateless);
    return decoder(utf8);
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

namespace {

sqlite3* nativeHandle(QSqlDatabase& db) {
    if (!db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

PGconn* serverHandle(QSqlDatabase& db) {
    if (!db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    // The driver names the type by libpq's struct tag.
    if (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0)
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

// Record numbers of a history table are taken one writer at a time: the lock is held to
// the end of the transaction that stores the record.
qint64 recordNumberLock(Mode mode) {
    return 0x51554C4C00LL + static_cast<int>(mode);
}
constexpr qint64 FactoryLayoutLock = 0x51554C4C10LL;
// Asks the insert of a record for the next free number.
constexpr int NextFreeNumber = std::numeric_limits<int>::min();

// Every table and index; one that is missing is created again at the next open.
struct SchemaObject {
    const char* name;
    const char* sql;
};
const SchemaObject schemaObjects[] = {
    // Days since 1899-12-30 stay a REAL, so the working record keeps its date 26894.0.
    {"出口", "CREATE TABLE IF NOT EXISTS \"出口\" (Ord INTEGER NOT NULL, Dat REAL NOT NULL, "
             "Ctl INTEGER NOT NULL, Con TEXT NOT NULL)"},
    {"进口", "CREATE TABLE IF NOT EXISTS \"进口\" (Ord INTEGER NOT NULL, Dat REAL NOT NULL, "
             "Ctl INTEGER NOT NULL, Con TEXT NOT NULL)"},
    {"格式", "CREATE TABLE IF NOT EXISTS \"格式\" (Name TEXT NOT NULL, Ctl INTEGER, X REAL, "
             "Y REAL, W REAL, H REAL, Color INTEGER, fName TEXT, fSize REAL, fBold INTEGER, "
             "fItalic INTEGER, fUnderline INTEGER, fStrikethru INTEGER)"},
    // The recovery copy of typed work: one row a box, written a moment after each change.
    {"恢复", "CREATE TABLE IF NOT EXISTS \"恢复\" (Mode INTEGER NOT NULL, Ctl INTEGER NOT NULL, "
             "Con TEXT NOT NULL, X REAL, Y REAL, W REAL, H REAL, Color INTEGER, fName TEXT, "
             "fSize REAL, fBold INTEGER, fItalic INTEGER, fUnderline INTEGER, "
             "fStrikethru INTEGER)"},
    // The scanned blank form of each mode, shown behind the boxes.
    {"底图", "CREATE TABLE IF NOT EXISTS \"底图\" (Mode INTEGER PRIMARY KEY, "
             "FileName TEXT NOT NULL, Image BLOB NOT NULL, OffsetX REAL NOT NULL, "
             "OffsetY REAL NOT NULL, Scale REAL NOT NULL)"},
    // The clerk's own code tables, one a box: the box, the row's place, code, name and the
    // text printed for it (empty: the code).
    {"代码表", "CREATE TABLE IF NOT EXISTS \"代码表\" (Ctl INTEGER NOT NULL, Seq INTEGER NOT NULL, "
               "Code TEXT NOT NULL, Name TEXT NOT NULL, PrintText TEXT NOT NULL)"},
    {"出口_Ord", "CREATE INDEX IF NOT EXISTS \"出口_Ord\" ON \"出口\" (Ord)"},
    {"进口_Ord", "CREATE INDEX IF NOT EXISTS \"进口_Ord\" ON \"进口\" (Ord)"},
    {"格式_Name", "CREATE INDEX IF NOT EXISTS \"格式_Name\" ON \"格式\" (Name)"},
    // A box's earlier texts are counted from these alone, never from the whole table.
    {"出口_Ctl_Con", "CREATE INDEX IF NOT EXISTS \"出口_Ctl_Con\" ON \"出口\" (Ctl, Con, Dat) "
                     "WHERE Ord >= 0 AND length(CAST(Con AS BLOB)) <= 2000"},
    {"进口_Ctl_Con", "CREATE INDEX IF NOT EXISTS \"进口_Ctl_Con\" ON \"进口\" (Ctl, Con, Dat) "
                     "WHERE Ord >= 0 AND length(CAST(Con AS BLOB)) <= 2000"},
    {"代码表_Ctl", "CREATE INDEX IF NOT EXISTS \"代码表_Ctl\" ON \"代码表\" (Ctl, Seq)"},
};

QString reasonOfCode(int code) {
    switch (code & 0xff) {
    case SQLITE_NOTADB:
        return QStringLiteral("文件不是数据库");
    case SQLITE_CORRUPT:
        return QStringLiteral("数据库文件已损坏");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("文件被其他程序锁定");
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return QStringLiteral("文件只读，不能写入");
    case SQLITE_CANTOPEN:
        return QStringLiteral("文件无法打开");
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满");
    case SQLITE_IOERR:
        return QStringLiteral("读写文件出错");
    default:
        return {};
    }
}

} // namespace

void DataBase::noteFailure(QSqlDatabase* db, const QString& fallback) {
    m_failureReason = fallback;
    if (isOffice()) {
        PGconn* conn = db ? serverHandle(*db) : nullptr;
        if (!conn || PQstatus(conn) == CONNECTION_BAD) {
            const QString said = conn ? QString::fromUtf8(PQerrorMessage(conn)).trimmed() : fallback;
            m_failureReason = QStringLiteral("数据库服务器无法连接") +
                              (said.isEmpty() ? QString() : QStringLiteral("（%1）").arg(said));
            return;
        }
        const QString said = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        if (!said.isEmpty())
            m_failureReason = said.contains(u"permission denied")
                                  ? QStringLiteral("没有权限（%1）").arg(said)
                                  : said;
        return;
    }
    sqlite3* native = db ? nativeHandle(*db) : nullptr;
    if (!native)
        return;
    const int code = sqlite3_extended_errcode(native);
    if (code == SQLITE_OK)
        return;
    const QString message = QString::fromUtf8(sqlite3_errmsg(native));
    QString reason = reasonOfCode(code);
    if (reason.isEmpty() && message.startsWith(QLatin1String("no such table")))
        reason = QStringLiteral("缺少数据表");
    m_failureReason =
        reason.isEmpty() ? message : reason + QStringLiteral("（") + message + QStringLiteral("）");
}

QString DataBase::failureDetails() const {
    const QString reason = m_failureReason.isEmpty() ? QStringLiteral("未知") : m_failureReason;
    if (isOffice())
        return QStringLiteral("服务器：%1\n原因：%2")
            .arg(serverAddress(), StoreSettings::withoutPassword(reason));
    return QStringLiteral("文件：%1\n原因：%2").arg(QDir::toNativeSeparators(m_filePath), reason);
}

// Where the connection string points, without its password: host (or socket folder),
// port, database and user as libpq reads them.
QString DataBase::serverAddress() const {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(m_conninfo.toUtf8().constData(), &error);
    if (!options) {
        PQfreemem(error);
        return StoreSettings::withoutPassword(m_conninfo);
    }
    QMap<QString, QString> given;
    for (PQconninfoOption* o = options; o->keyword; ++o)
        if (o->val && *o->val)
            given.insert(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val));
    PQconninfoFree(options);
    QStringList parts;
    if (given.contains(QStringLiteral("service")))
        parts << QStringLiteral("service=%1").arg(given.value(QStringLiteral("service")));
    const QString host = given.value(QStringLiteral("host"),
                                     given.value(QStringLiteral("hostaddr"), QStringLiteral("localhost")));
    parts << host + u':' + given.value(QStringLiteral("port"), QStringLiteral("5432"));
    for (const char* key : {"dbname", "user"})
        if (given.contains(QLatin1String(key)))
            parts << QStringLiteral("%1=%2").arg(QLatin1String(key), given.value(QLatin1String(key)));
    return parts.join(u' ');
}

bool DataBase::ensureSchema(QSqlDatabase& db, int foundVersion, bool newFile, bool writable) {
    m_tables.clear();
    {
        QSqlQuery q(db);
        if (!q.exec(
                QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table', 'index')")))
            return false;
        while (q.next())
            m_tables.append(q.value(0).toString());
    }
    bool complete = foundVersion == SchemaVersion;
    for (const SchemaObject& object : schemaObjects)
        complete = complete && m_tables.contains(QString::fromUtf8(object.name));
    if (complete)
        return true; // nothing is written, so a file another program holds still reads
    // An older file is upgraded only where it can be written; otherwise it is read as it
    // is, and what needs the newer tables is off until it can be.
    const auto readAsItIs = [&] {
        m_notice = QStringLiteral("数据库文件是旧版本，现在不能写入（%1），已按只读打开：恢复未保存"
                                  "内容和底图功能暂停使用。")
                       .arg(m_failureReason.isEmpty() ? QStringLiteral("文件只读")
                                                      : m_failureReason);
        m_failureReason.clear();
        return true;
    };
    if (!writable)
        return readAsItIs();
    // Missing tables and indexes are created again whatever the version says; the rows
    // that are there stay untouched.
    if (!exec(db, QStringLiteral("BEGIN IMMEDIATE"))) {
        noteFailure(&db);
        const bool held = m_failureReason.startsWith(QStringLiteral("文件被其他程序锁定"));
        return held && foundVersion > 0 ? readAsItIs() : false;
    }
    bool ok = true;
    for (const SchemaObject& object : schemaObjects)
        ok = ok && exec(db, QString::fromUtf8(object.sql));
    // Only a file made here gets the factory layout: an existing database keeps its own.
    ok = ok && (!newFile || writeFactoryLayouts(db));
    ok = ok && exec(db, QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion));
    if (ok && exec(db, QStringLiteral("COMMIT"))) {
        for (const SchemaObject& object : schemaObjects)
            m_tables.append(QString::fromUtf8(object.name));
        return true;
    }
    noteFailure(&db);
    exec(db, QStringLiteral("ROLLBACK"));
    return false;
}

bool DataBase::hasTable(const QString& name) {
    const bool open = connection().has_value();
    endBusyWait();
    return open && m_tables.contains(name);
}

// Waits for a file another program holds, in short sleeps, with the busy cursor shown
// from the first retry on; gives up after the busy timeout.
int DataBase::onBusy(void* self, int attempts) {
    auto* store = static_cast<DataBase*>(self);
    constexpr int SleepMs = 10;
    if (attempts == 0 && !store->m_waiting && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        store->m_waiting = true;
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    if (attempts * SleepMs >= store->m_busyTimeoutMs)
        return 0;
    sqlite3_sleep(SleepMs);
    return 1;
}

void DataBase::installBusyWait(QSqlDatabase& db) {
    if (sqlite3* native = nativeHandle(db))
        sqlite3_busy_handler(native, &DataBase::onBusy, this);
}

void DataBase::endBusyWait() {
    if (std::exchange(m_waiting, false))
        QGuiApplication::restoreOverrideCursor();
}

std::optional<QSqlDatabase> DataBase::connection() {
    if (m_open && QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            return db;
    }
    dropConnection();
    if (isOffice())
        return connectOffice();

    const QFileInfo info(m_filePath);
    if (!QDir().mkpath(info.absolutePath())) {
        m_failureReason = QStringLiteral("无法建立文件夹 %1").arg(info.absolutePath());
        return std::nullopt;
    }

    const bool newFile = !info.exists() || info.size() == 0;
    const bool writable =
        newFile || (info.isWritable() && QFileInfo(info.absolutePath()).isWritable());
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        if (writable) {
            db.setDatabaseName(m_filePath);
        } else {
            // Read-only, and immutable unless another program left a journal to read, so
            // that opening creates no -wal or -shm file beside it.
            const QFileInfo wal(m_filePath + QStringLiteral("-wal"));
            QString uri = QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded);
            uri += wal.exists() && wal.size() > 0 ? QStringLiteral("?mode=ro")
                                                  : QStringLiteral("?mode=ro&immutable=1");
            db.setDatabaseName(uri);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        }
        if (!db.open()) {
            noteFailure(&db, db.lastError().text());
        } else {
            installBusyWait(db);
            // Reading the header first: a file that is not a database fails here and is
            // left exactly as it was.
            QSqlQuery version(db);
            if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next()) {
                noteFailure(&db);
            } else {
                const int found = version.value(0).toInt();
                version.finish();
                if (found > SchemaVersion) {
                    m_failureReason = QStringLiteral("数据库由较新版本的程序建立");
                } else if (ensureSchema(db, found, newFile, writable)) {
                    // A file read as it is keeps its journal mode.
                    QSqlQuery journal(db);
                    ok = !writable || !m_notice.isEmpty() ||
                         (journal.exec(QStringLiteral("PRAGMA journal_mode=WAL")) &&
                          exec(db, QStringLiteral("PRAGMA synchronous=NORMAL")));
                }
                if (!ok && m_failureReason.isEmpty())
                    noteFailure(&db);
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

std::optional<QSqlDatabase> DataBase::connectOffice() {
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
        // The whole connection string goes to libpq; its password file supplies a password.
        // A server that does not answer is given up after seconds, not minutes, unless the
        // office set its own limits.
        QString conninfo = m_conninfo;
        if (!conninfo.startsWith(QLatin1String("postgres"))) {
            if (!conninfo.contains(QLatin1String("connect_timeout")))
                conninfo += QStringLiteral(" connect_timeout=5");
            if (!conninfo.contains(QLatin1String("tcp_user_timeout")))
                conninfo += QStringLiteral(" tcp_user_timeout=15000");
        }
        db.setConnectOptions(conninfo);
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && !std::exchange(m_waiting, true))
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        if (!db.open())
            noteFailure(&db, db.lastError().driverText() + u' ' + db.lastError().databaseText());
        else
            ok = checkOfficeSchema(db);
    }
    if (!ok) {
        dropConnection();
        return std::nullopt;
    }
    m_open = true;
    return QSqlDatabase::database(m_connectionName, false);
}

// The server's tables are made by its setup script, never here; a database without them,
// or made for a newer program, is refused with the reason.
bool DataBase::checkOfficeSchema(QSqlDatabase& db) {
    QSqlQuery version(db);
    if (!version.exec(QStringLiteral("SELECT MAX(Version) FROM \"版本\"")) || !version.next()) {
        noteFailure(&db);
        m_failureReason = QStringLiteral("服务器上的数据库没有报关单数据表（请用 office-db.sh 建立）："
                                         "%1").arg(m_failureReason);
        return false;
    }
    if (version.value(0).toInt() > OfficeSchemaVersion) {
        m_failureReason = QStringLiteral("数据库由较新版本的程序建立");
        return false;
    }
    version.finish();
    m_tables = {QStringLiteral("出口"), QStringLiteral("进口"), QStringLiteral("格式"),
                QStringLiteral("底图")};
    // A server set up by an older script has no code tables; the rest still works.
    QSqlQuery codes(db);
    if (!codes.exec(QStringLiteral("SELECT to_regclass('public.\"代码表\"') IS NOT NULL")) ||
        !codes.next()) {
        noteFailure(&db);
        return false;
    }
    if (codes.value(0).toBool())
        m_tables.append(QStringLiteral("代码表"));
    codes.finish();
    // The first clerk on a new server brings the factory layout, under a lock so that two
    // first clerks do not both bring it.
    const QString anyLayout = QStringLiteral("SELECT 1 FROM \"格式\" LIMIT 1");
    QSqlQuery any(db);
    if (!any.exec(anyLayout)) {
        noteFailure(&db);
        return false;
    }
    if (any.next())
        return true;
    any.finish();
    QSqlQuery lock(db);
    const bool written =
        exec(db, QStringLiteral("BEGIN")) &&
        lock.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(FactoryLayoutLock)) &&
        lock.exec(anyLayout) && (lock.next() || writeFactoryLayouts(db)) &&
        exec(db, QStringLiteral("COMMIT"));
    if (!written) {
        noteFailure(&db);
        exec(db, QStringLiteral("ROLLBACK"));
    }
    return written;
}

bool DataBase::connectionLost(QSqlDatabase& db) const {
    PGconn* conn = serverHandle(db);
    return isOffice() && (!conn || PQstatus(conn) == CONNECTION_BAD);
}

std::optional<QString> DataBase::serverVersion() {
    QString version;
    const bool ok = withConnection([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SHOW server_version")) || !q.next())
            return false;
        version = QStringLiteral("PostgreSQL ") + q.value(0).toString();
        return true;
    });
    if (!ok)
        return std::nullopt;
    return version;
}

// Transaction control: prepared once on the file; the server does not prepare it.
bool DataBase::control(QSqlDatabase& db, const QString& sql) {
    return isOffice() ? exec(db, sql) : execCached(sql);
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
    bool ok = false;
    // A connection the server dropped (a restart, the network) is made again once, and
    // the work runs again from its start: a transaction it was in was rolled back.
    for (int attempt = 0; attempt < 2 && !ok; ++attempt) {
        m_failureReason.clear();
        bool lost = false;
        {
            std::optional<QSqlDatabase> db = connection();
            if (!db)
                break;
            ok = work(*db);
            if (!ok && m_failureReason.isEmpty()) // a rollback has not already kept the reason
                noteFailure(&*db);
            lost = !ok && connectionLost(*db);
        }
        if (!lost)
            break;
        const QString reason = m_failureReason;
        dropConnection();
        m_failureReason = reason;
    }
    endBusyWait();
    return ok;
}

bool DataBase::inTransaction(const std::function<bool(QSqlDatabase&)>& work) {
    return withConnection([&](QSqlDatabase& db) {
        // IMMEDIATE takes the write lock up front, so a locked file waits out the busy
        // timeout here rather than failing half way.
        if (!control(db, isOffice() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE")))
            return false;
        if (work(db) && control(db, QStringLiteral("COMMIT")))
            return true;
        noteFailure(&db); // before the rollback replaces the error
        control(db, QStringLiteral("ROLLBACK"));
        return false;
    });
}

// Inserts the non-empty boxes of one record with a single statement: one round through
// the driver instead of one per box.
bool DataBase::insertRecordRows(Mode mode, int& ord, double dat,
                                const std::function<QString(int)>& textOfBox, const QString& key) {
    QList<int> boxes;
    QStringList texts;
    for (int i = 0; i < BoxCount; ++i) {
        // Texts from a workbook reach the store without passing the boxes.
        QString text = BoxText::wellFormed(textOfBox(i));
        if (text.isEmpty())
            continue;
        boxes.append(i);
        texts.append(std::move(text));
    }
    // The server numbers a record inside its insert; elsewhere the number is read first.
    if (ord == NextFreeNumber && (boxes.isEmpty() || !isOffice())) {
        const std::optional<int> next = readNextNumber(mode);
        if (!next)
            return false;
        ord = *next;
    }
    if (boxes.isEmpty())
        return true;
    if (isOffice())
        return insertServerRows(mode, ord, dat, boxes, texts, key);
    // The statement text for a table and a row count is built once.
    QString& sql = m_insertTexts[{mode, boxes.size()}];
    if (sql.isEmpty()) {
        const QString row = QStringLiteral("(?, ?, ?, %1)").arg(textParam());
        sql = QStringLiteral("INSERT INTO %1 (Ord, Dat, Ctl, Con) VALUES ").arg(quotedTable(mode));
        for (qsizetype n = 0; n < boxes.size(); ++n)
            sql += (n == 0 ? QString() : QStringLiteral(", ")) + row;
    }
    QSqlQuery* insert = statement(sql);
    if (!insert)
        return false;
    int position = 0;
    for (qsizetype n = 0; n < boxes.size(); ++n) {
        insert->bindValue(position++, ord);
        insert->bindValue(position++, dat);
        insert->bindValue(position++, boxes[n]);
        insert->bindValue(position++, exactText(texts[n]));
    }
    return insert->exec();
}

namespace {

// An array value in PostgreSQL's text form: each element quoted, quotes and backslashes
// escaped, so any text is one element.
QByteArray textArray(const QStringList& texts) {
    QByteArray out = "{";
    for (qsizetype n = 0; n < texts.size(); ++n) {
        out += n == 0 ? "\"" : ",\"";
        for (const char c : texts[n].toUtf8()) {
            if (c == '"' || c == '\\')
                out += '\\';
            out += c;
        }
        out += '"';
    }
    return out + '}';
}

} // namespace

// On the server the boxes go as two array values in one statement: five values to send
// instead of five a box, and no statement text as long as the record. The record's key is
// on its first row, enough to find it by.
bool DataBase::insertServerRows(Mode mode, int& ord, double dat, const QList<int>& boxes,
                                const QStringList& texts, const QString& key) {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    PGconn* conn = serverHandle(db);
    if (!conn)
        return false;
    const QByteArray sql =
        // With no number given ($1 empty), the next free one, read after the lock.
        QStringLiteral("INSERT INTO %1 (Ord, Dat, Ctl, Con, RecordKey) SELECT COALESCE(CAST($1 "
                       "AS integer), (SELECT COALESCE(MAX(Ord), -1) + 1 FROM %1)), $2, u.c, u.t, "
                       "CASE WHEN u.n = 1 THEN CAST($5 AS uuid) END FROM unnest(CAST($3 AS "
                       "smallint[]), CAST($4 AS text[])) WITH ORDINALITY AS u(c, t, n) "
                       "RETURNING Ord")
            .arg(quotedTable(mode))
            .toUtf8();
    QByteArray numbers = "{";
    for (qsizetype n = 0; n < boxes.size(); ++n)
        numbers += (n == 0 ? "" : ",") + QByteArray::number(boxes[n]);
    numbers += '}';
    const QByteArray ordText = QByteArray::number(ord);
    const QByteArray datText = QByteArray::number(dat, 'g', 17);
    const QByteArray textsValue = textArray(texts);
    const QByteArray keyText = key.toUtf8();
    const char* values[5] = {ord == NextFreeNumber ? nullptr : ordText.constData(), datText.constData(), numbers.constData(),
                             textsValue.constData(), key.isEmpty() ? nullptr : keyText.constData()};
    PGresult* result = PQexecParams(conn, sql.constData(), 5, nullptr, values, nullptr, nullptr, 0);
    const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0;
    if (ok)
        ord = std::atoi(PQgetvalue(result, 0, 0));
    PQclear(result);
    return ok;
}

std::optional<int> DataBase::readNextNumber(Mode mode) {
    QSqlQuery* q = statement(QStringLiteral("SELECT MAX(Ord) FROM %1").arg(quotedTable(mode)));
    if (!q || !q->exec() || !q->next())
        return std::nullopt;
    const QVariant largest = q->value(0);
    q->finish();
    if (largest.isNull())
        return 0;
    return largest.toInt() + 1;
}

std::optional<int> DataBase::nextRecordNumber(Mode mode) {
    std::optional<int> next;
    if (!withConnection([&](QSqlDatabase&) { return (next = readNextNumber(mode)).has_value(); }))
        return std::nullopt;
    return next;
}

bool DataBase::lockRecordNumbers(Mode mode) {
    if (!isOffice())
        return true; // BEGIN IMMEDIATE already keeps every other writer out of the file
    QSqlQuery* lock = statement(QStringLiteral("SELECT pg_advisory_xact_lock(?)"));
    if (!lock)
        return false;
    lock->bindValue(0, recordNumberLock(mode));
    const bool ok = lock->exec();
    lock->finish();
    return ok;
}

std::optional<int> DataBase::recordWithKey(Mode mode, const QString& key) {
    QSqlQuery* q = statement(
        QStringLiteral("SELECT Ord FROM %1 WHERE RecordKey = CAST(? AS uuid) LIMIT 1").arg(quotedTable(mode)));
    if (!q)
        return std::nullopt;
    q->bindValue(0, key);
    std::optional<int> found;
    if (q->exec() && q->next())
        found = q->value(0).toInt();
    q->finish();
    return found;
}

std::optional<int> DataBase::storeRecord(Mode mode, double dat,
                                         const std::function<QString(int)>& textOfBox,
                                         const QString& key, bool mayHaveLanded, bool& landed) {
    // The number is read inside the write transaction, so no other writer takes it.
    int number = 0;
    int attempts = 0;
    const bool ok = inTransaction([&](QSqlDatabase&) {
        landed = false;
        if (!lockRecordNumbers(mode))
            return false;
        // A new key cannot be there yet, unless this is a second attempt after a lost
        // connection: then the first one may have landed.
        if (isOffice() && !key.isEmpty() && (mayHaveLanded || ++attempts > 1)) {
            if (const std::optional<int> found = recordWithKey(mode, key)) {
                number = *found;
                landed = true;
                return true;
            }
        }
        number = NextFreeNumber;
        return insertRecordRows(mode, number, dat, textOfBox, key);
    });
    ++m_historyChanges;
    if (!ok)
        return std::nullopt;
    return number;
}

std::optional<int> DataBase::appendNewRecord(Mode mode, double dat,
                                             const std::function<QString(int)>& textOfBox) {
    if (!isOffice()) {
        bool landed = false;
        return storeRecord(mode, dat, textOfBox, {}, false, landed);
    }
    QStringList texts;
    for (int i = 0; i < BoxCount; ++i)
        texts.append(textOfBox(i));
    // A save that landed before its answer was lost is found by its key, not stored again.
    const bool retried = m_unsettled && m_unsettled->mode == mode && m_unsettled->texts == texts;
    const QString key = retried ? m_unsettled->key : QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool landed = false;
    const std::optional<int> number = storeRecord(mode, dat, textOfBox, key, retried, landed);
    if (number)
        m_unsettled.reset();
    else
        m_unsettled = UnsettledSave{mode, texts, key};
    return number;
}

std::optional<bool> DataBase::copyRecord(Mode mode, double dat, const QStringList& texts,
                                         const QString& key) {
    bool landed = false;
    const auto textOfBox = [&texts](int i) { return texts.value(i); };
    if (!storeRecord(mode, dat, textOfBox, key, true, landed))
        return std::nullopt;
    return !landed;
}

bool DataBase::SaveHistoryRecord(const Form& form, Mode mode, int& ord) {
    const auto textOfBox = [&form](int i) { return form.text(i); };
    if (ord == WorkingRecordOrd) {
        return inTransaction([&](QSqlDatabase&) {
            return execCached(
                       QStringLiteral("DELETE FROM %1 WHERE Ord = -1").arg(quotedTable(mode))) &&
                   insertRecordRows(mode, ord, WorkingRecordDate, textOfBox, {});
        });
    }
    // One moment for every row of the record.
    const std::optional<int> number =
        appendNewRecord(mode, toOleDate(QDateTime::currentDateTime()), textOfBox);
    if (!number)
        return false;
    ord = *number;
    return true;
}

bool DataBase::LoadHistoryRecord(Form& form, int ord, Mode mode) {
    QList<QPair<int, QString>> rows;
    const bool ok = withConnection([&](QSqlDatabase&) {
        QSqlQuery* q = statement(
            QStringLiteral("SELECT Ctl, %2 FROM %1 WHERE Ord = ? ORDER BY %3")
                .arg(quotedTable(mode), textColumn(QStringLiteral("Con")), insertionOrder()));
        if (!q)
            return false;
        q->bindValue(0, ord);
        if (!q->exec())
            return false;
        while (q->next())
            rows.append({q->value(0).toInt(), textOf(q->value(1))});
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

namespace {

// The same read from the server, also straight through libpq: the rows come as text, the
// texts as their UTF-8 bytes.
bool forEachServerRow(PGconn* conn, Mode mode, const std::function<void(const HistoryRow&)>& row) {
    const QByteArray sql = QStringLiteral("SELECT Ord, Dat, Ctl, Con FROM %1 ORDER BY Ord DESC")
                               .arg(quotedTable(mode))
                               .toUtf8();
    PGresult* result = PQexec(conn, sql.constData());
    const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK;
    if (ok) {
        HistoryRow r;
        const int rows = PQntuples(result);
        for (int i = 0; i < rows; ++i) {
            r.ord = std::atoi(PQgetvalue(result, i, 0));
            r.dat = std::strtod(PQgetvalue(result, i, 1), nullptr);
            r.ctl = std::atoi(PQgetvalue(result, i, 2));
            r.con = DataBase::textOfUtf8(QByteArrayView(PQgetvalue(result, i, 3), PQgetlength(result, i, 3)));
            row(r);
        }
    }
    PQclear(result);
    return ok;
}

} // namespace

bool DataBase::forEachHistoryRow(Mode mode, const std::function<void(const HistoryRow&)>& row) {
    // The whole-table read goes straight to SQLite under Qt's own connection: a grid of
    // tens of thousands of records would otherwise spend most of its time in QVariant.
    return withConnection([&](QSqlDatabase& db) {
        if (PGconn* conn = serverHandle(db))
            return forEachServerRow(conn, mode, row);
        sqlite3* native = nativeHandle(db);
        if (!native)
            return false;
        const QByteArray sql = QStringLiteral("SELECT Ord, Dat, Ctl, Con FROM %1 ORDER BY Ord DESC")
                                   .arg(quotedTable(mode))
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
            r.con = textOfUtf8(QByteArrayView(text, sqlite3_column_bytes(stmt, 3)));
            row(r);
        }
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE;
    });
}

bool DataBase::deleteRecords(Mode mode, const QList<int>& ords) {
    ++m_historyChanges;
    return inTransaction([&](QSqlDatabase& db) {
        QSqlQuery remove(db);
        if (!remove.prepare(QStringLiteral("DELETE FROM %1 WHERE Ord = ?").arg(quotedTable(mode))))
            return false;
        for (int ord : ords) {
            remove.bindValue(0, ord);
            if (!remove.exec())
                return false;
        }
        return true;
    });
}

bool DataBase::clearTable(Mode mode) {
    ++m_historyChanges;
    return inTransaction([&](QSqlDatabase& db) {
        QSqlQuery remove(db);
        return remove.exec(QStringLiteral("DELETE FROM %1").arg(quotedTable(mode)));
    });
}
