#include "Catalogue.h"
#include "Form.h"
#include "TextNumber.h"

#include <QSet>
#include <QSignalSpy>
#include <QTest>

class CatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void importCaptionsDifferAtNineFields();
    void labelsForMode_data();
    void labelsForMode();
    void goodsLinesHaveNoLabels();
    void tabOrderIsPermutation();
    void goodsLinesCoverTheirBoxesOnce();
    void labelsStayPutWhenRelabelled();
    void contentChangedOnEveryTextChange();
    void clearAllTouchesOnlyTexts();
    void numericValue_data();
    void numericValue();
    void modeTable();
};

void CatalogueTest::importCaptionsDifferAtNineFields() {
    QList<int> differing;
    for (int i = 0; i < BoxCount; ++i)
        if (Catalogue::caption(Mode::Export, i) != Catalogue::caption(Mode::Import, i))
            differing.append(i);
    QCOMPARE(differing, (QList<int>{2, 4, 10, 13, 15, 16, 17, 30, 45}));
    QCOMPARE(Catalogue::caption(Mode::Import, 10), QStringLiteral("收货单位"));
    QCOMPARE(Catalogue::caption(Mode::Export, 10), QStringLiteral("发货单位"));
    QCOMPARE(Catalogue::caption(Mode::Import, 45), QStringLiteral("原产国(地区)单价"));
    QCOMPARE(Catalogue::caption(Mode::Export, 45), QStringLiteral("最终目的国(地区)单价"));
}

void CatalogueTest::labelsForMode_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("top");
    QTest::addColumn<float>("width");

    // Left of the box on its top line: the box's left minus 180 per character.
    QTest::newRow("0 export") << 0 << 0 << "预录入编号：" << 720.f << 720.f << 1080.f;
    QTest::newRow("0 import") << 1 << 0 << "预录入编号：" << 720.f << 720.f << 1080.f;
    QTest::newRow("1") << 1 << 1 << "海关编号：" << 3780.f << 720.f << 900.f;
    // Left of the box, 720 below its top, outside the page.
    QTest::newRow("31") << 1 << 31 << "标记唛码及备注" << -900.f << 5280.f << 1260.f;
    // Above: the box's left, 170 above its top.
    QTest::newRow("2 export") << 0 << 2 << "出口口岸" << 240.f << 1150.f << 720.f;
    QTest::newRow("2 import") << 1 << 2 << "进口口岸" << 240.f << 1150.f << 720.f;
    QTest::newRow("45 import") << 1 << 45 << "原产国(地区)单价" << 4200.f << 6190.f << 1620.f;
    QTest::newRow("45 export") << 0 << 45 << "最终目的国(地区)单价" << 4200.f << 6190.f << 1980.f;
    QTest::newRow("37") << 0 << 37 << "邮编" << 240.f << 10800.f << 360.f;
    QTest::newRow("87") << 0 << 87 << "海关审单批注及放行日期(签章)" << 3840.f << 7870.f << 2700.f;
}

void CatalogueTest::labelsForMode() {
    QFETCH(int, mode);
    QFETCH(int, index);
    QFETCH(QString, caption);
    QFETCH(float, left);
    QFETCH(float, top);
    QFETCH(float, width);
    Form form;
    form.labelBoxes(static_cast<Mode>(mode));
    const Label& l = form.label(index);
    QCOMPARE(l.caption, caption);
    QCOMPARE(l.left, left);
    QCOMPARE(l.top, top);
    QCOMPARE(l.width, width);
    QCOMPARE(l.height, 160.f);
}

void CatalogueTest::goodsLinesHaveNoLabels() {
    Form form;
    for (Mode mode : {Mode::Export, Mode::Import}) {
        form.labelBoxes(mode);
        for (int i = 49; i <= 80; ++i) {
            QVERIFY2(form.label(i).caption.isEmpty(), qPrintable(QString::number(i)));
            QCOMPARE(form.label(i).width, 0.f);
        }
        for (int i : {0, 48, 81, 87})
            QVERIFY(form.label(i).width > 0);
    }
}

void CatalogueTest::tabOrderIsPermutation() {
    QSet<int> seen;
    for (const FieldSpec& f : Catalogue::fields())
        seen.insert(f.tabPosition);
    QCOMPARE(seen.size(), BoxCount);
    QCOMPARE(*std::min_element(seen.begin(), seen.end()), 1);
    QCOMPARE(*std::max_element(seen.begin(), seen.end()), 88);
    // The goods lines follow one another in tab order, left to right within a line.
    for (const auto& line : Catalogue::goodsLines())
        for (int c = 1; c < 8; ++c)
            QCOMPARE(Catalogue::field(line[c]).tabPosition,
                     Catalogue::field(line[c - 1]).tabPosition + 1);
}

void CatalogueTest::goodsLinesCoverTheirBoxesOnce() {
    QSet<int> seen;
    for (const auto& line : Catalogue::goodsLines())
        for (int i : line)
            seen.insert(i);
    QCOMPARE(seen.size(), 40);
    for (int i = 41; i <= 80; ++i)
        QVERIFY(seen.contains(i));
    QCOMPARE(Catalogue::goodsPosition(49).line, 2);
    QCOMPARE(Catalogue::goodsPosition(49).column, 7);
    QCOMPARE(Catalogue::goodsPosition(57).line, 5);
    QCOMPARE(Catalogue::goodsPosition(10).line, 0);
    // Lines 2 to 5 stand in the same columns as line 1 (tolerating their built-in shift).
    for (const auto& line : Catalogue::goodsLines())
        for (int c = 0; c < 8; ++c)
            QVERIFY(qAbs(Catalogue::field(line[c]).width -
                         Catalogue::field(Catalogue::goodsLines()[0][c]).width) < 1);
}

void CatalogueTest::labelsStayPutWhenRelabelled() {
    // Relabelling keeps the above/left relation chosen the first time.
    Form form;
    QList<QPair<float, float>> before;
    for (int i = 0; i < BoxCount; ++i)
        before.append({form.label(i).left, form.label(i).top});
    form.labelBoxes(Mode::Export);
    form.labelBoxes(Mode::Import);
    for (int i = 0; i < BoxCount; ++i) {
        QCOMPARE(form.label(i).left, before[i].first);
        QCOMPARE(form.label(i).top, before[i].second);
    }
    // A label whose top equals its box's top is placed left of it.
    form.setLabelPosition(5, 0, form.box(5).top);
    form.labelBoxes(Mode::Import);
    QCOMPARE(form.label(5).left, form.box(5).left - 4 * 180.f);
    QCOMPARE(form.label(5).top, form.box(5).top);
}

void CatalogueTest::contentChangedOnEveryTextChange() {
    Form form;
    QVERIFY(!form.ContentChanged());
    QSignalSpy spy(&form, &Form::textChanged);
    form.setText(3, QStringLiteral("B1234"));
    QVERIFY(form.ContentChanged());
    QCOMPARE(spy.count(), 1);
    form.setContentChanged(false);
    form.setText(3, QStringLiteral("B1234")); // the same text is no change
    QVERIFY(!form.ContentChanged());
    form.setText(3, QString());
    QVERIFY(form.ContentChanged());
}

void CatalogueTest::clearAllTouchesOnlyTexts() {
    Form form;
    for (int i = 0; i < BoxCount; ++i)
        form.setText(i, QString::number(i));
    form.setFontSize(7, 12);
    form.setSelected(7, true);
    form.setLeft(7, 100);
    form.setContentChanged(false);
    form.clearAll();
    QVERIFY(form.allEmpty());
    QVERIFY(form.ContentChanged());
    QCOMPARE(form.box(7).fontSize, 12.f);
    QVERIFY(form.box(7).selected());
    QCOMPARE(form.box(7).left, 100.f);
}

void CatalogueTest::numericValue_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("integer") << "13" << 13.0;
    QTest::newRow("decimal") << "13.50" << 13.5;
    QTest::newRow("trailing text") << "12.5mm" << 12.5;
    QTest::newRow("leading blanks") << "  15" << 15.0;
    QTest::newRow("negative") << "-2.25" << -2.25;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("version") << "1.13" << 1.13;
    QTest::newRow("two points") << "1.2.3" << 1.2;
    QTest::newRow("ideographic stop") << "12。5" << 12.0;
    QTest::newRow("full-width digits") << "１２" << 0.0;
}

void CatalogueTest::numericValue() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(::numericValue(text), value);
}

void CatalogueTest::modeTable() {
    QCOMPARE(Catalogue::modeWord(Mode::Export), QStringLiteral("出口"));
    QCOMPARE(Catalogue::modeWord(Mode::Import), QStringLiteral("进口"));
    QCOMPARE(Catalogue::modeInfo(Mode::Export).canvasColor, 0xFFFFD0u);
    QCOMPARE(Catalogue::modeInfo(Mode::Import).canvasColor, 0xFFD0FFu);
    QCOMPARE(Catalogue::modeInfo(Mode::Import).title,
             QStringLiteral("中华人民共和国海关进口货物报关单"));
    QCOMPARE(Catalogue::modeInfo(Mode::Export).tabCaption, QStringLiteral("出口报关单"));
    QCOMPARE(Catalogue::modeOfTab(0), Mode::Export);
    QCOMPARE(Catalogue::modeOfTab(1), Mode::Import);
}

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
