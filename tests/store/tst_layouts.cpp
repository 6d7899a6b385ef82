#include "Form.h"
#include "Layouts.h"
#include "StoreFixture.h"

#include <QTest>

// A store whose table 格式 is empty, as before new files got the factory layout.
struct EmptyLayoutStore : StoreFixture {
    EmptyLayoutStore() {
        db->nextRecordNumber(QStringLiteral("出口"));
        run(QStringLiteral("DELETE FROM 格式"));
    }
};

class LayoutsTest : public QObject {
    Q_OBJECT
private slots:
    void saveWritesExactly88RowsInOrder();
    void roundTripKeepsEveryAttribute();
    void overwriteAsks_data();
    void overwriteAsks();
    void fixedNameNeverAsks();
    void missingLayoutKeepsBoxesButSetsName();
    void partialLayoutChangesOnlyItsBoxes();
    void labelsKeepTheirOffsets();
    void rowsOutsideTheBoxesAndBadColumnsAreSkipped();
    void lastRowOfABoxWins();
    void namesWithQuotesAreOrdinary_data();
    void namesWithQuotesAreOrdinary();
    void namesListedOnceInOrder();
    void failedReplaceKeepsOldLayout();
};

void LayoutsTest::saveWritesExactly88RowsInOrder() {
    StoreFixture f;
    Layouts layouts(*f.db);
    Form form;
    layouts.SaveLayout(form, QStringLiteral("A"));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 格式 WHERE Name = 'A'")), 88);
    QSqlQuery q(f.outside());
    QVERIFY(q.exec(QStringLiteral("SELECT Ctl FROM 格式 WHERE Name = 'A' ORDER BY rowid")));
    int expected = 0;
    while (q.next())
        QCOMPARE(q.value(0).toInt(), expected++);
    QCOMPARE(expected, 88);
    QCOMPARE(layouts.CurrentLayoutName(), QStringLiteral("A"));
}

void LayoutsTest::roundTripKeepsEveryAttribute() {
    StoreFixture f;
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
    layouts.SaveLayout(form, QStringLiteral("printer A"));

    Form other;
    layouts.LoadLayout(other, QStringLiteral("printer A"));
    for (int i = 0; i < BoxCount; ++i) {
        const Box& a = form.box(i);
        const Box& b = other.box(i);
        QCOMPARE(b.left, a.left);
        QCOMPARE(b.top, a.top);
        QCOMPARE(b.width, a.width);
        QCOMPARE(b.height, a.height);
        QCOMPARE(b.foreColor, a.foreColor);
        QCOMPARE(b.fontName, a.fontName);
        QCOMPARE(b.fontSize, a.fontSize);
        QCOMPARE(b.fontBold, a.fontBold);
        QCOMPARE(b.fontItalic, a.fontItalic);
        QCOMPARE(b.fontUnderline, a.fontUnderline);
        QCOMPARE(b.fontStrikethru, a.fontStrikethru);
    }
    QCOMPARE(other.text(7), QString());
}

void LayoutsTest::overwriteAsks_data() {
    QTest::addColumn<bool>("answer");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void LayoutsTest::overwriteAsks() {
    QFETCH(bool, answer);
    StoreFixture f;
    Layouts layouts(*f.db);
    Form form;
    layouts.SaveLayout(form, QStringLiteral("A"));
    layouts.SaveLayout(form, QStringLiteral("B"));
    QVERIFY(f.dialogs.shown.isEmpty());
    form.setLeft(0, 5000);
    f.dialogs.yesNo.enqueue(answer);
    layouts.SaveLayout(form, QStringLiteral("A"));
    QCOMPARE(f.dialogs.allTexts(), QStringList{QStringLiteral("该记录已存在，是否覆盖？")});
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 格式 WHERE Name = 'A'")), 88);
    QCOMPARE(f.scalar(QStringLiteral("SELECT X FROM 格式 WHERE Name = 'A' AND Ctl = 0")).toDouble(),
             answer ? 5000.0 : 1800.0);
    QCOMPARE(layouts.CurrentLayoutName(), answer ? QStringLiteral("A") : QStringLiteral("B"));
}

void LayoutsTest::fixedNameNeverAsks() {
    EmptyLayoutStore f;
    Layouts layouts(*f.db);
    Form form;
    layouts.SaveLayout(form, Catalogue::fixedLayoutName());
    form.setTop(3, 77);
    layouts.SaveLayout(form, Catalogue::fixedLayoutName());
    QVERIFY(f.dialogs.shown.isEmpty());
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 格式")), 88);
    QCOMPARE(f.scalar(QStringLiteral("SELECT Y FROM 格式 WHERE Ctl = 3")).toDouble(), 77.0);
}

void LayoutsTest::missingLayoutKeepsBoxesButSetsName() {
    EmptyLayoutStore f;
    Layouts layouts(*f.db);
    Form form;
    form.setLeft(2, 999);
    layouts.LoadLayout(form, Catalogue::fixedLayoutName());
    QCOMPARE(form.box(2).left, 999.f);
    QCOMPARE(form.box(0).left, 1800.f);
    QCOMPARE(layouts.CurrentLayoutName(), Catalogue::fixedLayoutName());
    QVERIFY(f.dialogs.shown.isEmpty());
}

void LayoutsTest::partialLayoutChangesOnlyItsBoxes() {
    StoreFixture f;
    Layouts layouts(*f.db);
    QVERIFY(layouts.layoutNames().has_value());
    QVERIFY(f.run(QStringLiteral("INSERT INTO 格式 (Name, Ctl, X, Y, W, H, Color, fName, fSize, "
                                 "fBold, fItalic, fUnderline, fStrikethru) VALUES "
                                 "('p', 10, 500, 600, 700, 800, 255, '黑体', 12, 1, 0, 0, 0)")));
    Form form;
    layouts.LoadLayout(form, QStringLiteral("p"));
    QCOMPARE(form.box(10).left, 500.f);
    QCOMPARE(form.box(10).height, 800.f);
    QCOMPARE(form.box(10).foreColor, 255u);
    QCOMPARE(form.box(10).fontName, QStringLiteral("黑体"));
    QVERIFY(form.box(10).fontBold);
    Form untouched;
    for (int i = 0; i < BoxCount; ++i) {
        if (i == 10)
            continue;
        QCOMPARE(form.box(i).left, untouched.box(i).left);
        QCOMPARE(form.box(i).top, untouched.box(i).top);
    }
}

void LayoutsTest::labelsKeepTheirOffsets() {
    StoreFixture f;
    Layouts layouts(*f.db);
    Form form;
    // A label 60 twips left of its box stays 60 twips left of it.
    form.setLabelPosition(20, form.box(20).left - 60, form.box(20).top - 15);
    form.setGeometry(20, 1000, 2000, 500, 270);
    layouts.SaveLayout(form, QStringLiteral("moved"));

    Form other;
    other.setLabelPosition(20, other.box(20).left - 60, other.box(20).top - 15);
    const float offset0x = other.label(0).left - other.box(0).left;
    layouts.LoadLayout(other, QStringLiteral("moved"));
    QCOMPARE(other.box(20).left, 1000.f);
    QCOMPARE(other.label(20).left, 940.f);
    QCOMPARE(other.label(20).top, 1985.f);
    QCOMPARE(other.label(0).left - other.box(0).left, offset0x);
}

void LayoutsTest::rowsOutsideTheBoxesAndBadColumnsAreSkipped() {
    StoreFixture f;
    Layouts layouts(*f.db);
    QVERIFY(layouts.layoutNames().has_value());
    QVERIFY(f.run(QStringLiteral("INSERT INTO 格式 (Name, Ctl, X, Y) VALUES ('bad', 88, 1, 1)")));
    QVERIFY(f.run(QStringLiteral("INSERT INTO 格式 (Name, Ctl, X, Y) VALUES ('bad', -1, 1, 1)")));
    // An empty X and a text that is no number skip only their own assignment.
    QVERIFY(f.run(QStringLiteral("INSERT INTO 格式 (Name, Ctl, X, Y, W, fSize) VALUES "
                                 "('bad', 5, NULL, 4321, 'wide', 14)")));
    Form form;
    layouts.LoadLayout(form, QStringLiteral("bad"));
    QCOMPARE(form.box(5).left, 6000.f);
    QCOMPARE(form.box(5).top, 4321.f);
    QCOMPARE(form.box(5).width, 1335.f);
    QCOMPARE(form.box(5).fontSize, 14.f);
    QCOMPARE(form.box(87).left, 3840.f);
    QCOMPARE(layouts.CurrentLayoutName(), QStringLiteral("bad"));
}

void LayoutsTest::lastRowOfABoxWins() {
    StoreFixture f;
    Layouts layouts(*f.db);
    QVERIFY(layouts.layoutNames().has_value());
    QVERIFY(f.run(QStringLiteral("INSERT INTO 格式 (Name, Ctl, X) VALUES ('twice', 1, 10)")));
    QVERIFY(f.run(QStringLiteral("INSERT INTO 格式 (Name, Ctl, X) VALUES ('twice', 1, 20)")));
    Form form;
    layouts.LoadLayout(form, QStringLiteral("twice"));
    QCOMPARE(form.box(1).left, 20.f);
}

void LayoutsTest::namesWithQuotesAreOrdinary_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("apostrophe") << "O'Brien's printer";
    QTest::newRow("sql") << "x'); DROP TABLE 格式; --";
    QTest::newRow("double quote") << "\"quoted\"";
    QTest::newRow("blanks kept") << " padded ";
}

void LayoutsTest::namesWithQuotesAreOrdinary() {
    QFETCH(QString, name);
    EmptyLayoutStore f;
    Layouts layouts(*f.db);
    Form form;
    form.setLeft(9, 4242);
    layouts.SaveLayout(form, name);
    QVERIFY(f.dialogs.shown.isEmpty());
    Form other;
    layouts.LoadLayout(other, name);
    QCOMPARE(other.box(9).left, 4242.f);
    QCOMPARE(layouts.layoutNames().value(), QStringList{name});
    f.dialogs.yesNo.enqueue(true);
    layouts.SaveLayout(form, name);
    QCOMPARE(f.dialogs.allTexts(), QStringList{QStringLiteral("该记录已存在，是否覆盖？")});
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 格式")), 88);
}

void LayoutsTest::namesListedOnceInOrder() {
    EmptyLayoutStore f;
    Layouts layouts(*f.db);
    Form form;
    for (const char* n : {"b", "a", "c"})
        layouts.SaveLayout(form, QString::fromUtf8(n));
    QCOMPARE(layouts.layoutNames().value(),
             (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
}

void LayoutsTest::failedReplaceKeepsOldLayout() {
    EmptyLayoutStore f;
    Layouts layouts(*f.db);
    Form form;
    layouts.SaveLayout(form, QStringLiteral("A"));
    QVERIFY(f.run(QStringLiteral("CREATE TRIGGER fail BEFORE INSERT ON 格式 WHEN NEW.Ctl = 40 "
                                 "BEGIN SELECT RAISE(ABORT, 'injected'); END")));
    form.setLeft(0, 1);
    f.dialogs.yesNo.enqueue(true);
    layouts.SaveLayout(form, QStringLiteral("A"));
    QCOMPARE(f.dialogs.messages(), QStringList{QStringLiteral("数据库打开错误！")});
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 格式 WHERE Name = 'A'")), 88);
    QCOMPARE(f.scalar(QStringLiteral("SELECT X FROM 格式 WHERE Ctl = 0")).toDouble(), 1800.0);
    QCOMPARE(layouts.CurrentLayoutName(), QStringLiteral("A"));
    // The fixed name fails the same way and keeps its old rows too.
    layouts.SaveLayout(form, Catalogue::fixedLayoutName());
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 格式")), 88);
}

QTEST_GUILESS_MAIN(LayoutsTest)
#include "tst_layouts.moc"
