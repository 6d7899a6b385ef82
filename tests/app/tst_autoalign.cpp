// "自动对齐": the boxes laid into the cells of blank forms the test draws and "scans" itself,
// shifted, scaled and turned a little, at the resolutions clerks scan at.
#include "AutoAlignCommand.h"
#include "FactoryLayout.h"
#include "FormCells.h"
#include "FormFit.h"
#include "FormScan.h"
#include "FormUndo.h"
#include "WindowSession.h"

#include <QPainter>
#include <QTimer>

namespace {

constexpr double Mm = 7935.0 / 210.0; // page twips

// The form: the factory boxes at 95% about the page's centre (so that a shifted form stays
// on the paper), a cell 0.15 mm around each with a caption in it; `missing` is not printed,
// and without `goodsRuled` the goods lines share one cell a column. The scanner shifts,
// scales and turns it about the centre; the clerk places the picture in "设置底图".
struct Scanning {
    double dpi, scale, degrees, percent; // the scanner's, then the dialog's scale
    QPointF shiftMm, offsetMm;
    int missing;
    bool goodsRuled;

    static QRectF box(int i) {
        const QPointF centre(7935.0 / 2, 297 * Mm / 2);
        const QRectF r = FactoryLayout::geometry()[std::size_t(i)];
        return QRectF(centre + (r.topLeft() - centre) * 0.95, r.size() * 0.95);
    }
    QRectF cell(int i) const {
        QRectF c = box(i);
        if (const Catalogue::GoodsPosition g = Catalogue::goodsPosition(i);
            g.line > 0 && !goodsRuled)
            for (const auto& line : Catalogue::goodsLines())
                c |= box(line[std::size_t(g.column)]);
        return c.adjusted(-0.15 * Mm, -0.15 * Mm, 0.15 * Mm, 0.15 * Mm);
    }
    QTransform paper() const { // in millimetres
        return QTransform::fromTranslate(105 + shiftMm.x(), 148.5 + shiftMm.y())
            .rotate(degrees)
            .scale(scale, scale)
            .translate(-105, -148.5);
    }
    QPolygonF shownCell(int i) const {
        const double k = percent / 100 * Mm;
        const QTransform placed(k, 0, 0, k, offsetMm.x() * Mm, offsetMm.y() * Mm);
        return (QTransform::fromScale(1 / Mm, 1 / Mm) * paper() * placed).map(QPolygonF(cell(i)));
    }
    QImage picture() const {
        QImage image(qRound(210 / 25.4 * dpi), qRound(297 / 25.4 * dpi), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setTransform(QTransform::fromScale(1 / Mm, 1 / Mm) * paper() *
                       QTransform::fromScale(dpi / 25.4, dpi / 25.4));
        p.setPen(QPen(Qt::black, 0.3 * Mm));
        p.setFont(QFont(QStringLiteral("宋体"), 56)); // 2 mm high
        for (int i = 0; i < BoxCount; ++i)
            if (i != missing) {
                p.drawRect(cell(i));
                p.drawText(cell(i).adjusted(20, 15, -20, -15), QStringLiteral("栏目%1").arg(i));
            }
        return image;
    }
    QRectF pageRect() const {
        return FormScan{{}, {}, offsetMm.x(), offsetMm.y(), percent}.pageRect();
    }
};

QList<QRectF> boxesOf(const Form& form) {
    QList<QRectF> all;
    for (int i = 0; i < BoxCount; ++i)
        all << QRectF(form.box(i).left, form.box(i).top, form.box(i).width, form.box(i).height);
    return all;
}

void layOut(Form& form) {
    for (int i = 0; i < BoxCount; ++i) {
        const QRectF r = Scanning::box(i);
        form.setGeometry(i, float(r.left()), float(r.top()), float(r.width()), float(r.height()));
    }
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
    QTest::newRow("150 dpi") << Scanning{150, 1.01, 0.7, 100, {3.5, -2}, {}, -1, true};
    QTest::newRow("300 dpi") << Scanning{300, 1.01, 0.7, 100, {3.5, -2}, {}, -1, true};
    QTest::newRow("offsets and scale set in the dialog")
        << Scanning{300, 0.98, -0.7, 101, {-3, 5}, {4, 3}, -1, true};
    QTest::newRow("a cell not printed") << Scanning{150, 1.01, 0.7, 100, {3.5, -2}, {}, 9, true};
    QTest::newRow("goods lines in one cell a column")
        << Scanning{200, 1.01, 0.7, 100, {3.5, -2}, {}, -1, false};
}

// Every box wholly in its cell as the page shows the scan, but the one without a cell, which
// stays; no two boxes over each other; one undo puts every box back.
void AutoAlignTest::boxesIntoCells() {
    QFETCH(Scanning, scanning);
    Form form;
    layOut(form);
    const QList<QRectF> before = boxesOf(form);
    FormUndo undo(form);
    FormFit::Result result;
    const auto cells = FormCells::find(scanning.picture(), scanning.pageRect());
    undo.edit(FormUndo::Step::AutoFit, [&] { result = FormFit::fit(form, cells); });

    const QList<QRectF> after = boxesOf(form);
    QCOMPARE(result.unfitted, scanning.missing < 0 ? std::vector<int>{} : std::vector{9});
    int inside = 0;
    for (int i = 0; i < BoxCount; ++i) {
        const QRectF& b = after[i];
        inside += std::ranges::all_of(
            QList{b.topLeft(), b.topRight(), b.bottomLeft(), b.bottomRight()},
            [&](QPointF p) { return scanning.shownCell(i).containsPoint(p, Qt::OddEvenFill); });
        for (int j = 0; j < i; ++j)
            QVERIFY2(!b.intersects(after[j]), qPrintable(QString::number(i)));
    }
    QVERIFY2(inside >= 0.95 * result.fitted, qPrintable(QString::number(inside)));
    QCOMPARE(after.value(scanning.missing), before.value(scanning.missing));
    undo.undo();
    QCOMPARE(boxesOf(form), before);
}

// The button in a place of its own, on the form view only; without a scan it says so; with one it
// fits, tells the counts, leaves only the box without a cell selected, and Ctrl+Z takes the whole
// fit back.
void AutoAlignTest::command() {
    WindowSession w;
    w.start(QSize(800, 600));
    QAbstractButton* button = named(QStringLiteral("自动对齐"));
    QWidget* window = button->parentWidget();
    QVERIFY(window->rect().contains(button->geometry()));
    for (QWidget* other : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        QVERIFY2(other == button || other == w.tabs("SST") || !other->isVisible() ||
                     !other->geometry().intersects(button->geometry()),
                 qPrintable(other->accessibleName()));
    QTabBar* views = w.tabs("SST")->tabBar();
    QVERIFY(views->mapTo(window, views->tabRect(2).topRight()).x() < button->x());
    w.selectTab("SST", 1);
    QVERIFY(!button->isVisible());
    w.selectTab("SST", 0);

    layOut(w.form());
    const QList<QRectF> before = boxesOf(w.form());
    click(button);
    QCOMPARE(w.dialogs.messages(), QStringList{AutoAlignMessages::noScan()});

    const QString file = w.folder.file(QStringLiteral("form.png"));
    const Scanning scanning{150, 1.01, 0.7, 100, {3.5, -2}, {}, 9, true};
    QVERIFY(scanning.picture().save(file));
    w.dialogs.openFiles.enqueue(file);
    QTimer::singleShot(0, [] {
        named(QStringLiteral("选择底图"))->click();
        named(QStringLiteral("确   定"))->click();
    });
    click(QStringLiteral("设置底图…"));
    click(button);
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
