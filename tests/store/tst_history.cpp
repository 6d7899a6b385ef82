#include "DataBase.h"
#include "Form.h"
#include "SaveContents.h"
#include "StoreFixture.h"

#include <QTest>

// History records: the next free number, one moment for all rows of a record, the working
// record's fixed date, and a save that fails half-way.
class HistoryTest : public QObject {
    Q_OBJECT
private slots:
    void recordNumbering_data();
    void recordNumbering();
    void failedSaveLeavesNoRows();
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
    QVERIFY(f.db->nextRecordNumber(Mode::Export).has_value()); // creates the schema
    for (const QString& sql : setup.split(u';', Qt::SkipEmptyParts))
        QVERIFY2(f.run(sql), qPrintable(sql));
    Form form;
    int ord = 0;
    QVERIFY(f.db->SaveHistoryRecord(form, Mode::Export, ord)); // empty: nothing stored
    for (int i = 0; i < BoxCount; ++i)
        form.setText(i, QString::number(i));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QVERIFY(f.db->SaveHistoryRecord(form, Mode::Export, ord));
    QCOMPARE(ord, expected);
    const QString rows = QStringLiteral("SELECT %2 FROM 出口 WHERE Ord = %1").arg(ord);
    QCOMPARE(f.count(rows.arg(QStringLiteral("COUNT(DISTINCT Ctl)"))), 88);
    QCOMPARE(f.count(rows.arg(QStringLiteral("COUNT(DISTINCT Dat)"))), 1);
    const QDateTime stored = DataBase::fromOleDate(f.scalar(rows.arg("Dat")).toDouble());
    QVERIFY(stored >= before && stored <= QDateTime::currentDateTime().addSecs(1));
    // The working record keeps its fixed date.
    ord = WorkingRecordOrd;
    QVERIFY(f.db->SaveHistoryRecord(form, Mode::Export, ord));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口 WHERE Ord = -1 AND Dat = 26894.0")),
             88);
    QCOMPARE(DataBase::fromOleDate(26894.0), QDateTime(QDate(1973, 8, 18), QTime(0, 0)));
}

void HistoryTest::failedSaveLeavesNoRows() {
    StoreFixture f;
    QVERIFY(f.db->nextRecordNumber(Mode::Export).has_value());
    QVERIFY(f.run(QStringLiteral("CREATE TRIGGER fail BEFORE INSERT ON 出口 WHEN NEW.Ctl = 2 "
                                 "BEGIN SELECT RAISE(ABORT, 'injected'); END")));
    Form form;
    for (int i = 0; i < 5; ++i)
        form.setText(i, QStringLiteral("t"));
    SaveContents(form, Mode::Export, *f.db, f.dialogs);
    QCOMPARE(f.dialogs.messages(), QStringList{QStringLiteral("数据库打开错误！")});
    QVERIFY(form.ContentChanged()); // so the next save tries again
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口")), 0);
}

QTEST_GUILESS_MAIN(HistoryTest)
#include "tst_history.moc"
