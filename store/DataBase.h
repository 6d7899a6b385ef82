#pragma once

#include "Catalogue.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

class Form;
class QSqlQuery;

// The working record of a mode carries this fixed date (1973-08-18 00:00).
inline constexpr double WorkingRecordDate = 26894.0;
inline constexpr int WorkingRecordOrd = -1;

// One row of a history table.
struct HistoryRow {
    int ord = 0;
    double dat = 0;
    int ctl = 0;
    QString con;
};

// The one way into the database file Par.db. Every operation that replaces data runs
// in one transaction; a failure rolls back and is returned, with its reason kept for the
// command that shows it. The two history tables are named by their mode.
class DataBase {
public:
    explicit DataBase(QString filePath = defaultFilePath());
    ~DataBase();
    DataBase(const DataBase&) = delete;
    DataBase& operator=(const DataBase&) = delete;

    // A store on the office's PostgreSQL server, reached with a libpq connection string;
    // nothing connects until the first operation.
    static std::unique_ptr<DataBase> office(const QString& conninfo);
    bool isOffice() const { return !m_conninfo.isEmpty(); }
    // Connects and returns the server's version, for the settings dialog's test.
    std::optional<QString> serverVersion();

    // Par.db in the per-user data folder of the application "Velkordan".
    static QString defaultFilePath();
    // 2 added the recovery copy of typed work and table 底图, the scanned form of each mode;
    // 3 the clerk's code tables (代码表) and the index of each box's earlier texts.
    static constexpr int SchemaVersion = 3;

    QString filePath() const { return m_filePath; }
    // How long an operation waits for a file another program holds, with the busy cursor,
    // before it fails: short, so the window never looks hung.
    void setBusyTimeout(int milliseconds) { m_busyTimeoutMs = milliseconds; }

    // Whether the open file has the table `name`: an older file that could not be upgraded
    // (read-only, or held by another program) lacks the newer tables, and the features
    // that keep their data there are switched off.
    bool hasTable(const QString& name);
    // Said once: why some features are off for this file; empty when nothing is off.
    QString takeNotice() { return std::exchange(m_notice, QString()); }

    // With ord −1 the working record of `mode` is replaced by the non-empty boxes;
    // otherwise the boxes become a new record and ord receives its number.
    bool SaveHistoryRecord(const Form& form, Mode mode, int& ord);
    // Empties the 88 boxes, then fills them from the rows of record `ord`.
    bool LoadHistoryRecord(Form& form, int ord, Mode mode);

    // The next free record number of a history: the largest Ord plus one, or 0.
    std::optional<int> nextRecordNumber(Mode mode);
    // Appends the non-empty texts of boxes 0 to 87 as a new record under the next free
    // number, in one transaction; returns that number (taken even when every text is empty).
    std::optional<int> appendNewRecord(Mode mode, double dat,
                                       const std::function<QString(int ctl)>& textOfBox);
    // Stores a record copied from elsewhere under `key` and the next free number, unless a
    // record with that key is there already: true when it was stored, false when it was
    // there, std::nullopt on failure.
    std::optional<bool> copyRecord(Mode mode, double dat, const QStringList& texts,
                                   const QString& key);
    // Calls `row` for every row of the history, highest Ord first.
    bool forEachHistoryRow(Mode mode, const std::function<void(const HistoryRow&)>& row);
    // Deletes every row of the given records in one transaction.
    bool deleteRecords(Mode mode, const QList<int>& ords);
    // Deletes every row of the history, the working record included.
    bool clearTable(Mode mode);
    // Counts the writes to the histories other than working records (also failed ones, which
    // may have landed), so that what was read from them knows when to read again.
    quint64 historyChanges() const { return m_historyChanges; }

    // Runs `work` inside one write transaction on the open connection. `work` returns
    // false when a statement failed; then everything it wrote is rolled back.
    bool inTransaction(const std::function<bool(QSqlDatabase&)>& work);
    // Runs `work` on the open connection without a transaction (reads).
    bool withConnection(const std::function<bool(QSqlDatabase&)>& work);
    // Why the last operation failed, in words a clerk can act on.
    QString failureReason() const { return m_failureReason; }
    // Fails an operation the store cannot do, for this reason.
    bool failWith(const QString& reason) {
        m_failureReason = reason;
        return false;
    }
    // The file and that reason, as the details under "数据库打开错误！".
    QString failureDetails() const;
    // A statement prepared once per connection and kept for reuse; nullptr when it does
    // not prepare. Call finish() after reading a SELECT so no read stays open.
    QSqlQuery* statement(const QString& sql);

    // SQL pieces that differ between the two engines: a bound text taken exactly (bind
    // exactText()), a text column read back as its bytes (read with textOf()), and the
    // order in which the rows of one record or layout were written.
    QString textParam() const;
    QString textColumn(const QString& column) const;
    QString insertionOrder() const;
    // The length of a text column in UTF-8 bytes, as the indexes of earlier texts write it.
    QString byteLength(const QString& column) const;

    // A text goes in and out as its UTF-8 bytes: SQLite's own UTF-16 conversion would drop
    // a leading U+FEFF. Bind exactText(t) to "CAST(? AS TEXT)"; read "CAST(Con AS BLOB)"
    // with textOf().
    static QVariant exactText(const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        return utf8.isNull() ? QByteArray("") : utf8; // a null array would bind as NULL
    }
    static QString textOf(const QVariant& stored) { return textOfUtf8(stored.toByteArray()); }
    // UTF-8 to text with a leading U+FEFF kept (QString::fromUtf8 drops it).
    static QString textOfUtf8(QByteArrayView utf8);
    // Days since 1899-12-30 (fraction = time of day), to the second.
    static double toOleDate(const QDateTime& moment);
    static QDateTime fromOleDate(double days);

    // The schema version of an office database this program works with.
    static constexpr int OfficeSchemaVersion = 1;

private:
    std::optional<QSqlDatabase> connection();
    std::optional<QSqlDatabase> connectOffice();
    bool checkOfficeSchema(QSqlDatabase& db);
    bool connectionLost(QSqlDatabase& db) const;
    bool control(QSqlDatabase& db, const QString& sql);
    QString serverAddress() const;
    bool lockRecordNumbers(Mode mode);
    std::optional<int> recordWithKey(Mode mode, const QString& key);
    // Stores a record under the next number in one transaction; with a key, a record that
    // already carries it is found instead (landed tells which).
    std::optional<int> storeRecord(Mode mode, double dat,
                                   const std::function<QString(int)>& textOfBox,
                                   const QString& key, bool mayHaveLanded, bool& landed);
    bool ensureSchema(QSqlDatabase& db, int foundVersion, bool newFile, bool writable);
    void installBusyWait(QSqlDatabase& db);
    static int onBusy(void* self, int attempts);
    void endBusyWait();
    void dropConnection();
    void noteFailure(QSqlDatabase* db, const QString& fallback = {});
    bool execCached(const QString& sql);
    bool insertRecordRows(Mode mode, int& ord, double dat,
                          const std::function<QString(int)>& textOfBox, const QString& key);
    bool insertServerRows(Mode mode, int& ord, double dat, const QList<int>& boxes,
                          const QStringList& texts, const QString& key);
    std::optional<int> readNextNumber(Mode mode);

    QString m_filePath;
    QString m_conninfo;
    QString m_connectionName;
    int m_busyTimeoutMs = 1000;
    bool m_open = false;
    bool m_waiting = false;
    quint64 m_historyChanges = 0;
    QStringList m_tables;
    QString m_notice;
    QString m_failureReason;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_statements;
    std::map<std::pair<Mode, qsizetype>, QString> m_insertTexts;
    // A record whose save ended without an answer from the server: saved again with the
    // same texts, it keeps its key, so a save that did land is found, not stored twice.
    struct UnsettledSave {
        Mode mode;
        QStringList texts;
        QString key;
    };
    std::optional<UnsettledSave> m_unsettled;
};
