#include "CanvasLayout.h"
#include "FactoryLayout.h"
#include "Form.h"
#include "FormScans.h"
#include "Layouts.h"
#include "StoreFixture.h"

#include <QTest>

// A store whose table 格式 is empty, as before new files got the factory layout.
struct EmptyLayoutStore : StoreFixture {
    EmptyLayoutStore() {
        db->nextRecordNumber(Mode::Export);
        run(QStringLiteral("DELETE FROM 格式"));
    }
};

// Layouts in table 格式, what a new database starts with, what an old one becomes.
class LayoutsTest : public QObject {
    Q_OBJECT
private slots:
    void roundTripKeepsEveryAttribute();
    void replacingAskedFor_data();
    void replacingAskedFor();
    void rowsWrittenElsewhere();
    void failedReplaceKeepsOldLayout();
    void newDatabaseStartsTidy_data();
    void newDatabaseStartsTidy();
    void versionOneMigratesKeepingEveryRow();
};

void LayoutsTest::roundTripKeepsEveryAttribute() {
    EmptyLayoutStore f;
    Layouts layouts(*f.db);
    Form form;
    form.setGeometry(7, 123.5f, -40.25f, 999.f, 321.f);
    form.setForeColor(7, 0x0000FF);
    form.setFontName(7, QStringLiteral("黑体"));
    form.setFontSize(7, 10.5f);
    form.setFontBold(7, true);
    form.setFontItalic(7, true);
    form.setFontUnderline(7, true);
    form.setFontStrikethru(7, true);
    form.setText(7, QStringLiteral("text is not part of a layout"));
    // A label 60 twips left of its box stays 60 twips left of it.
    form.setLabelPosition(20, form.box(20).left - 60, form.box(20).top - 15);
    form.setGeometry(20, 1000, 2000, 500, 270);
    QVERIFY(layouts.SaveLayout(form, QStringLiteral("printer A")));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 格式 WHERE Ctl = rowid - 1")), 88);

    Form other;
    other.setLabelPosition(20, other.box(20).left - 60, other.box(20).top - 15);
    QList<float> offsets;
    for (int i = 0; i < BoxCount; ++i)
        offsets.append(other.label(i).left - other.box(i).left);
    layouts.LoadLayout(other, QStringLiteral("printer A"));
    for (int i = 0; i < BoxCount; ++i) {
        const Box& a = form.box(i);
        const Box& b = other.box(i);
        QCOMPARE(QRectF(b.left, b.top, b.width, b.height),
                 QRectF(a.left, a.top, a.width, a.height));
        QCOMPARE(b.foreColor, a.foreColor);
        QCOMPARE(b.fontName, a.fontName);
        QCOMPARE(b.fontSize, a.fontSize);
        QCOMPARE((QList<bool>{b.fontBold, b.fontItalic, b.fontUnderline, b.fontStrikethru}),
                 (QList<bool>{a.fontBold, a.fontItalic, a.fontUnderline, a.fontStrikethru}));
        QCOMPARE(other.label(i).left - b.left, offsets[i]);
    }
    QCOMPARE(other.label(20).top, 1985.f);
    QCOMPARE(other.text(7), QString());
    QCOMPARE(layouts.CurrentLayoutName(), QStringLiteral("printer A"));
}

void LayoutsTest::replacingAskedFor_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("replaces");
    QTest::newRow("plain") << "A" << true;
    QTest::newRow("apostrophe") << "O'Brien's printer" << true;
    QTest::newRow("sql") << "x'); DROP TABLE 格式; --" << true;
    QTest::newRow("blanks kept") << " padded " << true;
    QTest::newRow("the last exit's layout never asks") << Catalogue::fixedLayoutName() << false;
}

void LayoutsTest::replacingAskedFor() {
    QFETCH(QString, name);
    QFETCH(bool, replaces);
    EmptyLayoutStore f;
    Layouts layouts(*f.db);
    Form form;
    QCOMPARE(layouts.wouldReplace(name), std::optional<bool>(false));
    QVERIFY(layouts.SaveLayout(form, name));
    QVERIFY(layouts.SaveLayout(form, QStringLiteral("B")));
    QCOMPARE(layouts.wouldReplace(name), std::optional<bool>(replaces));
    QCOMPARE(layouts.wouldReplace(name.trimmed() + QStringLiteral("x")),
             std::optional<bool>(false));
    form.setLeft(0, 5000);
    QVERIFY(layouts.SaveLayout(form, name));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 格式")), 2 * 88);
    Form other;
    QVERIFY(layouts.LoadLayout(other, name));
    QCOMPARE(other.box(0).left, 5000.f);
    QCOMPARE(layouts.layoutNames().value().size(), 2);
    QVERIFY(layouts.layoutNames().value().contains(name));
}

void LayoutsTest::rowsWrittenElsewhere() {
    EmptyLayoutStore f;
    Layouts layouts(*f.db);
    Form form;
    form.setLeft(2, 999);
    // A missing layout keeps the boxes but still becomes the current one.
    layouts.LoadLayout(form, QStringLiteral("missing"));
    QCOMPARE(form.box(2).left, 999.f);
    QCOMPARE(layouts.CurrentLayoutName(), QStringLiteral("missing"));
    // Boxes outside 0..87 are skipped, an empty X and a text that is no number skip only
    // their own assignment, and the last row of a box wins.
    for (const char* values :
         {"(88, 1, 1, 1, 1)", "(-1, 1, 1, 1, 1)", "(5, NULL, 4321, 'wide', 14)", "(1, 10, 0, 0, 0)",
          "(1, 20, 0, 0, 0)"})
        QVERIFY(f.run(QStringLiteral("INSERT INTO 格式 (Name, Ctl, X, Y, W, fSize) VALUES ") +
                      QString::fromLatin1(values).replace(u'(', QStringLiteral("('p', "))));
    layouts.LoadLayout(form, QStringLiteral("p"));
    QCOMPARE(form.box(5).left, 6000.f);
    QCOMPARE(form.box(5).top, 4321.f);
    QCOMPARE(form.box(5).width, 1335.f);
    QCOMPARE(form.box(5).fontSize, 14.f);
    QCOMPARE(form.box(1).left, 20.f);
    QCOMPARE(form.box(2).left, 999.f);
    QCOMPARE(form.box(87).left, Form().box(87).left);
}

void LayoutsTest::failedReplaceKeepsOldLayout() {
    EmptyLayoutStore f;
    Layouts layouts(*f.db);
    Form form;
    layouts.SaveLayout(form, QStringLiteral("A"));
    QVERIFY(f.run(QStringLiteral("CREATE TRIGGER fail BEFORE INSERT ON 格式 WHEN NEW.Ctl = 40 "
                                 "BEGIN SELECT RAISE(ABORT, 'injected'); END")));
    form.setLeft(0, 1);
    QVERIFY(!layouts.SaveLayout(form, QStringLiteral("A")));
    QCOMPARE(f.scalar(QStringLiteral("SELECT X FROM 格式 WHERE Ctl = 0")).toDouble(), 1800.0);
    QCOMPARE(layouts.CurrentLayoutName(), QStringLiteral("A"));
    // The fixed name fails the same way and keeps its old rows too.
    QVERIFY(!layouts.SaveLayout(form, Catalogue::fixedLayoutName()));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 格式")), 88);
}

void LayoutsTest::newDatabaseStartsTidy_data() {
    QTest::addColumn<Mode>("mode");
    QTest::newRow("export captions") << Mode::Export;
    QTest::newRow("import captions") << Mode::Import;
}

// The layout the first start loads, read back, with every overlap computed.
void LayoutsTest::newDatabaseStartsTidy() {
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

void LayoutsTest::versionOneMigratesKeepingEveryRow() {
    StoreFixture f;
    // A file as the program wrote it at schema version 1, with rows in every table.
    QVERIFY(f.db->nextRecordNumber(Mode::Export));
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

    f.db = std::make_unique<DataBase>(f.db->filePath());
    QCOMPARE(f.db->nextRecordNumber(Mode::Export), std::optional<int>(1));
    QCOMPARE(f.scalar(QStringLiteral("PRAGMA user_version")).toInt(), 2);
    // Every row kept, and no factory layout added to a file that has its own.
    QCOMPARE(f.scalar(rows), before);
    // The new table keeps one scan per mode.
    FormScans scans(*f.db);
    QVERIFY(scans.load(Mode::Export).value().isEmpty());
    const FormScan exportScan{QByteArray("\x89PNG\0export", 11), QStringLiteral("出口.png"), 1.5,
                              -2.0, 98.5};
    QVERIFY(scans.save(Mode::Export, exportScan));
    QVERIFY(scans.save(Mode::Import, FormScan{QByteArray(300000, 'i'), "i.pdf", 0, 0, 100}));
    QVERIFY(scans.save(Mode::Import, FormScan{}));
    QVERIFY(scans.load(Mode::Import).value().isEmpty());
    QCOMPARE(scans.load(Mode::Export).value(), exportScan);
}

QTEST_MAIN(LayoutsTest)
#include "tst_layouts.moc"
