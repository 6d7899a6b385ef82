// "自动对齐": the boxes laid into the cells of blank forms the test draws and "scans" itself,
// shifted, scaled and turned a little, at the resolutions clerks scan at.
#include "AutoAlignCommand.h"
#include "FactoryLayout.h"
#include "FormCells.h"
#include "FormFit.h"
#include "FormScanDialog.h"
#include "FormUndo.h"
#include "WindowSession.h"

#include <QPainter>
#include <QTimer>

namespace {

constexpr double TwipsPerMm = 7935.0 / 210.0;

// The boxes of the test: the factory layout drawn 95% as large about the page's centre, so
// that a form shifted by some millimetres still lies on the paper.
const std::array<QRectF, BoxCount>& boxesOfForm() {
    static const std::array<QRectF, BoxCount> boxes = [] {
        auto all = FactoryLayout::geometry();
        const QTransform smaller = QTransform::fromTranslate(7935.0 / 2, 11222.357 / 2)
                                       .scale(0.95, 0.95)
                                       .translate(-7935.0 / 2, -11222.357 / 2);
        for (QRectF& r : all)
            r = smaller.mapRect(r);
        return all;
    }();
    return boxes;
}

// A cell around each box, 1.5 mm out, cut at the middle where two would overlap; with
// `goodsRuled` false the goods lines share one cell a column, as on the paper form.
std::array<QRectF, BoxCount> cellsOfForm(bool goodsRuled) {
    const auto& boxes = boxesOfForm();
    std::array<QRectF, BoxCount> cells = boxes;
    for (QRectF& c : cells)
        c.adjust(-1.5 * TwipsPerMm, -1.5 * TwipsPerMm, 1.5 * TwipsPerMm, 1.5 * TwipsPerMm);
    for (std::size_t i = 0; i < BoxCount; ++i)
        for (std::size_t j = 0; j < BoxCount; ++j)
            if (i != j && cells[i].intersects(cells[j])) {
                const double midX = (boxes[i].right() + boxes[j].left()) / 2;
                const double midY = (boxes[i].bottom() + boxes[j].top()) / 2;
                if (boxes[i].right() <= boxes[j].left()) {
                    cells[i].setRight(midX);
                    cells[j].setLeft(midX);
                } else if (boxes[i].bottom() <= boxes[j].top()) {
                    cells[i].setBottom(midY);
                    cells[j].setTop(midY);
                }
            }
    for (std::size_t column = 0; column < 8 && !goodsRuled; ++column) {
        QRectF shared;
        for (const auto& line : Catalogue::goodsLines())
            shared |= cells[std::size_t(line[column])];
        for (const auto& line : Catalogue::goodsLines())
            cells[std::size_t(line[column])] = shared;
    }
    return cells;
}

void layOut(Form& form) {
    for (int i = 0; i < BoxCount; ++i) {
        const QRectF& r = boxesOfForm()[static_cast<std::size_t>(i)];
        form.setGeometry(i, float(r.left()), float(r.top()), float(r.width()), float(r.height()));
    }
}

// How the scanner laid the paper (in mm of the picture) and how the clerk placed the
// picture on the page in "设置底图"; `missing` is a box whose cell is not printed.
struct Scanning {
    double dpi = 150;
    QPointF shiftMm;
    double scale = 1, degrees = 0;
    QPointF offsetMm;
    double scalePercent = 100;
    int missing = -1;
    bool goodsRuled = true;

    QTransform paperToPicture() const {
        return QTransform()
            .translate(105 + shiftMm.x(), 148.5 + shiftMm.y())
            .rotate(degrees)
            .scale(scale, scale)
            .translate(-105, -148.5);
    }
    // Page twips of the form to page twips where the page shows the scan.
    QTransform formToPage() const {
        const QTransform twips = QTransform::fromScale(TwipsPerMm, TwipsPerMm);
        const QTransform placed = QTransform::fromScale(scalePercent / 100, scalePercent / 100) *
                                  QTransform::fromTranslate(offsetMm.x(), offsetMm.y());
        return twips.inverted() * paperToPicture() * placed * twips;
    }
    QImage picture() const {
        QImage image(qRound(210 / 25.4 * dpi), qRound(297 / 25.4 * dpi), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpi / 25.4, dpi / 25.4);
        p.setTransform(paperToPicture() * p.transform());
        p.setPen(QPen(Qt::black, 0.3));
        QFont caption(QStringLiteral("宋体"));
        caption.setPixelSize(2);
        p.setFont(caption);
        const auto cells = cellsOfForm(goodsRuled);
        for (int i = 0; i < BoxCount; ++i) {
            if (i == missing)
                continue;
            const QRectF mm(cells[i].topLeft() / TwipsPerMm, cells[i].size() / TwipsPerMm);
            p.drawRect(mm);
            p.drawText(mm.adjusted(0.5, 0.4, -0.5, -0.4), QStringLiteral("栏目%1").arg(i));
        }
        return image;
    }
    QRectF pageRect() const {
        return FormScan{{}, {}, offsetMm.x(), offsetMm.y(), scalePercent}.pageRect();
    }
};

QList<QRectF> boxesOf(const Form& form) {
    QList<QRectF> all;
    for (int i = 0; i < BoxCount; ++i)
        all << QRectF(form.box(i).left, form.box(i).top, form.box(i).width, form.box(i).height);
    return all;
}

// The boxes that lie wholly inside their cells as the page shows the scan.
int insideTheirCells(const Form& form, const Scanning& scanning) {
    const auto cells = cellsOfForm(scanning.goodsRuled);
    int inside = 0;
    for (int i = 0; i < BoxCount; ++i) {
        const QPolygonF cell = scanning.formToPage().map(QPolygonF(cells[i]));
        const QRectF box = boxesOf(form)[i];
        inside += std::ranges::all_of(
            QList{box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()},
            [&](QPointF p) { return cell.containsPoint(p, Qt::OddEvenFill); });
    }
    return inside;
}

} // namespace

class AutoAlignTest : public QObject {
    Q_OBJECT
private slots:
    void boxesIntoCells_data();
    void boxesIntoCells();
    void command();
};

void AutoAlignTest::boxesIntoCells_data() {
    QTest::addColumn<Scanning>("scanning");
    QTest::newRow("150 dpi") << Scanning{150, {3.5, -2}, 1.01, 0.7, {}, 100, -1};
    QTest::newRow("300 dpi") << Scanning{300, {3.5, -2}, 1.01, 0.7, {}, 100, -1};
    QTest::newRow("offsets and scale set in the dialog")
        << Scanning{300, {-3, 5}, 0.98, -0.7, {4, 3}, 101, -1};
    QTest::newRow("a cell not printed") << Scanning{150, {3.5, -2}, 1.01, 0.7, {}, 100, 9};
    QTest::newRow("goods lines in one cell a column")
        << Scanning{200, {3.5, -2}, 1.01, 0.7, {}, 100, -1, false};
}

// Every box in its cell but the one without, no two boxes over each other; one undo puts
// every box back.
void AutoAlignTest::boxesIntoCells() {
    QFETCH(Scanning, scanning);
    Form form;
    layOut(form);
    const QList<QRectF> before = boxesOf(form);
    FormUndo undo(form);
    FormFit::Result result;
    const auto cells = FormCells::find(scanning.picture(), scanning.pageRect());
    undo.edit(FormUndo::Step::AutoFit, [&] { result = FormFit::fit(form, cells); });

    const std::vector<int> unfitted =
        scanning.missing < 0 ? std::vector<int>{} : std::vector<int>{scanning.missing};
    QCOMPARE(result.unfitted, unfitted);
    QCOMPARE(result.fitted, BoxCount - int(unfitted.size()));
    const int inside = insideTheirCells(form, scanning);
    QVERIFY2(inside >= 0.95 * result.fitted, qPrintable(QString::number(inside)));
    if (scanning.missing >= 0)
        QCOMPARE(boxesOf(form)[scanning.missing], before[scanning.missing]);
    for (int i = 0; i < BoxCount; ++i)
        for (int j = 0; j < i; ++j)
            QVERIFY2(!boxesOf(form)[i].intersects(boxesOf(form)[j]),
                     qPrintable(QString::number(i)));
    undo.undo();
    QCOMPARE(boxesOf(form), before);
}

// The button in a place of its own; without a scan it says so; with one it fits, tells the
// counts, leaves only the box without a cell selected, and Ctrl+Z takes the whole fit back.
void AutoAlignTest::command() {
    WindowSession w;
    w.start(QSize(800, 600));
    QAbstractButton* button = named(QStringLiteral("自动对齐"));
    QVERIFY(button && button->isVisible());
    const auto others = button->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* other : others)
        QVERIFY2(other == button || !other->isVisible() ||
                     !other->geometry().intersects(button->geometry()),
                 qPrintable(other->accessibleName()));
    QVERIFY(button->parentWidget()->rect().contains(button->geometry()));

    layOut(w.form());
    const QList<QRectF> before = boxesOf(w.form());
    click(button);
    QCOMPARE(w.dialogs.messages(), QStringList{AutoAlignMessages::noScan()});

    const QString file = w.folder.file(QStringLiteral("form.png"));
    const Scanning scanning{150, {3.5, -2}, 1.01, 0.7, {}, 100, 9};
    QVERIFY(scanning.picture().save(file));
    w.dialogs.openFiles.enqueue(file);
    QTimer::singleShot(0, [] {
        named(QStringLiteral("选择底图"))->click();
        named(QStringLiteral("确   定"))->click();
    });
    click(QStringLiteral("设置底图…"));
    click(button);
    QCOMPARE(w.dialogs.messages().last(), AutoAlignMessages::done(87, 1));
    QCOMPARE(w.dialogs.messages().last(), QStringLiteral("已对齐87个输入框，1个未找到格子。"));
    for (int i = 0; i < BoxCount; ++i)
        QCOMPARE(w.form().box(i).selected(), i == 9);
    QVERIFY(boxesOf(w.form()) != before);
    w.activate();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(boxesOf(w.form()), before);
}

QTEST_MAIN(AutoAlignTest)
#include "tst_autoalign.moc"
