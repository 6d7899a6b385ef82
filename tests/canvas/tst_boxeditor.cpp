#include "BoxEditor.h"
#include "Form.h"
#include "ScriptedDialogs.h"

#include <QSignalSpy>
#include <QTest>

namespace {
constexpr Qt::MouseButtons Left = Qt::LeftButton;
constexpr Qt::MouseButtons NoButton = Qt::NoButton;

QList<int> selectedBoxes(const Form& form) {
    QList<int> result;
    for (int i = 0; i < BoxCount; ++i)
        if (form.box(i).selected())
            result.append(i);
    return result;
}

// A form with only three small boxes in reach of the tests' bands.
void parkBoxes(Form& form) {
    for (int i = 0; i < BoxCount; ++i)
        form.setGeometry(i, 20000 + i * 1000, 20000, 500, 270);
    form.setGeometry(0, 1000, 1000, 500, 270);
    form.setGeometry(1, 3000, 1000, 500, 270);
    form.setGeometry(2, 1000, 3000, 150, 150);
}

struct Editing {
    Form form;
    ScriptedDialogs dialogs;
    BoxEditor editor{form, dialogs};
    Editing() {
        parkBoxes(form);
        editor.setLocked(false);
    }
    void band(QPointF from, QPointF to) {
        editor.canvasMouseDown(Qt::LeftButton, Left, from);
        // Several moves on the way, as a real drag delivers them.
        for (int step = 1; step <= 10; ++step)
            editor.canvasMouseMove(Left, from + (to - from) * step / 10.0);
        editor.canvasMouseUp(Qt::LeftButton, to);
    }
};
} // namespace

class BoxEditorTest : public QObject {
    Q_OBJECT
private slots:
    void inRectangle_data();
    void inRectangle();
    void bandInsideDeadZoneSelectsNothing();
    void bandOutlineWhiteThenBlackThenErased();
    void lockedCanvasOnlyDeselects();
    void lockedHoverForcesText();
    void lockingDisarmsGrips();
    void dragBelowThresholdDoesNothing();
    void resizeStopsAtMinimum();
    void fontSizeLimits();
};

void BoxEditorTest::inRectangle_data() {
    QTest::addColumn<QRect>("band"); // as two corners: topLeft, bottomRight
    QTest::addColumn<bool>("inside");
    // Box 0 spans 1000..1500 × 1000..1270.
    QTest::newRow("right edge on band's left edge")
        << QRect(QPoint(1500, 900), QPoint(2000, 1100)) << true;
    QTest::newRow("one twip right of the box")
        << QRect(QPoint(1501, 900), QPoint(2000, 1100)) << false;
    QTest::newRow("band's bottom on box top") << QRect(QPoint(0, 0), QPoint(1200, 1000)) << true;
    QTest::newRow("above the box") << QRect(QPoint(0, 0), QPoint(1200, 999)) << false;
    QTest::newRow("corners reversed") << QRect(QPoint(2000, 1100), QPoint(1400, 900)) << true;
    QTest::newRow("box contains band") << QRect(QPoint(1100, 1100), QPoint(1200, 1200)) << true;
}

void BoxEditorTest::inRectangle() {
    QFETCH(QRect, band);
    QFETCH(bool, inside);
    Form form;
    parkBoxes(form);
    QCOMPARE(form.InRectangle(0, band.left(), band.top(), band.right(), band.bottom()), inside);
    QCOMPARE(form.InRectangle(0, band.right(), band.bottom(), band.left(), band.top()), inside);
}

void BoxEditorTest::bandInsideDeadZoneSelectsNothing() {
    Editing e;
    QSignalSpy outlines(&e.editor, &BoxEditor::outlineDrawn);
    e.band(QPointF(1000, 1000), QPointF(1400, 1300));
    QVERIFY(selectedBoxes(e.form).isEmpty());
    // Only the erasing outline of the release; no band was ever drawn.
    QCOMPARE(outlines.count(), 1);
    QCOMPARE(outlines.at(0).at(1).value<QColor>(), QColor(Qt::white));
}

void BoxEditorTest::bandOutlineWhiteThenBlackThenErased() {
    Editing e;
    QSignalSpy outlines(&e.editor, &BoxEditor::outlineDrawn);
    e.editor.canvasMouseDown(Qt::LeftButton, Left, QPointF(100, 100));
    e.editor.canvasMouseMove(Left, QPointF(700, 650));
    e.editor.canvasMouseMove(Left, QPointF(750, 700)); // within the 100 step: no redraw
    e.editor.canvasMouseMove(Left, QPointF(900.4, 800.6));
    e.editor.canvasMouseUp(Qt::LeftButton, QPointF(900, 800));
    QCOMPARE(outlines.count(), 5);
    QCOMPARE(outlines.at(0).at(1).value<QColor>(), QColor(Qt::white));
    QCOMPARE(outlines.at(1).at(0).toRect(), QRect(QPoint(100, 100), QPoint(700, 650)));
    QCOMPARE(outlines.at(1).at(1).value<QColor>(), QColor(Qt::black));
    QCOMPARE(outlines.at(2).at(0).toRect(), QRect(QPoint(100, 100), QPoint(700, 650)));
    QCOMPARE(outlines.at(3).at(0).toRect(), QRect(QPoint(100, 100), QPoint(900, 801)));
    QCOMPARE(outlines.at(4).at(1).value<QColor>(), QColor(Qt::white));
    QCOMPARE(e.editor.corner(), QPoint(900, 801));
}

void BoxEditorTest::lockedCanvasOnlyDeselects() {
    Editing e;
    e.editor.setLocked(true);
    e.form.setSelected(0, true);
    QSignalSpy outlines(&e.editor, &BoxEditor::outlineDrawn);
    e.band(QPointF(500, 500), QPointF(4000, 4000));
    QVERIFY(selectedBoxes(e.form).isEmpty());
    QCOMPARE(outlines.count(), 0);
    QVERIFY(e.editor.canvasHint().isEmpty());
}

void BoxEditorTest::lockedHoverForcesText() {
    Editing e;
    e.editor.setLocked(true);
    e.editor.boxMouseMove(0, NoButton, QPointF(10, 10));
    QCOMPARE(e.form.box(0).gripState, BoxEditor::GripText);
    e.editor.boxMouseMove(0, Left, QPointF(400, 400));
    QCOMPARE(e.form.box(0).left, 1000.f);
}

void BoxEditorTest::lockingDisarmsGrips() {
    Editing e;
    e.editor.boxMouseMove(0, NoButton, QPointF(10, 10));
    e.editor.boxMouseMove(1, NoButton, QPointF(450, 230));
    QCOMPARE(e.form.box(0).gripState, BoxEditor::GripMove);
    QCOMPARE(e.form.box(1).gripState, BoxEditor::GripResize);
    // Locked with the pointer still resting on the grip: the drag that follows does nothing.
    e.editor.setLocked(true);
    e.editor.boxMouseMove(0, Left, QPointF(400, 400));
    e.editor.boxMouseMove(1, Left, QPointF(900, 900));
    QCOMPARE(e.form.box(0).left, 1000.f);
    QCOMPARE(e.form.box(1).width, 500.f);
}

void BoxEditorTest::dragBelowThresholdDoesNothing() {
    Editing e;
    e.editor.boxMouseMove(0, NoButton, QPointF(30, 40));
    e.editor.boxMouseMove(0, Left, QPointF(42, 52));
    QCOMPARE(e.form.box(0).left, 1000.f);
    e.editor.boxMouseMove(0, Left, QPointF(43, 40));
    QCOMPARE(e.form.box(0).left, 1013.f);
}

void BoxEditorTest::resizeStopsAtMinimum() {
    Editing e;
    e.editor.boxMouseMove(0, NoButton, QPointF(450, 230));
    e.editor.boxMouseMove(0, Left, QPointF(-2000, -2000));
    QCOMPARE(e.form.box(0).width, Form::MinimumExtent);
    QCOMPARE(e.form.box(0).height, Form::MinimumExtent);
}

void BoxEditorTest::fontSizeLimits() {
    Form form;
    form.setSelected(4, true);
    form.FontSizeChange(-1, -20);
    QCOMPARE(form.box(4).fontSize, Form::MinimumFontSize);
    form.FontSizeChange(4, 1000);
    QCOMPARE(form.box(4).fontSize, Form::MaximumFontSize);
    QCOMPARE(form.box(5).fontSize, 9.f);
}

QTEST_GUILESS_MAIN(BoxEditorTest)
#include "tst_boxeditor.moc"
