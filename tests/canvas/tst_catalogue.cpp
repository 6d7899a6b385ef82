#include "Catalogue.h"
#include "Form.h"
#include "TextNumber.h"

#include <QTest>

// The captions and label places of both modes, and the numbers read from box texts.
class CatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void labels_data();
    void labels();
    void numericValue_data();
    void numericValue();
};

void CatalogueTest::labels_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRectF>("place"); // null: not checked
    // Left of the box on its top line: the box's left minus 180 per character.
    QTest::newRow("1") << 1 << 1 << "海关编号：" << QRectF(3780, 720, 900, 160);
    // Left of the box, 720 below its top, outside the page.
    QTest::newRow("31") << 1 << 31 << "标记唛码及备注" << QRectF(-900, 5280, 1260, 160);
    // Above: the box's left, 170 above its top; nine captions differ between the modes.
    QTest::newRow("2 export") << 0 << 2 << "出口口岸" << QRectF(240, 1150, 720, 160);
    QTest::newRow("2 import") << 1 << 2 << "进口口岸" << QRectF(240, 1150, 720, 160);
    QTest::newRow("10 export") << 0 << 10 << "发货单位" << QRectF();
    QTest::newRow("10 import") << 1 << 10 << "收货单位" << QRectF();
    QTest::newRow("45 import") << 1 << 45 << "原产国(地区)单价" << QRectF(4200, 6190, 1620, 160);
    QTest::newRow("45 export") << 0 << 45 << "最终目的国(地区)单价"
                               << QRectF(4200, 6190, 1980, 160);
    QTest::newRow("goods line box 49") << 0 << 49 << "" << QRectF();
    QTest::newRow("goods line box 80") << 1 << 80 << "" << QRectF();
}

void CatalogueTest::labels() {
    QFETCH(int, mode);
    QFETCH(int, index);
    QFETCH(QString, caption);
    QFETCH(QRectF, place);
    Form form;
    form.labelBoxes(Mode(1 - mode)); // relabelling keeps the places chosen the first time
    form.labelBoxes(Mode(mode));
    const Label& l = form.label(index);
    QCOMPARE(l.caption, caption);
    QCOMPARE(Catalogue::caption(Mode(mode), index), caption);
    QCOMPARE(l.width > 0, !caption.isEmpty());
    if (!place.isNull())
        QCOMPARE(QRectF(l.left, l.top, l.width, l.height), place);
}

void CatalogueTest::numericValue_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("trailing text") << "12.5mm" << 12.5;
    QTest::newRow("leading blanks") << " \t\u300015" << 15.0;
    QTest::newRow("negative") << "-2.25" << -2.25;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("two points") << "1.2.3" << 1.2;
    QTest::newRow("ideographic stop") << "12。5" << 12.0;
    QTest::newRow("full-width digits") << "１２" << 0.0;
}

void CatalogueTest::numericValue() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(::numericValue(text), value);
}

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
