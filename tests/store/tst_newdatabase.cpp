#include "CanvasLayout.h"
#include "FactoryLayout.h"
#include "Form.h"
#include "FormScans.h"
#include "Layouts.h"
#include "StoreFixture.h"

#include <QTest>

// What a new database starts with, what an old one becomes, and the scans it keeps.
class NewDatabaseTest : public QObject {
    Q_OBJECT
private slots:
    void newDatabaseStartsTidy_data();
    void newDatabaseStartsTidy();
    void versionOneMigratesKeepingEveryRow();
    void oneScanPerMode();
};

void NewDatabaseTest::newDatabaseStartsTidy_data() {
    QTest::addColumn<Mode>("mode");
    QTest::newRow("export captions") << Mode::Export;
    QTest::newRow("import captions") << Mode::Import;
}

// The layout the first start loads, read back, with every overlap computed.
void NewDatabaseTest::newDatabaseStartsTidy() {
    QFETCH(Mode, mode);
    StoreFixture f;
    Layouts layouts(*f.db);
    Form form;
    layouts.LoadLayout(form, Catalogue::fixedLayoutName());
    QCOMPARE(layouts.layoutNames().value(),
             (QStringList{Catalogue::fixedLayoutName(), FactoryLayout::name()}));
    form.labelBoxes(mode);

    QList<QPair<QString, QRectF>> items;
    for (int i = 0; i < BoxCount; ++i) {
        const Box& b = form.box(i);
        const Label& l = form.label(i);
        items.append({QStringLiteral("box %1").arg(i), QRectF(b.left, b.top, b.width, b.height)});
        if (!l.caption.isEmpty())
            items.append({l.caption, QRectF(l.left, l.top, l.width, l.height)});
    }
    const CanvasLayout canvas = computeCanvasLayout(12000, 9000);
    items.append({QStringLiteral("title"), QRectF(canvas.title.topLeft() / canvas.zoom(),
                                                  canvas.title.size() / canvas.zoom())});
    const QRectF page(0, 0, 7935, 7935 * 297.0 / 210.0);
    QStringList faults;
    for (qsizetype a = 0; a < items.size(); ++a) {
        if (!page.contains(items[a].second))
            faults << items[a].first + QStringLiteral(" off the page");
        for (qsizetype b = a + 1; b < items.size(); ++b)
            if (items[a].second.intersects(items[b].second))
                faults << items[a].first + QStringLiteral(" over ") + items[b].first;
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));

    // 标记唛码及备注 lies between the 集装箱号 row and the goods captions.
    QVERIFY(form.box(31).top > form.box(28).top + form.box(28).height);
    QVERIFY(form.label(31).top + form.label(31).height < form.label(41).top);
    // Goods lines 1 to 5 downwards at one pitch, each column under the column of line 1.
    const auto& lines = Catalogue::goodsLines();
    const float pitch = form.box(lines[1][0]).top - form.box(lines[0][0]).top;
    for (std::size_t line = 1; line < lines.size(); ++line)
        for (std::size_t column = 0; column < 8; ++column) {
            const Box& box = form.box(lines[line][column]);
            QCOMPARE(box.left, form.box(lines[0][column]).left);
            QCOMPARE(box.top - form.box(lines[line - 1][column]).top, pitch);
        }
}

void NewDatabaseTest::versionOneMigratesKeepingEveryRow() {
    StoreFixture f;
    // A file as the program wrote it at schema version 1, with rows in every table.
    QVERIFY(f.db->nextRecordNumber(QStringLiteral("出口")));
    for (const char* sql :
         {"DROP TABLE \"底图\"", "DELETE FROM \"格式\"", "PRAGMA user_version = 1",
          "INSERT INTO \"出口\" VALUES (-1, 26894.0, 6, '宁波甬港贸易有限公司'), (0, 45000.5, "
          "42, '8471300000')",
          "INSERT INTO \"进口\" VALUES (3, 45001.25, 46, '250000.00')",
          "INSERT INTO \"格式\" VALUES ('上一次退出时的格式', 0, 11, 22, 33, 44, 255, '宋体', 12, "
          "1, 0, 0, 0)"})
        QVERIFY2(f.run(QString::fromUtf8(sql)), sql);
    const QString rows = QStringLiteral(
        "SELECT group_concat(t || Ord || Dat || Ctl || Con, ';') FROM (SELECT 'e' AS t, * FROM "
        "\"出口\" UNION ALL SELECT 'i', * FROM \"进口\" UNION ALL SELECT Name, X, Y, W, fName "
        "FROM \"格式\")");
    const QVariant before = f.scalar(rows);

    f.db = std::make_unique<DataBase>(f.dialogs, f.db->filePath());
    QCOMPARE(f.db->nextRecordNumber(QStringLiteral("出口")), std::optional<int>(1));
    QVERIFY(FormScans(*f.db).load(Mode::Export).value().isEmpty());
    QCOMPARE(f.scalar(QStringLiteral("PRAGMA user_version")).toInt(), 2);
    // Every row kept, and no factory layout added to a file that has its own.
    QCOMPARE(f.scalar(rows), before);
}

void NewDatabaseTest::oneScanPerMode() {
    StoreFixture f;
    FormScans scans(*f.db);
    const FormScan exportScan{QByteArray("\x89PNG\0export", 11), QStringLiteral("出口.png"), 1.5,
                              -2.0, 98.5};
    const FormScan importScan{QByteArray(300000, 'i'), QStringLiteral("import.pdf"), 0, 0, 100};
    QVERIFY(scans.save(Mode::Export, exportScan));
    QVERIFY(scans.save(Mode::Import, importScan));
    QCOMPARE(scans.load(Mode::Export).value(), exportScan);
    QCOMPARE(scans.load(Mode::Import).value(), importScan);
    QVERIFY(scans.save(Mode::Import, FormScan{}));
    QVERIFY(scans.load(Mode::Import).value().isEmpty());
    QCOMPARE(scans.load(Mode::Export).value(), exportScan);
}

QTEST_MAIN(NewDatabaseTest)
#include "tst_newdatabase.moc"
