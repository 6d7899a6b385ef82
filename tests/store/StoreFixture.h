#pragma once

#include "DataBase.h"
#include "ScriptedDialogs.h"
#include "TestFolder.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <memory>

// A fresh database file in a test folder, plus a second, independent connection for
// looking at the file (and injecting faults) from outside the store.
struct StoreFixture {
    TestFolder folder;
    ScriptedDialogs dialogs;
    std::unique_ptr<DataBase> db;
    QString outsideName = QStringLiteral("outside");

    StoreFixture()
        : db(std::make_unique<DataBase>(dialogs, folder.file(QStringLiteral("Par.db")))) {
        db->setBusyTimeout(200);
    }
    ~StoreFixture() {
        closeOutside();
        db.reset();
    }

    QSqlDatabase outside() {
        if (QSqlDatabase::contains(outsideName))
            return QSqlDatabase::database(outsideName);
        QSqlDatabase o = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), outsideName);
        o.setDatabaseName(db->filePath());
        o.open();
        return o;
    }
    void closeOutside() {
        if (!QSqlDatabase::contains(outsideName))
            return;
        QSqlDatabase::database(outsideName).close();
        QSqlDatabase::removeDatabase(outsideName);
    }
    bool run(const QString& sql) {
        QSqlQuery q(outside());
        return q.exec(sql);
    }
    QVariant scalar(const QString& sql) {
        QSqlQuery q(outside());
        if (!q.exec(sql) || !q.next())
            return {};
        return q.value(0);
    }
    int count(const QString& sql) { return scalar(sql).toInt(); }
};
