#include "BoxEditor.h"
#include "BoxMouseEditing.h"
#include "FontMenuForm.h"
#include "Form.h"
#include "HistoryGrid.h"
#include "MF.h"
#include "PageArea.h"
#include "PageWidget.h"
#include "ScriptedDialogs.h"
#include "TabStrip.h"
#include "TestFolder.h"
#include "Units.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <cmath>
#include <memory>

namespace {

// Two screens the page is not drawn at zoom 1 on.
const QSize LargeScreen(1280, 1024);
const QSize SmallScreen(1024, 768);

QList<int> selectedBoxes(const Form& form) {
    QList<int> result;
    for (int i = 0; i < BoxCount; ++i)
        if (form.box(i).selected())
            result.append(i);
    return result;
}

int firstMultiLineBox() {
    for (int i = 0; i < BoxCount; ++i)
        if (Catalogue::field(i).multiLine)
            return i;
    return -1;
}

// The main window over its own database, with four boxes in the top part of the page
// and all others parked far outside it, so that only the four are in reach.
struct Window {
    TestFolder folder;
    ScriptedDialogs dialogs;
    std::unique_ptr<MF> mf;
    // Single-line boxes A, B, the small box C and a multi-line box M.
    int a = 0;
    int b = 1;
    int c = 2;
    int m = firstMultiLineBox();

    explicit Window(QSize screen = LargeScreen) {
        mf = std::make_unique<MF>(dialogs, folder.file(QStringLiteral("Par.db")), screen);
        mf->show();
        if (!QTest::qWaitForWindowExposed(mf.get()))
            qWarning("window not exposed");
        for (int i = 0; i < BoxCount; ++i)
            form().setGeometry(i, 20000 + i * 1000, 20000, 500, 270);
        form().setGeometry(a, 1000, 1000, 500, 270);
        form().setGeometry(b, 3000, 1000, 500, 270);
        form().setGeometry(c, 1000, 3000, 150, 150);
        form().setGeometry(m, 3000, 3000, 900, 600);
    }
    ~Window() {
        dialogs.fonts.clear();
        mf->close();
    }

    Form& form() const { return mf->form(); }
    PageWidget* page() const { return mf->page(); }
    QWidget* target(int i) const { return page()->boxMouseTarget(i); }
    double zoom() const { return page()->zoom(); }
    // One pixel of the screen, in page twips: the tolerance of a pointer position.
    double pixelTwips() const { return ScreenTwips::PerPixel / zoom(); }

    // The pixel of the page nearest to a point in page twips.
    QPoint pixel(QPointF twips) const {
        const QPointF p = page()->pageToPixel(twips);
        return QPoint(static_cast<int>(std::lround(p.x())), static_cast<int>(std::lround(p.y())));
    }
    // Where the pointer at a page pixel really is, in page twips.
    QPointF twipsAt(QPoint pagePixel) const { return page()->pixelToPage(pagePixel); }
    // A page pixel in the coordinates of `widget`.
    QPoint on(QWidget* widget, QPoint pagePixel) const {
        return widget->mapFromGlobal(page()->mapToGlobal(pagePixel));
    }
    // A point of box `i` in page twips relative to its top-left corner, as a pixel of the
    // box's mouse target.
    QPoint onBox(int i, QPointF local) const {
        const Box& bx = form().box(i);
        return on(target(i), pixel(QPointF(bx.left, bx.top) + local));
    }

    void setLocked(bool locked) {
        QCheckBox* lock = mf->checkBox(1);
        if (lock->isChecked() != locked)
            QTest::mouseClick(lock, Qt::LeftButton, {}, QPoint(8, lock->height() / 2));
        QCOMPARE(lock->isChecked(), locked);
        QCOMPARE(mf->boxEditor().locked(), locked);
    }

    // A pointer move with the left button held, as the grabbing widget receives it.
    void leftDrag(QWidget* receiver, QPoint pagePixel) const {
        const QPoint global = page()->mapToGlobal(pagePixel);
        QMouseEvent move(QEvent::MouseMove, receiver->mapFromGlobal(global), global, Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(receiver, &move);
    }

    // A band on the empty canvas from one point to another in page twips, moved in steps.
    void band(QPointF from, QPointF to, int steps = 12) const {
        QTest::mousePress(page(), Qt::LeftButton, {}, pixel(from));
        for (int step = 1; step <= steps; ++step)
            leftDrag(page(), pixel(from + (to - from) * step / steps));
        QTest::mouseRelease(page(), Qt::LeftButton, {}, pixel(to));
    }

    // Hover over box `i` at a local point, press the left button there, move the pointer
    // by `by` page twips in steps and release: a drag of the grip under the pointer.
    void dragBox(int i, QPointF local, QPointF by, int steps = 10) const {
        QWidget* t = target(i);
        hover(i, local);
        const Box& bx = form().box(i);
        const QPoint start = pixel(QPointF(bx.left, bx.top) + local);
        QTest::mousePress(t, Qt::LeftButton, {}, on(t, start));
        QPoint end = start;
        for (int step = 1; step <= steps; ++step) {
            end = pixel(twipsAt(start) + by * step / steps);
            leftDrag(t, end);
        }
        QTest::mouseRelease(t, Qt::LeftButton, {}, on(t, end));
    }

    // The pointer comes to rest on box `i` at a local point in page twips. It comes from the
    // page's corner, since a move to where the pointer already is reaches no widget.
    void hover(int i, QPointF local) const {
        QTest::mouseMove(page(), QPoint(2, 2));
        QTest::mouseMove(target(i), onBox(i, local));
    }

    void activate() const {
        mf->activateWindow();
        QApplication::setActiveWindow(mf.get());
        if (!QTest::qWaitForWindowActive(mf.get()))
            qWarning("window not active");
    }
};

QRectF geometryOf(const Box& b) {
    return {b.left, b.top, b.width, b.height};
}

QColor canvasColour(const Window& w) {
    return w.page()->backColor();
}

// Whether a pixel within one pixel of `at` in the grabbed page has colour `colour`.
bool colourNear(const QImage& image, QPoint at, QColor colour) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint p = at + QPoint(dx, dy);
            if (image.rect().contains(p) && QColor(image.pixel(p)).rgb() == colour.rgb())
                return true;
        }
    return false;
}

bool boxHasSelectedText(const Window& w, int i) {
    if (auto* line = qobject_cast<QLineEdit*>(w.page()->boxWidget(i)))
        return line->hasSelectedText();
    return qobject_cast<QPlainTextEdit*>(w.page()->boxWidget(i))->textCursor().hasSelection();
}

QImage grabPage(const Window& w) {
    return w.page()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class EditingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void lockedAtStart();
    void bands_data();
    void bands();
    void bandOutlineShownAndErased();
    void bandLeavesRulerGrid();
    void otherButtonsDrawNoBand_data();
    void otherButtonsDrawNoBand();
    void groupDrag_data();
    void groupDrag();
    void groupResize_data();
    void groupResize();
    void dragBelowThresholdMovesNothing();
    void lockTickedWhilePointerRestsOnGrip();
    void clickDeselectsAndPlacesCaret();
    void grips_data();
    void grips();
    void hintOnMultiLineBox();
    void keys_data();
    void keys();
    void keysWithNothingSelected();
    void keyRoutedOncePerPress_data();
    void keyRoutedOncePerPress();
    void keysOnUnroutedControls_data();
    void keysOnUnroutedControls();
    void arrowInBoxMovesCaretToo();
    void fontMenu_data();
    void fontMenu();
    void fontMenuOnSelectedBox();
    void realFontMenu_data();
    void realFontMenu();
};

void EditingTest::initTestCase() {
    QVERIFY(firstMultiLineBox() > 2);
    Window w;
    QVERIFY2(std::abs(w.zoom() - 1.0) > 0.05, qPrintable(QString::number(w.zoom())));
    Window small(SmallScreen);
    QVERIFY2(std::abs(small.zoom() - 1.0) > 0.05, qPrintable(QString::number(small.zoom())));
}

void EditingTest::lockedAtStart() {
    Window w;
    QVERIFY(w.mf->checkBox(1)->isChecked());
    QVERIFY(w.mf->boxEditor().locked());
    w.form().setSelected(w.a, true);
    w.form().setSelected(w.b, true);
    const QRectF a = geometryOf(w.form().box(w.a));

    // A press on the canvas still empties the selection; the drag draws and selects nothing.
    w.band(QPointF(600, 600), QPointF(4500, 4500));
    QVERIFY(selectedBoxes(w.form()).isEmpty());
    QVERIFY(w.page()->drawingLayer().isNull() ||
            w.page()->drawingLayer().pixelColor(w.pixel(QPointF(2000, 600))).alpha() == 0);
    QVERIFY(!colourNear(grabPage(w), w.pixel(QPointF(2500, 600)), Qt::black));

    // Over a box the pointer is an I-beam, even on the move grip, and a drag moves nothing.
    w.hover(w.a, QPointF(30, 30));
    QCOMPARE(w.form().box(w.a).gripState, BoxEditor::GripText);
    QCOMPARE(w.target(w.a)->cursor().shape(), Qt::IBeamCursor);
    w.dragBox(w.a, QPointF(30, 30), QPointF(600, 400));
    QCOMPARE(geometryOf(w.form().box(w.a)), a);
    w.dragBox(w.a, QPointF(480, 250), QPointF(600, 400));
    QCOMPARE(geometryOf(w.form().box(w.a)), a);
}

void EditingTest::bands_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<QList<int>>("selected"); // 0 A, 1 B, 2 C, 3 M

    using L = QList<int>;
    for (const QSize screen : {LargeScreen, SmallScreen}) {
        const QString at = QStringLiteral(" %1x%2").arg(screen.width()).arg(screen.height());
        QTest::addRow("inside the dead zone%s", qPrintable(at))
            << screen << QPointF(1000, 1000) << QPointF(1400, 1300) << L{};
        QTest::addRow("down right%s", qPrintable(at))
            << screen << QPointF(600, 600) << QPointF(1700, 1500) << L{0};
        QTest::addRow("up left%s", qPrintable(at))
            << screen << QPointF(2000, 2000) << QPointF(600, 600) << L{0};
        QTest::addRow("down left%s", qPrintable(at))
            << screen << QPointF(3800, 600) << QPointF(1400, 1500) << L{0, 1};
        QTest::addRow("up right%s", qPrintable(at))
            << screen << QPointF(800, 3400) << QPointF(3200, 2000) << L{2, 3};
        QTest::addRow("all four%s", qPrintable(at))
            << screen << QPointF(700, 700) << QPointF(3300, 3300) << L{0, 1, 2, 3};
    }
}

void EditingTest::bands() {
    QFETCH(QSize, screen);
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    QFETCH(QList<int>, selected);
    Window w(screen);
    w.setLocked(false);
    // Something selected before the press: the press empties the selection.
    w.form().setSelected(w.c, true);
    w.band(from, to);
    const QList<int> names{w.a, w.b, w.c, w.m};
    QList<int> expected;
    for (int k : selected)
        expected.append(names[k]);
    std::sort(expected.begin(), expected.end());
    QCOMPARE(selectedBoxes(w.form()), expected);
    QCOMPARE(w.page()->toolTip(), BoxEditor::bandHint());
}

void EditingTest::bandOutlineShownAndErased() {
    Window w;
    w.setLocked(false);
    // The band starts at a pixel; the box's right edge lies exactly on the twip the press
    // lands on, and box B ends one twip short of the band's top.
    const QPoint start = w.pixel(QPointF(2000, 700));
    const QPointF pressed = w.twipsAt(start);
    const int x = static_cast<int>(std::nearbyint(pressed.x()));
    const int y = static_cast<int>(std::nearbyint(pressed.y()));
    w.form().setGeometry(w.a, x - 500, 1000, 500, 270);
    w.form().setGeometry(w.b, 3000, y - 1 - 270, 500, 270);

    const QPoint end = w.pixel(QPointF(3600, 1800));
    QTest::mousePress(w.page(), Qt::LeftButton, {}, start);
    for (int step = 1; step <= 6; ++step)
        w.leftDrag(w.page(), start + (end - start) * step / 6);
    QCOMPARE(w.mf->boxEditor().anchor(), QPoint(x, y));
    QCOMPARE(selectedBoxes(w.form()), QList<int>{w.a});

    // The band shows in black while the button is held, over the canvas colour.
    const QPoint topMiddle((start.x() + end.x()) / 2, start.y());
    const QPoint leftMiddle(start.x(), (start.y() + end.y()) / 2);
    QImage held = grabPage(w);
    QVERIFY(colourNear(held, topMiddle, Qt::black));
    QVERIFY(colourNear(held, leftMiddle, Qt::black));
    QTest::mouseRelease(w.page(), Qt::LeftButton, {}, end);

    // Released, the band is gone and leaves no trace: the canvas shows its own colour.
    const QImage released = grabPage(w);
    for (const QPoint p : {topMiddle, leftMiddle}) {
        QVERIFY(!colourNear(released, p, Qt::black));
        QVERIFY2(!colourNear(released, p, Qt::white), "the band leaves a white outline");
        QCOMPARE(QColor(released.pixel(p)), canvasColour(w));
    }
    QCOMPARE(selectedBoxes(w.form()), QList<int>{w.a});
}

void EditingTest::bandLeavesRulerGrid() {
    Window w;
    w.setLocked(false);
    QCheckBox* ruler = w.mf->checkBox(0);
    QTest::mouseClick(ruler, Qt::LeftButton, {}, QPoint(8, ruler->height() / 2));
    QVERIFY(ruler->isChecked());
    const QImage layer = w.page()->drawingLayer().copy();
    QVERIFY(!layer.isNull());
    const QImage before = grabPage(w);

    // A band that crosses many grid lines, redrawn several times on the way.
    const QPoint start = w.pixel(QPointF(5000, 600));
    const QPoint end = w.pixel(QPointF(600, 5000));
    QTest::mousePress(w.page(), Qt::LeftButton, {}, start);
    for (int step = 1; step <= 8; ++step)
        w.leftDrag(w.page(), start + (end - start) * step / 8);
    QTest::mouseRelease(w.page(), Qt::LeftButton, {}, end);

    QCOMPARE(w.page()->drawingLayer(), layer);
    // Every pixel of the canvas outside the boxes looks as it did before the band.
    const QImage after = grabPage(w);
    QRegion boxes;
    for (int i = 0; i < BoxCount; ++i)
        boxes += w.page()->boxWidget(i)->geometry().adjusted(-1, -1, 1, 1);
    int differing = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            if (!boxes.contains(QPoint(x, y)) && after.pixel(x, y) != before.pixel(x, y))
                ++differing;
    QCOMPARE(differing, 0);
}

void EditingTest::otherButtonsDrawNoBand_data() {
    QTest::addColumn<int>("pressed");
    QTest::addColumn<int>("held");
    QTest::newRow("right") << int(Qt::RightButton) << int(Qt::RightButton);
    QTest::newRow("middle") << int(Qt::MiddleButton) << int(Qt::MiddleButton);
    QTest::newRow("left with right")
        << int(Qt::LeftButton) << int(Qt::LeftButton | Qt::RightButton);
}

void EditingTest::otherButtonsDrawNoBand() {
    QFETCH(int, pressed);
    QFETCH(int, held);
    Window w;
    w.setLocked(false);
    w.form().setSelected(w.b, true);
    const auto button = Qt::MouseButton(pressed);
    const QPoint start = w.pixel(QPointF(600, 600));
    const QPoint end = w.pixel(QPointF(4500, 4500));
    QTest::mousePress(w.page(), button, {}, start);
    // Whatever the buttons, the press empties the selection.
    QVERIFY(selectedBoxes(w.form()).isEmpty());
    for (int step = 1; step <= 6; ++step) {
        const QPoint at = start + (end - start) * step / 6;
        const QPoint global = w.page()->mapToGlobal(at);
        QMouseEvent move(QEvent::MouseMove, at, global, Qt::NoButton, Qt::MouseButtons(held),
                         Qt::NoModifier);
        QApplication::sendEvent(w.page(), &move);
    }
    QVERIFY(
        !colourNear(grabPage(w), (start + end) / 2 - QPoint(0, (end - start).y() / 2), Qt::black));
    QTest::mouseRelease(w.page(), button, {}, end);
    QVERIFY(selectedBoxes(w.form()).isEmpty());
}

void EditingTest::groupDrag_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<bool>("multiLine");
    QTest::newRow("line box 1280x1024") << LargeScreen << false;
    QTest::newRow("text box 1280x1024") << LargeScreen << true;
    QTest::newRow("line box 1024x768") << SmallScreen << false;
}

void EditingTest::groupDrag() {
    QFETCH(QSize, screen);
    QFETCH(bool, multiLine);
    Window w(screen);
    w.setLocked(false);
    const int dragged = multiLine ? w.m : w.a;
    const int other = multiLine ? w.a : w.m;
    w.form().setText(dragged, QStringLiteral("ABCDEFGH"));
    w.form().setSelected(w.b, true);
    w.form().setSelected(other, true);
    std::array<Box, BoxCount> before{};
    std::array<Label, BoxCount> labelsBefore{};
    for (int i = 0; i < BoxCount; ++i) {
        before[i] = w.form().box(i);
        labelsBefore[i] = w.form().label(i);
    }

    w.dragBox(dragged, QPointF(40, 40), QPointF(300, 150));

    const float dx = w.form().box(dragged).left - before[dragged].left;
    const float dy = w.form().box(dragged).top - before[dragged].top;
    QVERIFY2(std::abs(dx - 300) <= w.pixelTwips() && std::abs(dy - 150) <= w.pixelTwips(),
             qPrintable(QStringLiteral("moved by %1, %2").arg(dx).arg(dy)));
    for (int i : {dragged, w.b, other}) {
        QCOMPARE(w.form().box(i).left, before[i].left + dx);
        QCOMPARE(w.form().box(i).top, before[i].top + dy);
        QCOMPARE(w.form().box(i).width, before[i].width);
        QCOMPARE(w.form().label(i).left, labelsBefore[i].left + dx);
        QCOMPARE(w.form().label(i).top, labelsBefore[i].top + dy);
    }
    QCOMPARE(geometryOf(w.form().box(w.c)), geometryOf(before[w.c]));
    QCOMPARE(w.form().label(w.c).left, labelsBefore[w.c].left);
    // The widget follows the model and the drag selected no text in the box.
    QCOMPARE(w.page()->boxWidget(dragged)->geometry(),
             w.page()->pageRectToPixels(geometryOf(w.form().box(dragged))));
    QVERIFY(!boxHasSelectedText(w, dragged));
    // The release over the box is a click: nothing stays selected.
    QVERIFY(selectedBoxes(w.form()).isEmpty());
}

void EditingTest::groupResize_data() {
    groupDrag_data();
}

void EditingTest::groupResize() {
    QFETCH(QSize, screen);
    QFETCH(bool, multiLine);
    Window w(screen);
    w.setLocked(false);
    const int dragged = multiLine ? w.m : w.a;
    w.form().setText(dragged, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    w.form().setSelected(w.b, true);
    w.form().setSelected(w.c, true);
    std::array<Box, BoxCount> before{};
    for (int i = 0; i < BoxCount; ++i)
        before[i] = w.form().box(i);
    const QPointF grip(before[dragged].width - 30, before[dragged].height - 30);

    w.dragBox(dragged, grip, QPointF(300, 150));

    const float dw = w.form().box(dragged).width - before[dragged].width;
    const float dh = w.form().box(dragged).height - before[dragged].height;
    QVERIFY2(std::abs(dw - 300) <= w.pixelTwips() && std::abs(dh - 150) <= w.pixelTwips(),
             qPrintable(QStringLiteral("resized by %1, %2").arg(dw).arg(dh)));
    for (int i : {dragged, w.b, w.c}) {
        QCOMPARE(w.form().box(i).width, before[i].width + dw);
        QCOMPARE(w.form().box(i).height, before[i].height + dh);
        QCOMPARE(w.form().box(i).left, before[i].left);
        QCOMPARE(w.form().box(i).top, before[i].top);
    }
    QVERIFY2(!boxHasSelectedText(w, dragged), "the resize grip selected text");
    const int untouched = multiLine ? w.a : w.m;
    QCOMPARE(geometryOf(w.form().box(untouched)), geometryOf(before[untouched]));
    QVERIFY(selectedBoxes(w.form()).isEmpty());
}

void EditingTest::dragBelowThresholdMovesNothing() {
    Window w;
    w.setLocked(false);
    // Less than 12 page twips: below one pixel at this zoom, so the pointer stays on its pixel
    // or goes to the next one only when that is within the threshold.
    const QRectF a = geometryOf(w.form().box(w.a));
    QWidget* t = w.target(w.a);
    w.hover(w.a, QPointF(40, 40));
    QCOMPARE(w.form().box(w.a).gripState, BoxEditor::GripMove);
    const QPoint start = w.pixel(QPointF(a.left() + 40, a.top() + 40));
    QTest::mousePress(t, Qt::LeftButton, {}, w.on(t, start));
    if (w.pixelTwips() <= BoxEditor::DragThreshold) {
        w.leftDrag(t, start + QPoint(1, 1));
        QCOMPARE(geometryOf(w.form().box(w.a)), a);
    }
    w.leftDrag(t, start + QPoint(0, 0));
    QCOMPARE(geometryOf(w.form().box(w.a)), a);
    // Two pixels are past the threshold at any zoom up to 2.5.
    w.leftDrag(t, start + QPoint(3, 0));
    QVERIFY(w.form().box(w.a).left > a.left() + BoxEditor::DragThreshold);
    QTest::mouseRelease(t, Qt::LeftButton, {}, w.on(t, start + QPoint(3, 0)));
}

void EditingTest::lockTickedWhilePointerRestsOnGrip() {
    Window w;
    w.setLocked(false);
    w.activate();
    const QRectF a = geometryOf(w.form().box(w.a));
    QWidget* t = w.target(w.a);
    const QPoint rest = w.onBox(w.a, QPointF(40, 40));
    w.hover(w.a, QPointF(40, 40));
    QCOMPARE(t->cursor().shape(), Qt::ArrowCursor);
    // The clerk ticks "锁定格式" from the keyboard; the pointer has not moved.
    w.mf->checkBox(1)->setFocus();
    QTRY_VERIFY(w.mf->checkBox(1)->hasFocus());
    QTest::keyClick(w.mf->checkBox(1), Qt::Key_Space);
    QVERIFY(w.mf->checkBox(1)->isChecked());
    QCOMPARE(t->cursor().shape(), Qt::IBeamCursor);
    const QPoint start = w.on(w.page(), rest);
    QTest::mousePress(t, Qt::LeftButton, {}, rest);
    for (int step = 1; step <= 5; ++step)
        w.leftDrag(t, start + QPoint(10 * step, 5 * step));
    QTest::mouseRelease(t, Qt::LeftButton, {}, rest + QPoint(50, 25));
    QCOMPARE(geometryOf(w.form().box(w.a)), a);
}

void EditingTest::clickDeselectsAndPlacesCaret() {
    Window w;
    w.setLocked(false);
    w.activate();
    w.form().setText(w.a, QStringLiteral("ABCDEFGH"));
    w.form().setSelected(w.b, true);
    w.form().setSelected(w.a, true);
    auto* line = qobject_cast<QLineEdit*>(w.page()->boxWidget(w.a));
    QVERIFY(line);
    line->setCursorPosition(0);
    w.hover(w.a, QPointF(400, 150));
    QCOMPARE(w.form().box(w.a).gripState, BoxEditor::GripText);
    QTest::mouseClick(w.target(w.a), Qt::LeftButton, {}, w.onBox(w.a, QPointF(400, 150)));
    QVERIFY(selectedBoxes(w.form()).isEmpty());
    QVERIFY(line->hasFocus());
    QVERIFY2(line->cursorPosition() > 0, "the click puts the caret where it lands");
    QVERIFY(!line->hasSelectedText());
}

void EditingTest::grips_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<int>("grip");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("hint");

    const int arrow = Qt::ArrowCursor, diagonal = Qt::SizeFDiagCursor, beam = Qt::IBeamCursor;
    for (const QSize screen : {LargeScreen, SmallScreen}) {
        const QString at = QStringLiteral(" %1x%2").arg(screen.width()).arg(screen.height());
        QTest::addRow("(90, 90)%s", qPrintable(at))
            << screen << false << QPointF(90, 90) << 1 << arrow << BoxEditor::moveHint();
        QTest::addRow("(120, 120)%s", qPrintable(at))
            << screen << false << QPointF(120, 120) << 8 << diagonal << BoxEditor::resizeHint();
        QTest::addRow("(20, 125)%s", qPrintable(at))
            << screen << false << QPointF(20, 125) << 3 << beam << BoxEditor::textHint();
        QTest::addRow("(125, 20)%s", qPrintable(at))
            << screen << false << QPointF(125, 20) << 3 << beam << BoxEditor::textHint();
        QTest::addRow("locked (90, 90)%s", qPrintable(at))
            << screen << true << QPointF(90, 90) << 3 << beam << QString();
        QTest::addRow("locked (120, 120)%s", qPrintable(at))
            << screen << true << QPointF(120, 120) << 3 << beam << QString();
    }
}

void EditingTest::grips() {
    QFETCH(QSize, screen);
    QFETCH(bool, locked);
    QFETCH(QPointF, at);
    QFETCH(int, grip);
    QFETCH(int, cursor);
    QFETCH(QString, hint);
    Window w(screen);
    w.setLocked(locked);
    QCOMPARE(w.page()->cursor().shape(), Qt::CrossCursor);
    // The small box C is 150 × 150 page twips.
    QCOMPARE(geometryOf(w.form().box(w.c)).size(), QSizeF(150, 150));
    w.hover(w.c, at);
    QCOMPARE(w.form().box(w.c).gripState, grip);
    QCOMPARE(int(w.target(w.c)->cursor().shape()), cursor);
    QCOMPARE(w.page()->boxWidget(w.c)->toolTip(), hint);

    // The hint shows when the pointer rests on the box.
    w.activate();
    QWidget* t = w.target(w.c);
    const QPoint rest = w.onBox(w.c, at);
    QHelpEvent help(QEvent::ToolTip, rest, t->mapToGlobal(rest));
    QApplication::sendEvent(t, &help);
    QCOMPARE(QToolTip::isVisible(), !hint.isEmpty());
    if (!hint.isEmpty())
        QCOMPARE(QToolTip::text(), hint);
    QToolTip::hideText();
}

void EditingTest::hintOnMultiLineBox() {
    Window w;
    w.setLocked(false);
    w.activate();
    // The multi-line box takes the pointer on its viewport; the hint is the box's own.
    QWidget* t = w.target(w.m);
    QVERIFY(t != w.page()->boxWidget(w.m));
    const QPointF corner(w.form().box(w.m).width - 40, w.form().box(w.m).height - 40);
    w.hover(w.m, corner);
    QCOMPARE(w.form().box(w.m).gripState, BoxEditor::GripResize);
    QCOMPARE(t->cursor().shape(), Qt::SizeFDiagCursor);
    const QPoint rest = w.onBox(w.m, corner);
    QHelpEvent help(QEvent::ToolTip, rest, t->mapToGlobal(rest));
    QApplication::sendEvent(t, &help);
    QVERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), BoxEditor::resizeHint());
    QToolTip::hideText();
}

void EditingTest::keys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    // Change of left, top, width, height and font size of every selected box.
    QTest::addColumn<QList<float>>("change");

    using L = QList<float>;
    const int none = Qt::NoModifier, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
    QTest::newRow("Left") << int(Qt::Key_Left) << none << L{-10, 0, 0, 0, 0};
    QTest::newRow("Up") << int(Qt::Key_Up) << none << L{0, -10, 0, 0, 0};
    QTest::newRow("Right") << int(Qt::Key_Right) << none << L{10, 0, 0, 0, 0};
    QTest::newRow("Down") << int(Qt::Key_Down) << none << L{0, 10, 0, 0, 0};
    QTest::newRow("Shift+Left") << int(Qt::Key_Left) << shift << L{0, 0, -10, 0, 0};
    QTest::newRow("Shift+Up") << int(Qt::Key_Up) << shift << L{0, 0, 0, -10, 0};
    QTest::newRow("Shift+Right") << int(Qt::Key_Right) << shift << L{0, 0, 10, 0, 0};
    QTest::newRow("Shift+Down") << int(Qt::Key_Down) << shift << L{0, 0, 0, 10, 0};
    QTest::newRow("Ctrl+Left") << int(Qt::Key_Left) << ctrl << L{0, 0, 0, 0, -1};
    QTest::newRow("Ctrl+Up") << int(Qt::Key_Up) << ctrl << L{0, 0, 0, 0, -1};
    QTest::newRow("Ctrl+Right") << int(Qt::Key_Right) << ctrl << L{0, 0, 0, 0, 1};
    QTest::newRow("Ctrl+Down") << int(Qt::Key_Down) << ctrl << L{0, 0, 0, 0, 1};
    QTest::newRow("Alt+Left") << int(Qt::Key_Left) << int(Qt::AltModifier) << L{0, 0, 0, 0, 0};
    QTest::newRow("Ctrl+Shift+Right")
        << int(Qt::Key_Right) << int(Qt::ControlModifier | Qt::ShiftModifier) << L{0, 0, 0, 0, 0};
    QTest::newRow("Home") << int(Qt::Key_Home) << none << L{0, 0, 0, 0, 0};
}

void EditingTest::keys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QList<float>, change);
    Window w;
    // The lock stays on: the keys do not consult it.
    w.activate();
    const QList<int> group{w.a, w.c, w.m};
    for (int i : group)
        w.form().setSelected(i, true);
    std::array<Box, BoxCount> before{};
    for (int i = 0; i < BoxCount; ++i)
        before[i] = w.form().box(i);
    w.page()->boxWidget(w.m)->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), w.page()->boxWidget(w.m));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    for (int i = 0; i < BoxCount; ++i) {
        const Box& now = w.form().box(i);
        const QList<float> d = group.contains(i) ? change : QList<float>{0, 0, 0, 0, 0};
        QCOMPARE(now.left, before[i].left + d[0]);
        QCOMPARE(now.top, before[i].top + d[1]);
        QCOMPARE(now.width, before[i].width + d[2]);
        QCOMPARE(now.height, before[i].height + d[3]);
        QCOMPARE(now.fontSize, before[i].fontSize + d[4]);
    }
    QCOMPARE(selectedBoxes(w.form()), group);
    // The widgets follow the model.
    for (int i : group)
        QCOMPARE(w.page()->boxWidget(i)->geometry(),
                 w.page()->pageRectToPixels(geometryOf(w.form().box(i))));
}

void EditingTest::keysWithNothingSelected() {
    Window w;
    w.setLocked(false);
    w.activate();
    std::array<Box, BoxCount> before{};
    for (int i = 0; i < BoxCount; ++i)
        before[i] = w.form().box(i);
    w.page()->boxWidget(w.a)->setFocus();
    QTRY_VERIFY(w.page()->boxWidget(w.a)->hasFocus());
    for (const auto& [key, mods] :
         {std::pair{Qt::Key_Left, Qt::NoModifier}, std::pair{Qt::Key_Down, Qt::ShiftModifier},
          std::pair{Qt::Key_Right, Qt::ControlModifier}})
        QTest::keyClick(QApplication::focusWidget(), key, mods);
    for (int i = 0; i < BoxCount; ++i) {
        QCOMPARE(geometryOf(w.form().box(i)), geometryOf(before[i]));
        QCOMPARE(w.form().box(i).fontSize, before[i].fontSize);
    }
}

void EditingTest::keyRoutedOncePerPress_data() {
    QTest::addColumn<QString>("control");
    for (const char* name : {"window", "page", "viewport", "line box", "text box", "command 0",
                             "command 1", "command 2", "command 3", "command 4", "command 5",
                             "ruler check box", "lock check box", "scroll bar", "main tabs"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void EditingTest::keyRoutedOncePerPress() {
    QFETCH(QString, control);
    Window w;
    w.activate();
    w.form().setSelected(w.b, true);
    const Box before = w.form().box(w.b);
    const QHash<QString, QWidget*> controls{
        {QStringLiteral("page"), w.page()},
        {QStringLiteral("viewport"), w.mf->pageArea()->viewport()},
        {QStringLiteral("line box"), w.page()->boxWidget(w.a)},
        {QStringLiteral("text box"), w.page()->boxWidget(w.m)},
        {QStringLiteral("ruler check box"), w.mf->checkBox(0)},
        {QStringLiteral("lock check box"), w.mf->checkBox(1)},
        {QStringLiteral("scroll bar"), w.mf->pageArea()->scrollBar()},
        {QStringLiteral("main tabs"), w.mf->mainTabs()->tabBar()},
    };
    QWidget* focus = controls.value(control);
    if (control.startsWith(QLatin1String("command ")))
        focus = w.mf->commandButton(control.mid(8).toInt());
    if (focus) {
        focus->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), focus);
    } else {
        if (QWidget* had = QApplication::focusWidget())
            had->clearFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(nullptr));
    }
    QWidget* receiver = focus ? focus : w.mf.get();

    // Down rather than left or right, which would change the main tab on the tab bar.
    QTest::keyClick(receiver, Qt::Key_Down);
    QCOMPARE(w.form().box(w.b).top, before.top + 10);
    QCOMPARE(w.form().box(w.b).left, before.left);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w.mf.get(),
                    Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(w.form().box(w.b).height, before.height + 10);
}

void EditingTest::keysOnUnroutedControls_data() {
    QTest::addColumn<QString>("control");
    for (const char* name : {"history grid", "help text", "mode tabs", "history tabs",
                             "about button", "online help button"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void EditingTest::keysOnUnroutedControls() {
    QFETCH(QString, control);
    Window w;
    w.activate();
    const QList<int> group{w.a, w.b, w.c, w.m};
    for (int i : group)
        w.form().setSelected(i, true);
    int view = 0;
    QWidget* focus = nullptr;
    if (control == QLatin1String("history grid")) {
        view = 1;
        focus = &w.mf->historyGrid();
    } else if (control == QLatin1String("help text")) {
        view = 2;
        focus = w.mf->helpTextBox();
    } else if (control == QLatin1String("mode tabs")) {
        focus = w.mf->modeTabs()->tabBar();
    } else if (control == QLatin1String("history tabs")) {
        view = 1;
        focus = w.mf->historyTabs()->tabBar();
    } else if (control == QLatin1String("about button")) {
        focus = w.mf->topStripButton(0);
    } else {
        focus = w.mf->topStripButton(2);
    }
    w.mf->mainTabs()->setCurrentIndex(view);
    std::array<Box, BoxCount> before{};
    for (int i = 0; i < BoxCount; ++i)
        before[i] = w.form().box(i);
    focus->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), focus);

    for (const auto& [key, mods] :
         {std::pair{Qt::Key_Down, Qt::NoModifier}, std::pair{Qt::Key_Right, Qt::ShiftModifier},
          std::pair{Qt::Key_Up, Qt::ControlModifier}, std::pair{Qt::Key_Right, Qt::NoModifier}}) {
        QWidget* now = QApplication::focusWidget() ? QApplication::focusWidget() : focus;
        QTest::keyClick(now, key, mods);
    }
    for (int i = 0; i < BoxCount; ++i) {
        QCOMPARE(geometryOf(w.form().box(i)), geometryOf(before[i]));
        QCOMPARE(w.form().box(i).fontSize, before[i].fontSize);
    }
}

void EditingTest::arrowInBoxMovesCaretToo() {
    Window w;
    w.activate();
    w.form().setText(w.a, QStringLiteral("ABCDEF"));
    w.form().setText(w.m, QStringLiteral("ABCDEF"));
    w.form().setSelected(w.a, true);
    w.form().setSelected(w.b, true);
    auto* line = qobject_cast<QLineEdit*>(w.page()->boxWidget(w.a));
    auto* text = qobject_cast<QPlainTextEdit*>(w.page()->boxWidget(w.m));
    QVERIFY(line && text);
    const float aLeft = w.form().box(w.a).left, bLeft = w.form().box(w.b).left;

    line->setFocus();
    QTRY_VERIFY(line->hasFocus());
    line->setCursorPosition(6);
    QTest::keyClick(line, Qt::Key_Left);
    QCOMPARE(line->cursorPosition(), 5);
    QCOMPARE(w.form().box(w.a).left, aLeft - 10);
    QCOMPARE(w.form().box(w.b).left, bLeft - 10);

    text->setFocus();
    QTRY_VERIFY(text->hasFocus());
    text->moveCursor(QTextCursor::End);
    QTest::keyClick(text, Qt::Key_Left);
    QCOMPARE(text->textCursor().position(), 5);
    QCOMPARE(w.form().box(w.a).left, aLeft - 20);
    QCOMPARE(w.form().box(w.m).left, 3000.f);
}

void EditingTest::fontMenu_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("font chosen 1280x1024") << LargeScreen << true << true;
    QTest::newRow("font chosen 1024x768") << SmallScreen << true << true;
    QTest::newRow("dialog cancelled") << LargeScreen << true << false;
    QTest::newRow("menu closed") << LargeScreen << false << false;
}

void EditingTest::fontMenu() {
    QFETCH(QSize, screen);
    QFETCH(bool, chosen);
    QFETCH(bool, confirmed);
    Window w(screen);
    w.activate();
    // The lock is not consulted.
    w.form().setSelected(w.b, true);
    w.form().setSelected(w.m, true);
    w.form().setFontName(w.a, QStringLiteral("宋体"));
    w.form().setFontSize(w.a, 11);
    w.form().setFontBold(w.a, true);
    w.form().setForeColor(w.a, 0x0000FF);
    w.form().setFontUnderline(w.a, true);
    std::array<Box, BoxCount> before{};
    for (int i = 0; i < BoxCount; ++i)
        before[i] = w.form().box(i);

    const FontChoice picked{QStringLiteral("黑体"), 14, false, true, false, true, 0xFF0000};
    if (confirmed)
        w.dialogs.fonts.enqueue(picked);
    else if (chosen)
        w.dialogs.fonts.enqueue(std::nullopt);

    QList<QPoint> menuAt;
    bool greyAndDisabled = false;
    w.mf->boxMouseEditing().setMenuRunner([&](QPoint at) {
        menuAt.append(at);
        greyAndDisabled = w.form().box(w.a).selected() && !w.form().box(w.a).enabled &&
                          !w.page()->boxWidget(w.a)->isEnabled() &&
                          w.form().box(w.a).tag == QLatin1String("0");
        return chosen;
    });
    const QPointF local(200, 100);
    const QPoint clickPixel =
        w.pixel(QPointF(w.form().box(w.a).left, w.form().box(w.a).top) + local);
    QTest::mouseClick(w.target(w.a), Qt::RightButton, {}, w.on(w.target(w.a), clickPixel));

    QCOMPARE(menuAt.size(), 1);
    QVERIFY(greyAndDisabled);
    // At the box's position plus the pointer, 200 lower, counted from the window's corner.
    const QPointF expected = w.page()->pageToPixel(w.twipsAt(clickPixel) + QPointF(0, 200));
    const QPointF shown = w.mf->mapFromGlobal(menuAt.first());
    QVERIFY2(std::abs(shown.x() - expected.x()) <= 1 && std::abs(shown.y() - expected.y()) <= 1,
             qPrintable(QStringLiteral("menu at %1, %2, expected %3, %4")
                            .arg(shown.x())
                            .arg(shown.y())
                            .arg(expected.x())
                            .arg(expected.y())));
    QVERIFY(w.form().box(w.a).enabled);
    QVERIFY(w.page()->boxWidget(w.a)->isEnabled());
    // The caret stays in the right-clicked box, where the clerk goes on typing.
    QCOMPARE(QApplication::focusWidget(), w.page()->boxWidget(w.a));

    if (chosen) {
        // The dialog opened on the right-clicked box's font.
        QCOMPARE(w.dialogs.fontsShown.size(), 1);
        const FontChoice& shownFont = w.dialogs.fontsShown.first();
        QCOMPARE(shownFont.name, before[w.a].fontName);
        QCOMPARE(shownFont.size, 11.f);
        QVERIFY(shownFont.bold && !shownFont.italic && shownFont.underline &&
                !shownFont.strikethru);
        QCOMPARE(shownFont.color, std::uint32_t(0x0000FF));
        QCOMPARE(w.form().box(w.a).tag, QString());
        QCOMPARE(selectedBoxes(w.form()), (QList<int>{w.b, w.m}));
    } else {
        // Closed without the item: the box keeps its mark and stays in the selection.
        QCOMPARE(w.dialogs.fontsShown.size(), 0);
        QCOMPARE(w.form().box(w.a).tag, QStringLiteral("0"));
        QCOMPARE(selectedBoxes(w.form()), (QList<int>{w.a, w.b, w.m}));
    }
    for (int i = 0; i < BoxCount; ++i) {
        const Box& now = w.form().box(i);
        const bool changes = confirmed && (i == w.a || i == w.b || i == w.m);
        const Box& expect = before[i];
        QCOMPARE(now.fontName, changes ? picked.name : expect.fontName);
        QCOMPARE(now.fontSize, changes ? picked.size : expect.fontSize);
        QCOMPARE(now.fontBold, changes ? picked.bold : expect.fontBold);
        QCOMPARE(now.fontItalic, changes ? picked.italic : expect.fontItalic);
        QCOMPARE(now.fontUnderline, changes ? picked.underline : expect.fontUnderline);
        QCOMPARE(now.fontStrikethru, changes ? picked.strikethru : expect.fontStrikethru);
        QCOMPARE(now.foreColor, changes ? picked.color : expect.foreColor);
    }
    if (confirmed) {
        // The widgets show the new font.
        const QFont shownFont = w.page()->boxWidget(w.b)->font();
        QVERIFY(shownFont.italic() && shownFont.strikeOut() && !shownFont.bold());
        QCOMPARE(w.page()->boxWidget(w.m)->palette().color(QPalette::Text), QColor(0, 0, 255));
    }
    QVERIFY(w.dialogs.unanswered.isEmpty());
}

void EditingTest::fontMenuOnSelectedBox() {
    Window w;
    w.setLocked(false);
    w.form().setSelected(w.a, true);
    w.form().setSelected(w.c, true);
    w.dialogs.fonts.enqueue(
        FontChoice{QStringLiteral("宋体"), 12, true, false, false, false, 0x00FF00});
    w.mf->boxMouseEditing().setMenuRunner([](QPoint) { return true; });
    QTest::mouseClick(w.target(w.c), Qt::RightButton, {}, w.onBox(w.c, QPointF(75, 75)));
    QCOMPARE(selectedBoxes(w.form()), (QList<int>{w.a, w.c}));
    for (int i : {w.a, w.c}) {
        QCOMPARE(w.form().box(i).fontSize, 12.f);
        QCOMPARE(w.form().box(i).foreColor, std::uint32_t(0x00FF00));
        QCOMPARE(w.form().box(i).tag, QString());
    }
    QCOMPARE(w.form().box(w.b).fontSize, 9.f);
}

void EditingTest::realFontMenu_data() {
    QTest::addColumn<bool>("choose");
    QTest::newRow("修改字体 chosen") << true;
    QTest::newRow("menu left with Esc") << false;
}

void EditingTest::realFontMenu() {
    QFETCH(bool, choose);
    Window w;
    w.activate();
    // The hidden form that carries the menu.
    FontMenuForm* form = w.mf->boxMouseEditing().menuForm();
    QCOMPARE(form->windowTitle(), QStringLiteral("菜单"));
    QVERIFY(!form->isVisible());
    QVERIFY(form->findChild<QLabel*>()->text() == QStringLiteral("本窗口专为弹出菜单设置"));
    QCOMPARE(form->FontMenu()->objectName(), QStringLiteral("FontMenu"));
    QCOMPARE(form->FontMenu()->actions().size(), 1);
    QCOMPARE(form->FontStyle()->objectName(), QStringLiteral("FontStyle"));
    QCOMPARE(form->FontStyle()->text(), QStringLiteral("修改字体"));

    if (choose)
        w.dialogs.fonts.enqueue(
            FontChoice{QStringLiteral("宋体"), 16, false, false, false, false, 0});
    bool shown = false;
    // The menu waits for the clerk: the keys come from a timer while it is open.
    QTimer::singleShot(50, this, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        shown = menu == form->FontMenu();
        if (!menu)
            return;
        if (choose) {
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            QTest::keyClick(menu, Qt::Key_Escape);
        }
    });
    QTest::mouseClick(w.target(w.a), Qt::RightButton, {}, w.onBox(w.a, QPointF(200, 100)));
    QVERIFY(shown);
    QVERIFY(w.form().box(w.a).enabled);
    QCOMPARE(w.form().box(w.a).fontSize, choose ? 16.f : 9.f);
    QCOMPARE(w.form().box(w.a).selected(), !choose);
    QCOMPARE(w.form().box(w.a).tag, choose ? QString() : QStringLiteral("0"));
    QCOMPARE(QApplication::focusWidget(), w.page()->boxWidget(w.a));
}

QTEST_MAIN(EditingTest)
#include "tst_editing.moc"
