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
    void bandSelects_data();
    void bandSelects();
    void bandInsideDeadZoneSelectsNothing();
    void bandOutlineWhiteThenBlackThenErased();
    void lockedCanvasOnlyDeselects();
    void otherButtonsDrawNoBand();
    void grips_data();
    void grips();
    void lockedHoverForcesText();
    void lockingDisarmsGrips();
    void groupDragMovesBoxesAndLabels();
    void dragBelowThresholdDoesNothing();
    void groupResize();
    void resizeStopsAtMinimum();
    void keys_data();
    void keys();
    void keysWithNothingSelected();
    void fontMenuOnUnselectedBox();
    void fontMenuOnSelectedBoxKeepsSelection();
    void fontMenuCancelled();
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

void BoxEditorTest::bandSelects_data() {
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<QList<int>>("selected");
    QTest::newRow("down right") << QPointF(500, 500) << QPointF(1600, 1400) << QList<int>{0};
    QTest::newRow("up left") << QPointF(1600, 1400) << QPointF(500, 500) << QList<int>{0};
    QTest::newRow("down left") << QPointF(3600, 500) << QPointF(1400, 1400) << QList<int>{0, 1};
    QTest::newRow("up right") << QPointF(900, 3300) << QPointF(3100, 1200) << QList<int>{0, 1, 2};
    QTest::newRow("touching the right edge")
        << QPointF(1500, 2000) << QPointF(2600, 1200) << QList<int>{0};
}

void BoxEditorTest::bandSelects() {
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    QFETCH(QList<int>, selected);
    Editing e;
    e.band(from, to);
    QCOMPARE(selectedBoxes(e.form), selected);
    QCOMPARE(e.editor.canvasHint(), BoxEditor::bandHint());
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

void BoxEditorTest::otherButtonsDrawNoBand() {
    Editing e;
    QSignalSpy outlines(&e.editor, &BoxEditor::outlineDrawn);
    e.editor.canvasMouseDown(Qt::LeftButton, Qt::LeftButton | Qt::RightButton, QPointF(500, 500));
    e.editor.canvasMouseMove(Qt::LeftButton | Qt::RightButton, QPointF(3000, 3000));
    e.editor.canvasMouseDown(Qt::RightButton, Qt::RightButton, QPointF(500, 500));
    e.editor.canvasMouseMove(Qt::RightButton, QPointF(3000, 3000));
    QCOMPARE(outlines.count(), 0);
    QVERIFY(selectedBoxes(e.form).isEmpty());
}

void BoxEditorTest::grips_data() {
    QTest::addColumn<QPointF>("local");
    QTest::addColumn<int>("grip");
    QTest::addColumn<QString>("hint");
    // Box 2 is 150 × 150: the zones overlap and the move grip wins.
    QTest::newRow("(90, 90)") << QPointF(90, 90) << 1 << BoxEditor::moveHint();
    QTest::newRow("(120, 120)") << QPointF(120, 120) << 8 << BoxEditor::resizeHint();
    QTest::newRow("(99.9, 40)") << QPointF(99.9, 40) << 1 << BoxEditor::moveHint();
    QTest::newRow("(100, 40)") << QPointF(100, 40) << 3 << BoxEditor::textHint();
    QTest::newRow("(120, 40)") << QPointF(120, 40) << 3 << BoxEditor::textHint();
}

void BoxEditorTest::grips() {
    QFETCH(QPointF, local);
    QFETCH(int, grip);
    QFETCH(QString, hint);
    Editing e;
    QSignalSpy hints(&e.editor, &BoxEditor::boxHintChanged);
    e.editor.boxMouseMove(2, NoButton, local);
    QCOMPARE(e.form.box(2).gripState, grip);
    QCOMPARE(hints.count(), 1);
    QCOMPARE(hints.at(0).at(1).toString(), hint);
    QCOMPARE(e.editor.anchor(), local.toPoint());
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

void BoxEditorTest::groupDragMovesBoxesAndLabels() {
    Editing e;
    e.form.setSelected(1, true);
    e.form.setSelected(2, true);
    const Label l0 = e.form.label(0), l1 = e.form.label(1), l5 = e.form.label(5);
    e.editor.boxMouseMove(0, NoButton, QPointF(30, 40)); // hover: move grip
    // The pointer moves 300 right and 150 down in steps; positions are relative to the
    // box as it stands, so after each move the box is under the pointer again.
    QPointF pagePointer(1030, 1040);
    for (int step = 0; step < 10; ++step) {
        pagePointer += QPointF(30, 15);
        const QPointF local = pagePointer - QPointF(e.form.box(0).left, e.form.box(0).top);
        e.editor.boxMouseMove(0, Left, local);
    }
    e.editor.boxClick(0);
    const float dx = e.form.box(0).left - 1000, dy = e.form.box(0).top - 1000;
    QVERIFY(qAbs(dx - 300) <= 12 && qAbs(dy - 150) <= 12);
    QCOMPARE(e.form.box(1).left - 3000, dx);
    QCOMPARE(e.form.box(2).top - 3000, dy);
    QCOMPARE(e.form.label(0).left - l0.left, dx);
    QCOMPARE(e.form.label(1).top - l1.top, dy);
    QCOMPARE(e.form.label(5).left, l5.left);
    QVERIFY(selectedBoxes(e.form).isEmpty());
}

void BoxEditorTest::dragBelowThresholdDoesNothing() {
    Editing e;
    e.editor.boxMouseMove(0, NoButton, QPointF(30, 40));
    e.editor.boxMouseMove(0, Left, QPointF(42, 52));
    QCOMPARE(e.form.box(0).left, 1000.f);
    e.editor.boxMouseMove(0, Left, QPointF(43, 40));
    QCOMPARE(e.form.box(0).left, 1013.f);
}

void BoxEditorTest::groupResize() {
    Editing e;
    e.form.setSelected(1, true);
    e.editor.boxMouseMove(0, NoButton, QPointF(450, 230)); // bottom-right grip
    QCOMPARE(e.form.box(0).gripState, BoxEditor::GripResize);
    e.editor.boxMouseMove(0, Left, QPointF(600, 305));
    e.editor.boxMouseMove(0, Left, QPointF(750, 380));
    QCOMPARE(e.form.box(0).width, 800.f);
    QCOMPARE(e.form.box(0).height, 420.f);
    QCOMPARE(e.form.box(1).width, 800.f);
    QCOMPARE(e.form.box(1).height, 420.f);
    QCOMPARE(e.form.box(0).left, 1000.f);
    QCOMPARE(e.form.box(1).top, 1000.f);
    QCOMPARE(e.form.box(2).width, 150.f);
}

void BoxEditorTest::resizeStopsAtMinimum() {
    Editing e;
    e.editor.boxMouseMove(0, NoButton, QPointF(450, 230));
    e.editor.boxMouseMove(0, Left, QPointF(-2000, -2000));
    QCOMPARE(e.form.box(0).width, Form::MinimumExtent);
    QCOMPARE(e.form.box(0).height, Form::MinimumExtent);
}

void BoxEditorTest::keys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QList<float>>("change"); // dLeft, dTop, dWidth, dHeight, dFont
    using L = QList<float>;
    QTest::newRow("left") << int(Qt::Key_Left) << 0 << L{-10, 0, 0, 0, 0};
    QTest::newRow("up") << int(Qt::Key_Up) << 0 << L{0, -10, 0, 0, 0};
    QTest::newRow("right") << int(Qt::Key_Right) << 0 << L{10, 0, 0, 0, 0};
    QTest::newRow("down") << int(Qt::Key_Down) << 0 << L{0, 10, 0, 0, 0};
    QTest::newRow("shift left") << int(Qt::Key_Left) << int(Qt::ShiftModifier)
                                << L{0, 0, -10, 0, 0};
    QTest::newRow("shift down") << int(Qt::Key_Down) << int(Qt::ShiftModifier) << L{0, 0, 0, 10, 0};
    QTest::newRow("ctrl left") << int(Qt::Key_Left) << int(Qt::ControlModifier)
                               << L{0, 0, 0, 0, -1};
    QTest::newRow("ctrl up") << int(Qt::Key_Up) << int(Qt::ControlModifier) << L{0, 0, 0, 0, -1};
    QTest::newRow("ctrl right") << int(Qt::Key_Right) << int(Qt::ControlModifier)
                                << L{0, 0, 0, 0, 1};
    QTest::newRow("ctrl down") << int(Qt::Key_Down) << int(Qt::ControlModifier) << L{0, 0, 0, 0, 1};
    QTest::newRow("keypad right") << int(Qt::Key_Right) << int(Qt::KeypadModifier)
                                  << L{10, 0, 0, 0, 0};
    QTest::newRow("alt right") << int(Qt::Key_Right) << int(Qt::AltModifier) << L{0, 0, 0, 0, 0};
    QTest::newRow("shift ctrl right")
        << int(Qt::Key_Right) << int(Qt::ShiftModifier | Qt::ControlModifier) << L{0, 0, 0, 0, 0};
    QTest::newRow("A") << int(Qt::Key_A) << 0 << L{0, 0, 0, 0, 0};
}

void BoxEditorTest::keys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QList<float>, change);
    Editing e;
    e.editor.setLocked(true); // the keys do not look at the lock
    for (int i : {0, 1, 2})
        e.form.setSelected(i, true);
    Form reference;
    parkBoxes(reference);
    e.editor.CtlKeys(key, Qt::KeyboardModifiers(modifiers));
    for (int i = 0; i < BoxCount; ++i) {
        const bool sel = i <= 2;
        const Box& b = e.form.box(i);
        const Box& r = reference.box(i);
        QCOMPARE(b.left, r.left + (sel ? change[0] : 0));
        QCOMPARE(b.top, r.top + (sel ? change[1] : 0));
        QCOMPARE(b.width, r.width + (sel ? change[2] : 0));
        QCOMPARE(b.height, r.height + (sel ? change[3] : 0));
        QCOMPARE(b.fontSize, r.fontSize + (sel ? change[4] : 0));
    }
}

void BoxEditorTest::keysWithNothingSelected() {
    Editing e;
    Form reference;
    parkBoxes(reference);
    for (int key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down})
        for (auto mods : {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier})
            e.editor.CtlKeys(key, mods);
    for (int i = 0; i < BoxCount; ++i) {
        QCOMPARE(e.form.box(i).left, reference.box(i).left);
        QCOMPARE(e.form.box(i).width, reference.box(i).width);
        QCOMPARE(e.form.box(i).fontSize, reference.box(i).fontSize);
    }
}

void BoxEditorTest::fontMenuOnUnselectedBox() {
    Editing e;
    e.form.setSelected(1, true);
    e.form.setSelected(2, true);
    e.form.setForeColor(0, 0x00FF00);
    e.editor.boxRightPress(0, QPointF(40, 50));
    QVERIFY(e.form.box(0).selected());
    QVERIFY(!e.form.box(0).enabled);
    QCOMPARE(e.editor.menuPosition(), QPointF(1040, 1250));
    FontChoice chosen{QStringLiteral("黑体"), 12, true, true, true, true, 0x0000FF};
    e.dialogs.fonts.enqueue(chosen);
    e.editor.FontStyle();
    e.editor.fontMenuClosed(0);
    QCOMPARE(e.dialogs.fontsShown.size(), 1);
    QCOMPARE(e.dialogs.fontsShown[0].color, 0x00FF00u); // loaded from the clicked box
    QCOMPARE(e.dialogs.fontsShown[0].size, 9.f);
    for (int i : {0, 1, 2}) {
        const Box& b = e.form.box(i);
        QCOMPARE(b.fontName, QStringLiteral("黑体"));
        QCOMPARE(b.fontSize, 12.f);
        QVERIFY(b.fontBold && b.fontItalic && b.fontUnderline && b.fontStrikethru);
        QCOMPARE(b.foreColor, 0x0000FFu);
    }
    QCOMPARE(e.form.box(3).fontName, QStringLiteral("宋体"));
    QCOMPARE(selectedBoxes(e.form), (QList<int>{1, 2}));
    QVERIFY(e.form.box(0).tag.isEmpty());
    QVERIFY(e.form.box(0).enabled);
}

void BoxEditorTest::fontMenuOnSelectedBoxKeepsSelection() {
    Editing e;
    e.form.setSelected(1, true);
    e.editor.boxRightPress(1, QPointF(10, 10));
    e.dialogs.fonts.enqueue(FontChoice{QStringLiteral("宋体"), 10.5f});
    e.editor.FontStyle();
    QCOMPARE(selectedBoxes(e.form), QList<int>{1});
    QCOMPARE(e.form.box(1).fontSize, 10.5f);
}

void BoxEditorTest::fontMenuCancelled() {
    Editing e;
    e.form.setSelected(2, true);
    e.editor.boxRightPress(0, QPointF(10, 10));
    e.dialogs.fonts.enqueue(std::nullopt);
    e.editor.FontStyle();
    for (int i : {0, 2})
        QCOMPARE(e.form.box(i).fontSize, 9.f);
    QCOMPARE(selectedBoxes(e.form), QList<int>{2});
    QVERIFY(e.form.box(0).tag.isEmpty());
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
