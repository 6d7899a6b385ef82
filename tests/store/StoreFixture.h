#pragma once

#include "DataBase.h"
#include "ScriptedDialogs.h"
#include "TestFolder.h"

#include <QSqlQuery>
#include <QVariant>

#include <memory>

// A fresh database file in a test folder, plus a second, independent connection for
// looking at the file (and injecting faults) from outside the store.
struct StoreFixture {
    TestFolder folder;
    ScriptedDialogs dialogs;
    std::unique_ptr<DataBase> db;

    StoreFixture() {
        reopen();
        db->nextRecordNumber(Mode::Export); // creates the schema
        QSqlDatabase o = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Outside);
        o.setDatabaseName(db->filePath());
        o.open();
    }
    ~StoreFixture() {
        QSqlDatabase::database(Outside, false).close();
        QSqlDatabase::removeDatabase(Outside);
    }
    // A new store on the same file, as the next start of the program makes.
    void reopen() {
        db = std::make_unique<DataBase>(folder.file(QStringLiteral("Par.db")));
        db->setBusyTimeout(200);
    }
    // Closes both connections, so the file is left as a program that ended leaves it.
    void release() {
        db.reset();
        QSqlDatabase::database(Outside, false).close();
    }
    bool run(const QString& sql) { return QSqlQuery(QSqlDatabase::database(Outside)).exec(sql); }
    QVariant scalar(const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(Outside));
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }
    int count(const QString& sql) { return scalar(sql).toInt(); }
    // A trigger that aborts the write of box `ctl` (the delete of record `ctl`) in `table`.
    bool refuse(const QString& table, int ctl, const char* what = "INSERT") {
        return run(QStringLiteral("CREATE TRIGGER \"%2%1\" BEFORE %2 ON \"%1\" WHEN %3 = %4 "
                                  "BEGIN SELECT RAISE(ABORT, 'injected'); END")
                       .arg(table, QLatin1String(what),
                            QLatin1String(qstrcmp(what, "INSERT") ? "OLD.Ord" : "NEW.Ctl"))
                       .arg(ctl));
    }

private:
    static inline const QString Outside = QStringLiteral("outside");
};
