// Store operations beside the same work done with the raw SQLite C API in the same run.
#include "BenchUtil.h"
#include "DataBase.h"
#include "Form.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>

namespace {

struct Raw {
    sqlite3* db = nullptr;
    explicit Raw(const QString& path) {
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db,
                     "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                     "CREATE TABLE t (Ord INTEGER, Dat REAL, Ctl INTEGER, Con TEXT);"
                     "CREATE INDEX t_Ord ON t (Ord);",
                     nullptr, nullptr, nullptr);
    }
    ~Raw() { sqlite3_close(db); }
    void exec(const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir dir;
    DataBase store(dir.filePath(QStringLiteral("Par.db")));
    int failures = 0;
    Raw raw(dir.filePath(QStringLiteral("raw.db")));

    Form form;
    QByteArray texts[BoxCount];
    for (int i = 0; i < BoxCount; ++i) {
        form.setText(i, QStringLiteral("第%1栏 Field %1 内容 12345").arg(i));
        texts[i] = form.text(i).toUtf8();
    }
    const int runs = 1000;

    // Storing a new record: next number, then 88 rows in one transaction.
    int ord = 0;
    const double saveOurs = medianMs(runs, [&](int) {
        ord = 0;
        failures += !store.SaveHistoryRecord(form, Mode::Export, ord);
    });
    sqlite3_stmt* maxStmt = nullptr;
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(raw.db, "SELECT MAX(Ord) FROM t", -1, &maxStmt, nullptr);
    sqlite3_prepare_v2(raw.db, "INSERT INTO t VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
    const double saveRaw = medianMs(runs, [&](int) {
        raw.exec("BEGIN IMMEDIATE");
        sqlite3_step(maxStmt);
        const int next =
            sqlite3_column_type(maxStmt, 0) == SQLITE_NULL ? 0 : sqlite3_column_int(maxStmt, 0) + 1;
        sqlite3_reset(maxStmt);
        for (int i = 0; i < BoxCount; ++i) {
            sqlite3_bind_int(insert, 1, next);
            sqlite3_bind_double(insert, 2, 46000.5);
            sqlite3_bind_int(insert, 3, i);
            sqlite3_bind_text(insert, 4, texts[i].constData(), int(texts[i].size()), SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        raw.exec("COMMIT");
    });
    report("SaveHistoryRecord, 88 boxes (median of 1000)", saveOurs, saveRaw);

    // Loading one record of 88 rows into the boxes.
    Form target;
    const double loadOurs = medianMs(
        runs, [&](int i) { failures += !store.LoadHistoryRecord(target, i % 1000, Mode::Export); });
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(raw.db, "SELECT Ctl, Con FROM t WHERE Ord = ? ORDER BY rowid", -1, &select,
                       nullptr);
    QString sink[BoxCount];
    const double loadRaw = medianMs(runs, [&](int i) {
        sqlite3_bind_int(select, 1, i % 1000);
        while (sqlite3_step(select) == SQLITE_ROW) {
            const int ctl = sqlite3_column_int(select, 0);
            sink[ctl] =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(select, 1)),
                                  sqlite3_column_bytes(select, 1));
        }
        sqlite3_reset(select);
    });
    report("LoadHistoryRecord, 88 boxes (median of 1000)", loadOurs, loadRaw);

    // 10,000 records of 30 boxes, read highest number first.
    failures += !store.clearTable(Mode::Import);
    raw.exec("DELETE FROM t");
    Form thirty;
    for (int i = 0; i < 30; ++i)
        thirty.setText(i * 3, QStringLiteral("货物%1 Goods %1 No.0012345").arg(i));
    raw.exec("BEGIN");
    for (int r = 0; r < 10000; ++r) {
        ord = 0;
        failures += !store.SaveHistoryRecord(thirty, Mode::Import, ord);
        for (int i = 0; i < 30; ++i) {
            const QByteArray t = thirty.text(i * 3).toUtf8();
            sqlite3_bind_int(insert, 1, r);
            sqlite3_bind_double(insert, 2, 46000.5);
            sqlite3_bind_int(insert, 3, i * 3);
            sqlite3_bind_text(insert, 4, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
    }
    raw.exec("COMMIT");
    long long checksum = 0;
    const double readOurs = medianMs(5, [&](int) {
        failures += !store.forEachHistoryRow(
            Mode::Import, [&](const HistoryRow& row) { checksum += row.ord + row.con.size(); });
    });
    sqlite3_stmt* all = nullptr;
    sqlite3_prepare_v2(raw.db, "SELECT Ord, Dat, Ctl, Con FROM t ORDER BY Ord DESC", -1, &all,
                       nullptr);
    const double readRaw = medianMs(5, [&](int) {
        while (sqlite3_step(all) == SQLITE_ROW) {
            const QString con =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(all, 3)),
                                  sqlite3_column_bytes(all, 3));
            checksum += sqlite3_column_int(all, 0) + sqlite3_column_double(all, 1) +
                        sqlite3_column_int(all, 2) + con.size();
        }
        sqlite3_reset(all);
    });
    report("Read 10,000 records x 30 boxes, Ord DESC (median of 5)", readOurs, readRaw);

    sqlite3_finalize(maxStmt);
    sqlite3_finalize(insert);
    sqlite3_finalize(select);
    sqlite3_finalize(all);
    std::printf("(checksum %lld, failed store operations %d)\n", checksum, failures);
    return failures == 0 ? 0 : 1;
}
