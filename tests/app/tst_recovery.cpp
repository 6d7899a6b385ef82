#include "Form.h"
#include "MF.h"
#include "ProgramStart.h"
#include "ScriptedDialogs.h"
#include "TabStrip.h"
#include "TestFolder.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <cstdio>

// The real program runs in child processes of this test (`--program <role> <database>`):
// it is killed with SIGKILL, started again and started twice.
namespace {

const QString Typed = QChar(0xFEFF) + QStringLiteral("上海某某进出口有限公司");

int runChild(const QString& role, const QString& db) {
    ScriptedDialogs dialogs;
    dialogs.yesNo.enqueue(role == QLatin1String("answer-yes"));
    const int code = runProgram(dialogs, db, QSize(1024, 768), [&](MF& window) {
        QTimer::singleShot(0, &window, [&, role] {
            Form& form = window.form();
            auto* modes = window.findChild<TabStrip*>(QStringLiteral("SS1"));
            const auto typeMore = [&window] {
                window.form().setText(40, QStringLiteral("8471300000"));
                window.form().setGeometry(40, 1000, 6000, 300, 250);
                window.form().setFontSize(40, 14);
                std::puts("typed");
                std::fflush(stdout);
            };
            if (role.startsWith(QLatin1String("type"))) {
                modes->setCurrentIndex(0);
                form.setText(10, Typed);
                // "type-later": the rest comes once the first copy is long written.
                if (role == QLatin1String("type"))
                    typeMore();
                else
                    QTimer::singleShot(2500, &window, typeMore);
                return; // runs on until it is killed
            }
            std::printf("mode=%d box10=%s box40=%s left40=%g size40=%g\n", modes->currentIndex(),
                        form.text(10).toUtf8().toHex().constData(),
                        form.text(40).toUtf8().constData(), double(form.box(40).left),
                        double(form.box(40).fontSize));
            window.close();
        });
    });
    for (const QString& message : dialogs.messages())
        std::printf("told=%s\n", message.toUtf8().constData());
    return code;
}

struct Program {
    QProcess process;
    Program(const QString& role, const QString& db) {
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--program"), role, db});
    }
    ~Program() {
        process.kill();
        process.waitForFinished();
    }
    QString finish() {
        process.waitForFinished(60000);
        return QString::fromUtf8(process.readAllStandardOutput());
    }
};

int rowCount(const QString& db, const QString& where) {
    int n = -1;
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "look");
        c.setDatabaseName(db);
        QSqlQuery q(c);
        if (c.open() && q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + where) && q.next())
            n = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("look"));
    return n;
}

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT
private slots:
    void typedWorkSurvivesAKill_data();
    void typedWorkSurvivesAKill();
};

void RecoveryTest::typedWorkSurvivesAKill_data() {
    QTest::addColumn<bool>("restore");
    QTest::addColumn<bool>("soon"); // killed 1 s after the last change
    QTest::newRow("Yes puts it back") << true << false;
    QTest::newRow("No discards it") << false << false;
    QTest::newRow("killed 1 s after typing more") << true << true;
}

void RecoveryTest::typedWorkSurvivesAKill() {
    QFETCH(bool, restore);
    QFETCH(bool, soon);
    TestFolder folder;
    const QString db = folder.file(QStringLiteral("Par.db"));
    if (soon) {
        Program first(QStringLiteral("type-later"), db);
        QVERIFY(first.process.waitForReadyRead(60000));
        QCOMPARE(first.process.readLine().trimmed(), QByteArray("typed"));
        QTest::qWait(1000);
    } else {
        Program first(QStringLiteral("type"), db);
        QVERIFY(first.process.waitForReadyRead(60000));
        QCOMPARE(first.process.readLine().trimmed(), QByteArray("typed"));
        // The copy is written a moment after the change, not at once.
        QTRY_COMPARE_WITH_TIMEOUT(
            rowCount(db, QStringLiteral("恢复 WHERE Ctl = 40 AND Con = '8471300000'")), 1, 10000);
        // A second start leaves the running program's database untouched.
        const auto files = [&] { return TestFolder::read(db) + TestFolder::read(db + "-wal"); };
        const QByteArray before = files();
        Program second(QStringLiteral("answer-yes"), db);
        const QString told = second.finish();
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY2(told.contains(Messages::alreadyRunning()), qPrintable(told));
        QCOMPARE(files(), before);
        first.process.kill(); // SIGKILL: no exit runs, the lock file stays behind
        QVERIFY(first.process.waitForFinished());
    }
    QVERIFY(QFile::exists(db + QStringLiteral(".lock")));

    Program again(restore ? QStringLiteral("answer-yes") : QStringLiteral("answer-no"), db);
    const QString seen = again.finish();
    QCOMPARE(again.process.exitCode(), 0);
    const QString expected =
        restore ? QStringLiteral("mode=0 box10=%1 box40=8471300000 left40=1000 size40=14")
                      .arg(QString::fromLatin1(Typed.toUtf8().toHex()))
                : QStringLiteral("mode=1 box10= box40= ");
    QVERIFY2(seen.contains(expected), qPrintable(seen));
    // The clean exit kept the restored texts as the export working record.
    QCOMPARE(rowCount(db, QStringLiteral("出口 WHERE Ord = -1 AND Ctl = 40")), restore ? 1 : 0);
    QCOMPARE(rowCount(db, QStringLiteral("恢复")), 0);
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--program") == 0)
        return runChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    RecoveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recovery.moc"
