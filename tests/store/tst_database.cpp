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
    void textsKeptExactly_data();
    void textsKeptExactly();
    void missingTablesAreCreatedAgain();
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
    // The details name the file and the reason, so a clerk can tell this from a full disk.
    QVERIFY(f.dialogs.shown.first().details.contains(f.db->filePath()));
    QVERIFY2(f.dialogs.shown.first().details.contains(QStringLiteral("文件不是数据库")),
             qPrintable(f.dialogs.shown.first().details));
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
    QVERIFY2(f.dialogs.shown.first().details.contains(QStringLiteral("文件被其他程序锁定")),
             qPrintable(f.dialogs.shown.first().details));
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

void DataBaseTest::textsKeptExactly_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    const QChar high(0xD83D), low(0xDE00), bom(0xFEFF), bad(QChar::ReplacementCharacter);
    QTest::newRow("lone high surrogate") << QStringLiteral("货") + high + QStringLiteral("物品")
                                         << QStringLiteral("货") + bad + QStringLiteral("物品");
    QTest::newRow("lone low surrogate at the end")
        << QStringLiteral("品") + low << QStringLiteral("品") + bad;
    QTest::newRow("pair kept") << QString(high) + low + QStringLiteral("x")
                               << QString(high) + low + QStringLiteral("x");
    QTest::newRow("leading BOM") << QString(bom) + QStringLiteral("ABC")
                                 << QString(bom) + QStringLiteral("ABC");
}

void DataBaseTest::textsKeptExactly() {
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    StoreFixture f;
    Form form;
    form.setText(5, typed);
    QCOMPARE(form.text(5), kept);
    int ord = 0;
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("出口"), ord));
    Form loaded;
    QVERIFY(f.db->LoadHistoryRecord(loaded, ord, QStringLiteral("出口")));
    QCOMPARE(loaded.text(5), kept);
    QString read;
    QVERIFY(f.db->forEachHistoryRow(QStringLiteral("出口"),
                                    [&](const HistoryRow& r) { read = r.con; }));
    QCOMPARE(read, kept);
    // A layout saved under such a name can be picked from the list and loaded.
    Layouts layouts(*f.db);
    form.setLeft(5, 1234);
    QVERIFY(layouts.SaveLayout(form, typed));
    QVERIFY(layouts.layoutNames().value().contains(kept));
    layouts.LoadLayout(loaded, kept);
    QCOMPARE(loaded.box(5).left, 1234.0f);
    QVERIFY(f.dialogs.shown.isEmpty());
}

void DataBaseTest::missingTablesAreCreatedAgain() {
    StoreFixture f;
    Form form;
    form.setText(3, QStringLiteral("kept"));
    int ord = 0;
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("出口"), ord));
    // A database of the first schema version, and one whose tables were dropped.
    for (const char* sql :
         {"DROP TABLE 格式", "DROP TABLE 恢复", "DROP INDEX 出口_Ord", "PRAGMA user_version = 1"})
        QVERIFY(f.run(QString::fromUtf8(sql)));
    f.db = std::make_unique<DataBase>(f.dialogs, f.folder.file(QStringLiteral("Par.db")));
    Layouts layouts(*f.db);
    QVERIFY(layouts.SaveLayout(form, QStringLiteral("a")));
    QCOMPARE(f.scalar(QStringLiteral("PRAGMA user_version")).toInt(), DataBase::SchemaVersion);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name IN "
                                    "('格式', '恢复', '出口_Ord', '格式_Name')")),
             4);
    QCOMPARE(f.scalar(QStringLiteral("SELECT Con FROM 出口 WHERE Ctl = 3")).toString(),
             QStringLiteral("kept"));
    QVERIFY(f.dialogs.shown.isEmpty());
}

QTEST_GUILESS_MAIN(DataBaseTest)
#include "tst_database.moc"
