// "位置和大小…": the selected boxes' millimetres shown and typed, refused input, one undo step.
#include "BoxGeometryDialog.h"
#include "WindowSession.h"

#include <QLineEdit>
#include <QTimer>

namespace {

constexpr double K = 7935.0 / 210.0; // page twips per millimetre
const QStringList Sides{"左边（毫米）", "上边（毫米）", "宽度（毫米）", "高度（毫米）"};

// What a typed geometry can change: every box's geometry and its label's place.
QList<float> state(const Form& form) {
    QList<float> all;
    for (int i = 0; i < BoxCount; ++i) {
        const Box& b = form.box(i);
        all << b.left << b.top << b.width << b.height << form.label(i).left << form.label(i).top;
    }
    return all;
}

} // namespace

class BoxGeometryTest : public QObject {
    Q_OBJECT
private slots:
    void typedMillimetres_data();
    void typedMillimetres();
    void buttonClearOfTheOthers_data();
    void buttonClearOfTheOthers();
};

void BoxGeometryTest::typedMillimetres_data() {
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("typed");   // a null text leaves the field as shown
    QTest::addColumn<QString>("message");     // empty: applied
    QTest::addColumn<QList<QRectF>>("after"); // of the selected boxes, in page twips
    using R = QList<QRectF>;
    const QString n;
    const QStringList one{"26.5", "26.5", "13.2", "7.1"};
    QTest::newRow("one box") << false << QList<int>{0} << one
                             << QStringList{"10", " 20 ", "３０", "5.5"} << QString()
                             << R{{10 * K, 20 * K, 30 * K, 5.5 * K}};
    QTest::newRow("two boxes, left differs, top emptied")
        << false << QList<int>{0, 1} << QStringList{"", "26.5", "13.2", "7.1"}
        << QStringList{n, "", "40", n} << QString()
        << R{{1000, 1000, 40 * K, 270}, {3000, 1000, 40 * K, 270}};
    const QString offPage =
        QStringLiteral("输入框将超出纸张（宽 210 毫米，高 297 毫米）：请改小位置或大小。");
    const auto refused = [&](const char* row, QStringList typed, const QString& message) {
        QTest::newRow(row) << false << QList<int>{0, 1} << QStringList{"", "26.5", "13.2", "7.1"}
                           << typed << message << R{};
    };
    refused("not a number", {n, "2６.x", n, n},
            QStringLiteral("上边（毫米）须为数字，例如 12.5。"));
    refused("zero width", {n, n, "0", n}, QStringLiteral("宽度和高度至少为 0.4 毫米。"));
    refused("negative height", {n, n, n, "-3"}, QStringLiteral("宽度和高度至少为 0.4 毫米。"));
    refused("past the right edge", {"200", n, n, n}, offPage);
    refused("above the page", {n, "-0.2", n, n}, offPage);
    QTest::newRow("locked") << true << QList<int>{0} << QStringList() << QStringList()
                            << QStringLiteral(
                                   "格式已锁定，不能修改位置和大小：请先取消勾选“锁定格式”。")
                            << R{};
    QTest::newRow("nothing selected")
        << false << QList<int>{} << QStringList() << QStringList()
        << QStringLiteral("没有选中的输入框：请在页面空白处按住鼠标拖动，框住要修改的输入框，再点“"
                          "位置和大小…”。")
        << R{};
}

// Applied, the typed sides change each selected box (its label moving with it) and one undo
// puts everything back; refused, nothing changes and the message says why.
void BoxGeometryTest::typedMillimetres() {
    QFETCH(bool, locked);
    QFETCH(QList<int>, selected);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, typed);
    QFETCH(QString, message);
    QFETCH(QList<QRectF>, after);
    WindowSession s;
    s.start();
    s.setLocked(locked);
    s.form().setGeometry(0, 1000, 1000, 500, 270);
    s.form().setGeometry(1, 3000, 1000, 500, 270);
    for (int i : selected)
        s.form().setSelected(i, true);
    const QList<float> before = state(s.form());
    const QList<Label> labels{s.form().label(0), s.form().label(1)};
    QStringList seen;
    if (!shown.isEmpty())
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<BoxGeometryDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            for (int side = 0; side < 4; ++side) {
                auto* field = named<QLineEdit>(Sides[side]);
                seen << field->text();
                if (!typed[side].isNull())
                    field->setText(typed[side]);
            }
            named(QStringLiteral("确   定"))->click();
            if (dialog->isVisible()) // refused input keeps the dialog for correcting
                named(QStringLiteral("取   消"))->click();
        });
    click(QStringLiteral("位置和大小…"));
    QCOMPARE(seen, shown);
    QCOMPARE(s.dialogs.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    if (after.isEmpty()) {
        QCOMPARE(state(s.form()), before);
        return;
    }
    for (int n = 0; n < selected.size(); ++n) {
        const Box& b = s.form().box(selected[n]);
        const QRectF now(b.left, b.top, b.width, b.height), want = after[n];
        // The model keeps single-precision twips.
        QVERIFY2(qAbs(now.left() - want.left()) + qAbs(now.top() - want.top()) +
                         qAbs(now.width() - want.width()) + qAbs(now.height() - want.height()) <
                     0.01,
                 qPrintable(QString::number(selected[n])));
        const Label& l = s.form().label(selected[n]);
        const QPointF labelMoved(l.left - labels[n].left, l.top - labels[n].top);
        QVERIFY((labelMoved - (now.topLeft() - QPointF(n ? 3000 : 1000, 1000))).manhattanLength() <
                0.01);
    }
    s.activate();
    s.page()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(state(s.form()), before);
}

void BoxGeometryTest::buttonClearOfTheOthers_data() {
    QTest::addColumn<QSize>("screen");
    QTest::newRow("800x600") << QSize(800, 600);
    QTest::newRow("1280x1024") << QSize(1280, 1024);
}

// The button shows whole on the form view and covers no other control there.
void BoxGeometryTest::buttonClearOfTheOthers() {
    QFETCH(QSize, screen);
    WindowSession s;
    s.start(screen);
    QAbstractButton* button = named(QStringLiteral("位置和大小…"));
    QVERIFY(button && button->isVisible());
    const QRect rect(button->mapTo(s.mf.get(), QPoint()), button->size());
    QVERIFY(s.mf->rect().contains(rect));
    QCOMPARE(s.mf->childAt(rect.center()), button);
    for (QAbstractButton* other : s.mf->findChildren<QAbstractButton*>())
        if (other != button && other->isVisible())
            QVERIFY2(!rect.intersects(QRect(other->mapTo(s.mf.get(), QPoint()), other->size())),
                     qPrintable(other->accessibleName()));
}

QTEST_MAIN(BoxGeometryTest)
#include "tst_boxgeometry.moc"
