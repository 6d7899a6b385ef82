// The office store on a PostgreSQL server over its local socket, beside the local SQLite
// file in the same run: saving one 88-box record, loading it, filling the grid with 10,000
// records; and the grid's read beside psql copying the same rows to /dev/null.
// Needs QUILLMARSH_TEST_PG (an administrator's connection string) and
// QUILLMARSH_OFFICE_DB_SCRIPT, as scripts/test-postgres.sh exports them.
#include "BenchUtil.h"
#include "DataBase.h"
#include "Form.h"
#include "HistoryCommands.h"
#include "HistoryGridModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Figures {
    double save = 0, load = 0, fill = 0, read = 0;
};

Figures measure(DataBase& db, Form& form, Answers& answers) {
    Figures f;
    f.read = 0;
    int failures = 0;
    f.save = medianMs(200, [&](int) {
        int ord = 0;
        failures += !db.SaveHistoryRecord(form, Mode::Export, ord);
    });
    Form loaded;
    f.load = medianMs(200, [&](int) { failures += !db.LoadHistoryRecord(loaded, 5, Mode::Export); });
    // 10,000 records of 30 boxes, written in bulk as an import would.
    for (int r = 0; r < 10000; ++r)
        failures += !db.appendNewRecord(Mode::Import, 46000 + r, [&](int box) {
            return box < 30 ? form.text(box) : QString();
        });
    HistoryGridModel grid;
    f.fill = medianMs(5, [&](int) {
        failures += !HistoryCommands::FillHistoryGrid(grid, db, answers, Mode::Import, QFont());
    });
    f.read = medianMs(5, [&](int) {
        failures += !db.forEachHistoryRow(Mode::Import, [](const HistoryRow&) {});
    });
    if (failures)
        std::printf("failures: %d (%s)\n", failures, qPrintable(db.failureDetails()));
    return f;
}

double psqlMs(const QString& conninfo, const QString& command) {
    return medianMs(5, [&](int) {
        QProcess::execute(QStringLiteral("psql"),
                          {QStringLiteral("-qX"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                           conninfo, QStringLiteral("-c"), command});
    });
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QString admin = qEnvironmentVariable("QUILLMARSH_TEST_PG");
    if (admin.isEmpty()) {
        std::printf("QUILLMARSH_TEST_PG is not set: start scripts/test-postgres.sh first\n");
        return 1;
    }
    const QString name = QStringLiteral("qm_bench");
    QProcess::execute(QStringLiteral("psql"), {QStringLiteral("-qX"), admin, QStringLiteral("-c"),
                                               QStringLiteral("DROP DATABASE IF EXISTS qm_bench")});
    QProcess::execute(QStringLiteral("bash"), {qEnvironmentVariable("QUILLMARSH_OFFICE_DB_SCRIPT"),
                                               admin, name, QStringLiteral("clerk1")});
    const QString clerk = admin + QStringLiteral(" dbname=qm_bench user=clerk1");

    Form form;
    for (int i = 0; i < BoxCount; ++i)
        form.setText(i, QStringLiteral("第%1栏 Field %1 内容 12345").arg(i));
    Answers answers;
    QTemporaryDir dir;
    DataBase local(dir.filePath(QStringLiteral("Par.db")));
    const Figures sqlite = measure(local, form, answers);
    std::unique_ptr<DataBase> office = DataBase::office(clerk);
    const Figures server = measure(*office, form, answers);

    report("save one 88-box record (server vs file)", server.save, sqlite.save);
    report("load one 88-box record (server vs file)", server.load, sqlite.load);
    report("fill the grid, 10,000 records (server vs file)", server.fill, sqlite.fill);
    // psql's own start is taken off by timing a psql that copies nothing.
    const double copy = psqlMs(clerk, QStringLiteral("\\copy (SELECT Ord, Dat, Ctl, Con FROM \"进口\" "
                                                     "ORDER BY Ord DESC) TO '/dev/null'"));
    const double idle = psqlMs(clerk, QStringLiteral("SELECT 1"));
    report("read the grid's rows (server vs file)", server.read, sqlite.read);
    report("fill the grid vs psql \\copy of its rows", server.fill, copy - idle);
    report("read the grid's rows vs psql \\copy of them", server.read, copy - idle);
    office.reset();
    QProcess::execute(QStringLiteral("psql"), {QStringLiteral("-qX"), admin, QStringLiteral("-c"),
                                               QStringLiteral("DROP DATABASE qm_bench WITH (FORCE)")});
    return 0;
}
