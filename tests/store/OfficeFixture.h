#pragma once

#include "DataBase.h"
#include "TestFolder.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QVariant>

#include <memory>
#include <optional>

// A fresh office database on the throwaway test server, made by the setup script with the
// clerks clerk1 and clerk2, dropped at the end; and an administrator's connection to look
// at it from outside the store (the administrator sees every clerk's rows).
struct OfficeFixture {
    const QString admin = qEnvironmentVariable("QUILLMARSH_TEST_PG");
    QString name;
    bool ready = false;

    OfficeFixture() {
        if (admin.isEmpty())
            return;
        name = QStringLiteral("qm_%1").arg(QRandomGenerator::global()->generate());
        ready = QProcess::execute(QStringLiteral("bash"),
                                  {qEnvironmentVariable("QUILLMARSH_OFFICE_DB_SCRIPT"), admin, name,
                                   QStringLiteral("clerk1"), QStringLiteral("clerk2")}) == 0;
        QSqlDatabase o = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), Outside);
        o.setConnectOptions(conninfo(QStringLiteral("postgres")));
        ready = ready && o.open();
    }
    ~OfficeFixture() {
        if (admin.isEmpty())
            return;
        QSqlDatabase::database(Outside, false).close();
        QSqlDatabase::removeDatabase(Outside);
        asAdmin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    }
    // A statement run by the administrator outside the office database (psql).
    bool asAdmin(const QString& sql) const {
        return QProcess::execute(QStringLiteral("psql"), {"-qX", "-o", "/dev/null", admin, "-v",
                                                          "ON_ERROR_STOP=1", "-c", sql}) == 0;
    }
    QString conninfo(const QString& user) const {
        return admin + QStringLiteral(" dbname=%1 user=%2").arg(name, user);
    }
    std::unique_ptr<DataBase> clerk(const QString& user = QStringLiteral("clerk1")) const {
        return DataBase::office(conninfo(user));
    }
    bool run(const QString& sql) { return QSqlQuery(QSqlDatabase::database(Outside)).exec(sql); }
    QVariant scalar(const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(Outside));
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }
    int count(const QString& sql) { return scalar(sql).toInt(); }

private:
    static inline const QString Outside = QStringLiteral("office-outside");
};

// Without a test server the office cases are skipped, unless the run requires one.
#define NEED_OFFICE(f)                                                                            \
    do {                                                                                          \
        if (!(f).ready) {                                                                         \
            if (qEnvironmentVariableIsSet("QUILLMARSH_REQUIRE_POSTGRES"))                         \
                QFAIL("the test PostgreSQL server is not reachable");                            \
            QSKIP("no test PostgreSQL server (QUILLMARSH_TEST_PG)");                              \
        }                                                                                         \
    } while (false)

// The store under test: the local file or the office server, as a row names it.
struct EngineStore {
    TestFolder folder;
    std::optional<OfficeFixture> office;
    std::unique_ptr<DataBase> db;

    explicit EngineStore(bool onServer) {
        if (onServer)
            db = office.emplace().clerk();
        else
            db = std::make_unique<DataBase>(folder.file(QStringLiteral("Par.db")));
    }
    static void rows() {
        QTest::addColumn<bool>("onServer");
        QTest::newRow("local file") << false;
        QTest::newRow("office server") << true;
    }
};
