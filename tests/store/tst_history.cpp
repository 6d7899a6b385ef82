#include "DataBase.h"
#include "Form.h"
#include "SaveContents.h"
#include "StoreFixture.h"

#include <QTest>

class HistoryTest : public QObject {
    Q_OBJECT
private slots:
    void recordNumbering_data();
    void recordNumbering();
    void allEmptyBoxesStoreNothing();
    void workingRecordReplacedAndReloaded();
    void workingRecordOfEmptyBoxesIsGone();
    void loadEmptiesBoxesWithoutRow();
    void recordSharesOneDate();
    void saveCommand();
    void saveCommandOnDatabaseFailure();
    void oleDates();
};

void HistoryTest::recordNumbering_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty table") << "" << 0;
    QTest::newRow("only a working record") << "INSERT INTO 出口 VALUES (-1, 26894.0, 3, 'x')" << 0;
    QTest::newRow("records 0 to 7")
        << "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<7) "
           "INSERT INTO 出口 SELECT i, 45000, 0, 'a' FROM n"
        << 8;
    QTest::newRow("after deleting the newest")
        << "INSERT INTO 出口 VALUES (0, 45000, 0, 'a'); INSERT INTO 出口 VALUES (1, 45000, 0, 'b');"
           "DELETE FROM 出口 WHERE Ord = 1"
        << 1;
    QTest::newRow("beyond 16 bits") << "INSERT INTO 出口 VALUES (40000, 45000, 0, 'a')" << 40001;
}

void HistoryTest::recordNumbering() {
    QFETCH(QString, setup);
    QFETCH(int, expected);
    StoreFixture f;
    QVERIFY(f.db->nextRecordNumber(QStringLiteral("出口")).has_value()); // creates the schema
    for (const QString& sql : setup.split(u';', Qt::SkipEmptyParts))
        QVERIFY2(f.run(sql), qPrintable(sql));
    Form form;
    form.setText(0, QStringLiteral("预录入"));
    int ord = 0;
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("出口"), ord));
    QCOMPARE(ord, expected);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口 WHERE Ord = %1").arg(expected)), 1);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 进口")), 0);
    QVERIFY(f.dialogs.shown.isEmpty());
}

void HistoryTest::allEmptyBoxesStoreNothing() {
    StoreFixture f;
    Form form;
    int ord = 0;
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("进口"), ord));
    QCOMPARE(ord, 0);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 进口")), 0);
    form.setText(1, QStringLiteral("x"));
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("进口"), ord));
    QCOMPARE(ord, 0); // the number was not taken by the empty record
}

void HistoryTest::workingRecordReplacedAndReloaded() {
    StoreFixture f;
    Form form;
    for (int i = 0; i < BoxCount; ++i)
        if (i % 3 != 0)
            form.setText(i, QStringLiteral("第%1格\r\n第二行 'quoted'").arg(i));
    int ord = WorkingRecordOrd;
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("进口"), ord));
    QCOMPARE(ord, WorkingRecordOrd);
    // Replacing keeps one working record: fewer boxes now.
    form.setText(1, QString());
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("进口"), ord));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 进口 WHERE Ord = -1")), 58 - 1);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(DISTINCT Dat) FROM 进口")), 1);
    QCOMPARE(f.scalar(QStringLiteral("SELECT Dat FROM 进口 LIMIT 1")).toDouble(), 26894.0);

    Form loaded;
    for (int i = 0; i < BoxCount; ++i)
        loaded.setText(i, QStringLiteral("old"));
    loaded.setContentChanged(false);
    QVERIFY(f.db->LoadHistoryRecord(loaded, WorkingRecordOrd, QStringLiteral("进口")));
    for (int i = 0; i < BoxCount; ++i)
        QCOMPARE(loaded.text(i), form.text(i));
    QVERIFY(loaded.ContentChanged());
}

void HistoryTest::workingRecordOfEmptyBoxesIsGone() {
    StoreFixture f;
    Form form;
    form.setText(4, QStringLiteral("x"));
    int ord = WorkingRecordOrd;
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("出口"), ord));
    form.clearAll();
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("出口"), ord));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口")), 0);
    Form loaded;
    loaded.setText(4, QStringLiteral("left over"));
    QVERIFY(f.db->LoadHistoryRecord(loaded, WorkingRecordOrd, QStringLiteral("出口")));
    QVERIFY(loaded.allEmpty());
}

void HistoryTest::loadEmptiesBoxesWithoutRow() {
    StoreFixture f;
    QVERIFY(f.db->nextRecordNumber(QStringLiteral("出口")).has_value());
    QVERIFY(f.run(QStringLiteral("INSERT INTO 出口 VALUES (3, 45000, 4, 'four')")));
    QVERIFY(f.run(QStringLiteral("INSERT INTO 出口 VALUES (3, 45000, 87, 'last')")));
    QVERIFY(f.run(QStringLiteral("INSERT INTO 出口 VALUES (3, 45000, 99, 'no such box')")));
    Form form;
    form.setText(5, QStringLiteral("was here"));
    QVERIFY(f.db->LoadHistoryRecord(form, 3, QStringLiteral("出口")));
    QCOMPARE(form.text(5), QString());
    QCOMPARE(form.text(4), QStringLiteral("four"));
    QCOMPARE(form.text(87), QStringLiteral("last"));
}

void HistoryTest::recordSharesOneDate() {
    StoreFixture f;
    Form form;
    for (int i = 0; i < BoxCount; ++i)
        form.setText(i, QString::number(i));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    int ord = 0;
    QVERIFY(f.db->SaveHistoryRecord(form, QStringLiteral("出口"), ord));
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口 WHERE Ord = 0")), 88);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(DISTINCT Dat) FROM 出口")), 1);
    const QDateTime stored =
        DataBase::fromOleDate(f.scalar(QStringLiteral("SELECT Dat FROM 出口 LIMIT 1")).toDouble());
    QVERIFY(stored >= before && stored <= after);
}

void HistoryTest::saveCommand() {
    StoreFixture f;
    Form form;
    form.setText(0, QStringLiteral("A"));
    SaveContents(form, Mode::Import, *f.db);
    QCOMPARE(f.dialogs.messages(), QStringList{QStringLiteral("报关单内容已存入历史记录！")});
    QVERIFY(!form.ContentChanged());
    SaveContents(form, Mode::Import, *f.db);
    QCOMPARE(f.dialogs.messages().last(), QStringLiteral("同样内容已经保存过！"));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(DISTINCT Ord) FROM 进口")), 1);
    // Typing a character and deleting it counts as a change.
    form.setText(1, QStringLiteral("x"));
    form.setText(1, QString());
    SaveContents(form, Mode::Import, *f.db);
    QCOMPARE(f.dialogs.messages().last(), QStringLiteral("报关单内容已存入历史记录！"));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(DISTINCT Ord) FROM 进口")), 2);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口")), 0);
}

void HistoryTest::saveCommandOnDatabaseFailure() {
    StoreFixture f;
    QVERIFY(f.db->nextRecordNumber(QStringLiteral("出口")).has_value());
    QVERIFY(f.run(QStringLiteral("CREATE TRIGGER fail BEFORE INSERT ON 出口 WHEN NEW.Ctl = 2 "
                                 "BEGIN SELECT RAISE(ABORT, 'injected'); END")));
    Form form;
    for (int i = 0; i < 5; ++i)
        form.setText(i, QStringLiteral("t"));
    SaveContents(form, Mode::Export, *f.db);
    QCOMPARE(f.dialogs.messages(), QStringList{QStringLiteral("数据库打开错误！")});
    QVERIFY(form.ContentChanged());
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口")), 0); // rows 0 and 1 rolled back
}

void HistoryTest::oleDates() {
    QCOMPARE(DataBase::fromOleDate(26894.0), QDateTime(QDate(1973, 8, 18), QTime(0, 0)));
    QCOMPARE(DataBase::toOleDate(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    QCOMPARE(DataBase::toOleDate(QDateTime(QDate(2026, 12, 6), QTime(18, 0, 0, 700))),
             46362.0 + 0.75);
    const QDateTime m(QDate(2024, 2, 29), QTime(23, 59, 59));
    QCOMPARE(DataBase::fromOleDate(DataBase::toOleDate(m)), m);
}

QTEST_GUILESS_MAIN(HistoryTest)
#include "tst_history.moc"
