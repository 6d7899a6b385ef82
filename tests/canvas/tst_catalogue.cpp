// The fields' captions in both modes and the layout a new database starts with.
#include "Catalogue.h"
#include "FactoryLayout.h"
#include "Form.h"

#include <QTest>

namespace {

// The captions of fields 0 to 48 and 81 to 87 on the export form; 49 to 80 have none.
const QStringList ExportCaptions =
    QStringLiteral(
        "预录入编号： 海关编号： 出口口岸 备案号 出口日期 申报日期 经营单位 运输方式 运输工具名称 "
        "提运单号 发货单位 贸易方式 征免性质 结汇方式 许可证号 运抵国(地区) 指运港 境内货源地 "
        "批准文号 成交方式 运费 保费 杂费 合同协议号 件数 包装种类 毛重(公斤) 净重(公斤) 集装箱号 "
        "随附单据 生产厂家 标记唛码及备注 税费征收情况 录入员 录入单位 报关员 单位地址 邮编 电话 "
        "填制日期 申报单位(签章) 项号 商品编号 商品名称、规格型号 数量及单位 最终目的国(地区)单价 "
        "总价 币制 征免 审单 审价 征税 统计 查验 放行 海关审单批注及放行日期(签章)")
        .split(u' ');
// Where the import form words a field otherwise.
const QMap<int, QString> ImportWording{
    {2, "进口口岸"},    {4, "进口日期"},      {10, "收货单位"},
    {13, "征税比例"},   {15, "起运国(地区)"}, {16, "装货港"},
    {17, "境内目的地"}, {30, "用途"},         {45, "原产国(地区)单价"}};

QRectF captionAbove(int index, Mode mode) {
    const QRectF box = FactoryLayout::geometry()[static_cast<std::size_t>(index)];
    const auto characters = Catalogue::captionTable(mode)[static_cast<std::size_t>(index)].size();
    return QRectF(box.left(), box.top() - Catalogue::LabelGapAbove,
                  Catalogue::LabelCharWidth * static_cast<double>(characters),
                  Catalogue::LabelHeight);
}

} // namespace

class CatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void captions_data() {
        QTest::addColumn<Mode>("mode");
        QTest::newRow("export") << Mode::Export;
        QTest::newRow("import") << Mode::Import;
    }
    // The table and the labels a mode switch writes, caption by caption.
    void captions() {
        QFETCH(Mode, mode);
        QCOMPARE(ExportCaptions.size(), 49 + 7);
        Form form;
        form.labelBoxes(mode);
        for (int i = 0; i < BoxCount; ++i) {
            QString expected = i <= 48 ? ExportCaptions[i] : i >= 81 ? ExportCaptions[i - 32] : "";
            if (mode == Mode::Import)
                expected = ImportWording.value(i, expected);
            QCOMPARE(Catalogue::captionTable(mode)[static_cast<std::size_t>(i)], expected);
            QCOMPARE(form.label(i).caption, expected);
        }
    }

    void factoryGoodsColumns_data() {
        QTest::addColumn<int>("column");
        for (int column = 0; column < 8; ++column)
            QTest::addRow("column %d", column) << column;
    }
    // Each goods column stands left of the next on every line, with its caption clear of the
    // next caption in both modes; lines 2 to 5 keep line 1's columns, one pitch apart.
    void factoryGoodsColumns() {
        QFETCH(int, column);
        const auto& lines = Catalogue::goodsLines();
        const auto& rects = FactoryLayout::geometry();
        const auto at = [&](std::size_t line, int col) {
            return rects[static_cast<std::size_t>(lines[line][static_cast<std::size_t>(col)])];
        };
        const double pitch = at(1, 0).top() - at(0, 0).top();
        QVERIFY(pitch >= at(0, 0).height());
        for (std::size_t line = 0; line < lines.size(); ++line) {
            const QRectF box = at(line, column);
            QCOMPARE(box.left(), at(0, column).left());
            QCOMPARE(box.width(), at(0, column).width());
            QCOMPARE(box.top(), at(0, 0).top() + pitch * static_cast<double>(line));
            QVERIFY(box.left() >= 0 && box.right() <= 7935);
            if (column < 7)
                QVERIFY2(box.right() <= at(line, column + 1).left(),
                         qPrintable(QString::number(line)));
        }
        for (Mode mode : {Mode::Export, Mode::Import}) {
            const QRectF caption = captionAbove(lines[0][static_cast<std::size_t>(column)], mode);
            QVERIFY(caption.right() <= 7935);
            if (column < 7)
                QVERIFY(caption.right() <=
                        captionAbove(lines[0][static_cast<std::size_t>(column) + 1], mode).left());
        }
    }
};

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
