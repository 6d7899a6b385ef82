// "位置和大小…": the selected boxes' millimetres shown and typed, refused input, one undo step.
#include "BoxGeometryDialog.h"
#include "WindowSession.h"

#include <QLineEdit>
#include <QTimer>

namespace {

constexpr double K = 7935.0 / 210.0; // page twips per millimetre
const QStringList Sides{"左边（毫米）", "上边（毫米）", "宽度（毫米）", "高度（毫米）"};

// Every box's geometry and its label's place, to a tenth of a twip.
QStringList state(const Form& form) {
    QStringList all;
    for (int i = 0; i < BoxCount; ++i) {
        const Box& b = form.box(i);
        for (float v : {b.left, b.top, b.width, b.height, form.label(i).left, form.label(i).top})
            all << QString::number(v, 'f', 1);
    }
    return all;
}

} // namespace

class BoxGeometryTest : public QObject {
    Q_OBJECT
private slots:
    void typedMillimetres_data();
    void typedMillimetres();
};

void BoxGeometryTest::typedMillimetres_data() {
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QList<int>>("selected"); // box 0 at (1000, 1000), box 1 at (3000, 1000)
    QTest::addColumn<QStringList>("shown");   // empty: no dialog
    QTest::addColumn<QStringList>("typed");   // a null text leaves the field as shown
    QTest::addColumn<QString>("message");     // empty: applied
    QTest::addColumn<QRectF>("box0");
    const QString n, offPage = "输入框将超出纸张（宽 210 毫米，高 297 毫米）：请改小位置或大小。";
    const QStringList both{"", "26.5", "13.2", "7.1"};
    QTest::newRow("one box") << false << QList<int>{0} << QStringList{"26.5", "26.5", "13.2", "7.1"}
                             << QStringList{"10", " 20 ", "３０", "5.5"} << QString()
                             << QRectF(10 * K, 20 * K, 30 * K, 5.5 * K);
    QTest::newRow("two boxes, top emptied")
        << false << QList<int>{0, 1} << both << QStringList{n, "", "40", n} << QString()
        << QRectF(1000, 1000, 40 * K, 270);
    QTest::newRow("not a number") << false << QList<int>{0, 1} << both
                                  << QStringList{n, "2６.x", n, n}
                                  << "上边（毫米）须为数字，例如 12.5。" << QRectF();
    QTest::newRow("zero width") << false << QList<int>{0, 1} << both << QStringList{n, n, "0", n}
                                << "宽度和高度至少为 0.4 毫米。" << QRectF();
    QTest::newRow("past the right edge")
        << false << QList<int>{0, 1} << both << QStringList{"200", n, n, n} << offPage << QRectF();
    QTest::newRow("locked") << true << QList<int>{0} << QStringList() << QStringList()
                            << "格式已锁定，不能修改位置和大小：请先取消勾选“锁定格式”。"
                            << QRectF();
}

// Applied, the typed sides change each selected box, its label moving with it, and one undo
// puts everything back; refused, nothing changes and the message says why. The button shows
// clear of every other control on the smallest screen.
void BoxGeometryTest::typedMillimetres() {
    QFETCH(bool, locked);
    QFETCH(QList<int>, selected);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, typed);
    QFETCH(QString, message);
    QFETCH(QRectF, box0);
    WindowSession s;
    s.start(QSize(800, 600));
    QAbstractButton* button = named(QStringLiteral("位置和大小…"));
    const QRect rect(button->mapTo(s.mf.get(), QPoint()), button->size());
    QCOMPARE(s.mf->childAt(rect.center()), button);
    for (QAbstractButton* other : s.mf->findChildren<QAbstractButton*>())
        if (other != button && other->isVisible())
            QVERIFY(!rect.intersects(QRect(other->mapTo(s.mf.get(), QPoint()), other->size())));
    s.setLocked(locked);
    s.form().setGeometry(0, 1000, 1000, 500, 270);
    s.form().setGeometry(1, 3000, 1000, 500, 270);
    for (int i : selected)
        s.form().setSelected(i, true);
    const QStringList before = state(s.form());
    const Label label0 = s.form().label(0);
    QStringList seen;
    if (!shown.isEmpty())
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<BoxGeometryDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            for (int side = 0; side < 4; ++side) {
                seen << named<QLineEdit>(Sides[side])->text();
                if (!typed[side].isNull())
                    named<QLineEdit>(Sides[side])->setText(typed[side]);
            }
            named(QStringLiteral("确   定"))->click();
            if (dialog->isVisible()) // refused input keeps the dialog for correcting
                named(QStringLiteral("取   消"))->click();
        });
    click(button);
    QCOMPARE(seen, shown);
    QCOMPARE(s.dialogs.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    if (message.isEmpty()) {
        Form expected;
        expected.setGeometry(0, box0.x(), box0.y(), box0.width(), box0.height());
        expected.setLabelPosition(0, label0.left + box0.x() - 1000, label0.top + box0.y() - 1000);
        QCOMPARE(state(s.form()).mid(0, 6), state(expected).mid(0, 6));
        if (selected.size() > 1)
            QCOMPARE(s.form().box(1).width, s.form().box(0).width);
        s.activate();
        s.page()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
    }
    QCOMPARE(state(s.form()), before);
}

QTEST_MAIN(BoxGeometryTest)
#include "tst_boxgeometry.moc"
