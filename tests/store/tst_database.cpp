#include "DataBase.h"
#include "Form.h"
#include "Layouts.h"
#include "StoreFixture.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTest>

namespace {
QByteArray digest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}
} // namespace

class DataBaseTest : public QObject {
    Q_OBJECT
private slots:
    void missingFileIsCreatedWithSchema();
    void defaultPathIsPerUser();
    void notADatabaseIsLeftAlone_data();
    void notADatabaseIsLeftAlone();
    void lockedFileGivesMessage();
    void failedNewRecordLeavesNothing();
    void failedWorkingRecordKeepsOldRows();
    void onlyHistoryTables();
    void deleteAndClear();
};

void DataBaseTest::missingFileIsCreatedWithSchema() {
    StoreFixture f;
    QVERIFY(!QFile::exists(f.db->filePath()));
    Form form;
    QVERIFY(f.db->LoadHistoryRecord(form, -1, QStringLiteral("进口")));
    QVERIFY(QFile::exists(f.db->filePath()));
    QCOMPARE(f.scalar(QStringLiteral("PRAGMA user_version")).toInt(), DataBase::SchemaVersion);
    QCOMPARE(f.scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    for (const char* index : {"出口_Ord", "进口_Ord", "格式_Name"})
        QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type='index' "
                                        "AND name='%1'")
                             .arg(QString::fromUtf8(index))),
                 1);
    QSqlQuery q(f.outside());
    QVERIFY(q.exec(QStringLiteral("SELECT Name, Ctl, X, Y, W, H, Color, fName, fSize, fBold, "
                                  "fItalic, fUnderline, fStrikethru FROM 格式")));
    QVERIFY(q.exec(QStringLiteral("SELECT Ord, Dat, Ctl, Con FROM 出口")));
    QVERIFY(f.dialogs.shown.isEmpty());
}

void DataBaseTest::defaultPathIsPerUser() {
    TestFolder folder;
    const QString path = DataBase::defaultFilePath();
    QVERIFY2(path.endsWith(QStringLiteral("/Par.db")), qPrintable(path));
    QVERIFY(path.contains(QStringLiteral(".qttest"))); // test mode: never the user's data
}

void DataBaseTest::notADatabaseIsLeftAlone_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text") << QByteArray("this is a letter to the customs office\n").repeated(200);
    QByteArray access(4096, '\0');
    access.replace(4, 15, "Standard Jet DB");
    QTest::newRow("access file") << access;
}

void DataBaseTest::notADatabaseIsLeftAlone() {
    QFETCH(QByteArray, content);
    StoreFixture f;
    QVERIFY(TestFolder::write(f.db->filePath(), content));
    const QByteArray before = digest(f.db->filePath());
    Form form;
    form.setText(0, QStringLiteral("kept"));
    int ord = 0;
    QVERIFY(!f.db->SaveHistoryRecord(form, QStringLiteral("出口"), ord));
    QVERIFY(!f.db->LoadHistoryRecord(form, -1, QStringLiteral("出口")));
    Layouts layouts(*f.db);
    layouts.LoadLayout(form, QStringLiteral("x"));
    layouts.SaveLayout(form, QStringLiteral("x"));
    QCOMPARE(f.dialogs.messages(), QStringList(4, QStringLiteral("数据库打开错误！")));
    QCOMPARE(form.text(0), QStringLiteral("kept"));
    QVERIFY(layouts.CurrentLayoutName().isEmpty());
    QCOMPARE(digest(f.db->filePath()), before);
    QVERIFY(!QFile::exists(f.db->filePath() + QStringLiteral("-wal")));
}

void DataBaseTest::lockedFileGivesMessage() {
    StoreFixture f;
    Form form;
    form.setText(0, QStringLiteral("a"));
    int ord = 0;
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("出口"), ord));
    // Another program holds the write lock past our busy timeout.
    QVERIFY(f.run(QStringLiteral("BEGIN EXCLUSIVE")));
    QVERIFY(f.run(QStringLiteral("INSERT INTO 出口 VALUES (50, 1, 1, 'other')")));
    QVERIFY(!f.db->SaveHistoryRecord(form, QStringLiteral("出口"), ord));
    QCOMPARE(f.dialogs.messages(), QStringList{QStringLiteral("数据库打开错误！")});
    QVERIFY(f.run(QStringLiteral("ROLLBACK")));
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("出口"), ord));
    QCOMPARE(ord, 1);
}

void DataBaseTest::failedNewRecordLeavesNothing() {
    StoreFixture f;
    Form form;
    for (int i = 0; i < BoxCount; ++i)
        form.setText(i, QStringLiteral("v%1").arg(i));
    int ord = 0;
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("进口"), ord));
    QVERIFY(f.run(QStringLiteral("CREATE TRIGGER fail BEFORE INSERT ON 进口 WHEN NEW.Ctl = 60 "
                                 "BEGIN SELECT RAISE(ABORT, 'injected'); END")));
    ord = 0;
    QVERIFY(!f.db->SaveHistoryRecord(form, QStringLiteral("进口"), ord));
    QCOMPARE(ord, 0);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 进口")), 88);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 进口 WHERE Ord = 1")), 0);
}

void DataBaseTest::failedWorkingRecordKeepsOldRows() {
    StoreFixture f;
    Form form;
    for (int i = 0; i < BoxCount; ++i)
        form.setText(i, QStringLiteral("old %1").arg(i));
    int ord = -1;
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("出口"), ord));
    QVERIFY(f.run(QStringLiteral("CREATE TRIGGER fail BEFORE INSERT ON 出口 WHEN NEW.Ctl = 70 "
                                 "BEGIN SELECT RAISE(ABORT, 'injected'); END")));
    for (int i = 0; i < BoxCount; ++i)
        form.setText(i, QStringLiteral("new %1").arg(i));
    QVERIFY(!f.db->SaveHistoryRecord(form, QStringLiteral("出口"), ord));
    Form loaded;
    QVERIFY(f.db->LoadHistoryRecord(loaded, -1, QStringLiteral("出口")));
    for (int i = 0; i < BoxCount; ++i)
        QCOMPARE(loaded.text(i), QStringLiteral("old %1").arg(i));
}

void DataBaseTest::onlyHistoryTables() {
    StoreFixture f;
    Form form;
    int ord = 0;
    QVERIFY(!f.db->SaveHistoryRecord(form, QStringLiteral("格式"), ord));
    QVERIFY(!f.db->LoadHistoryRecord(form, 0, QStringLiteral("出口; DROP TABLE 出口")));
    QCOMPARE(f.dialogs.messages().size(), 2);
}

void DataBaseTest::deleteAndClear() {
    StoreFixture f;
    Form form;
    form.setText(0, QStringLiteral("x"));
    for (int n = 0; n < 4; ++n) {
        int ord = 0;
        QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("出口"), ord));
    }
    int working = -1;
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("出口"), working));
    QVERIFY(f.db->deleteRecords(QStringLiteral("出口"), {1, 2, -1}));
    QList<int> left;
    QVERIFY(f.db->forEachHistoryRow(QStringLiteral("出口"),
                                    [&](const HistoryRow& r) { left.append(r.ord); }));
    QCOMPARE(left, (QList<int>{3, 0}));
    QVERIFY(f.run(QStringLiteral("CREATE TRIGGER fail BEFORE DELETE ON 出口 WHEN OLD.Ord = 0 "
                                 "BEGIN SELECT RAISE(ABORT, 'injected'); END")));
    QVERIFY(!f.db->deleteRecords(QStringLiteral("出口"), {3, 0}));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口")), 2);
    QVERIFY(!f.db->clearTable(QStringLiteral("出口")));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口")), 2);
    QVERIFY(f.run(QStringLiteral("DROP TRIGGER fail")));
    QVERIFY(f.db->clearTable(QStringLiteral("出口")));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口")), 0);
}

QTEST_GUILESS_MAIN(DataBaseTest)
#include "tst_database.moc"
