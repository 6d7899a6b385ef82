// Box editing in the window with real pointer moves and keys, at two zooms.
#include "BoxEditor.h"
#include "FontMenuForm.h"
#include "PageArea.h"
#include "Units.h"
#include "WindowSession.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>

#include <cmath>

namespace {

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

QRectF geometryOf(const Box& b) {
    return {b.left, b.top, b.width, b.height};
}

// Whether a pixel within one pixel of `at` has colour `colour`.
bool colourNear(const QImage& image, QPoint at, QColor colour) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (image.rect().contains(at + QPoint(dx, dy)) &&
                QColor(image.pixel(at + QPoint(dx, dy))).rgb() == colour.rgb())
                return true;
    return false;
}

// The window with four boxes in the top part of the page and all others parked outside
// it: single-line boxes A and B, the small box C and a multi-line box M.
struct Window : WindowSession {
    const int a = 0, b = 1, c = 2, m = firstMultiLineBox();

    explicit Window(QSize screen = LargeScreen) {
        start(screen);
        for (int i = 0; i < BoxCount; ++i)
            form().setGeometry(i, 20000 + i * 1000, 20000, 500, 270);
        form().setGeometry(a, 1000, 1000, 500, 270);
        form().setGeometry(b, 3000, 1000, 500, 270);
        form().setGeometry(c, 1000, 3000, 150, 150);
        form().setGeometry(m, 3000, 3000, 900, 600);
    }

    // One pixel of the screen, in page twips: the tolerance of a pointer position.
    double pixelTwips() const { return ScreenTwips::PerPixel / page()->zoom(); }
    QImage grabPage() const {
        return page()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    // A band on the empty canvas between two points in page twips, moved in steps.
    void band(QPointF from, QPointF to, Qt::MouseButton button = Qt::LeftButton,
              Qt::MouseButtons held = Qt::LeftButton) const {
        QTest::mousePress(page(), button, {}, pixel(from));
        for (int step = 1; step <= 8; ++step)
            moveHeld(page(), pixel(from + (to - from) * step / 8), held);
    }
};

} // namespace

class EditingTest : public QObject {
    Q_OBJECT
private slots:
    void lockedLayout();
    void bands_data();
    void bands();
    void bandDrawnAndErased();
    void groupDragAndResize_data();
    void groupDragAndResize();
    void grips_data();
    void grips();
    void keys_data();
    void keys();
    void arrowInBoxMovesCaretToo();
    void fontMenu_data();
    void fontMenu();
};

void EditingTest::lockedLayout() {
    Window w;
    w.form().setSelected(w.a, true);
    const QRectF a = geometryOf(w.form().box(w.a));
    // A press on the canvas still empties the selection; the drag draws and selects nothing.
    w.band(QPointF(600, 600), QPointF(4500, 4500));
    QVERIFY(!colourNear(w.grabPage(), w.pixel(QPointF(2500, 600)), Qt::black));
    QTest::mouseRelease(w.page(), Qt::LeftButton, {}, w.pixel(QPointF(4500, 4500)));
    QVERIFY(selectedBoxes(w.form()).isEmpty());
    // Over the move grip the pointer is an I-beam and a drag moves nothing.
    w.hover(w.a, QPointF(30, 30));
    QCOMPARE(w.target(w.a)->cursor().shape(), Qt::IBeamCursor);
    w.dragBox(w.a, QPointF(30, 30), QPointF(600, 400));
    QCOMPARE(geometryOf(w.form().box(w.a)), a);

    // Ticked from the keyboard while the pointer rests on a grip, the lock holds there too.
    w.setLocked(false);
    w.hover(w.a, QPointF(40, 40));
    QCOMPARE(w.target(w.a)->cursor().shape(), Qt::ArrowCursor);
    auto* lock = named<QCheckBox>(QStringLiteral("锁定格式"));
    lock->setFocus();
    QTRY_VERIFY(lock->hasFocus());
    QTest::keyClick(lock, Qt::Key_Space);
    QCOMPARE(w.target(w.a)->cursor().shape(), Qt::IBeamCursor);
    const QPoint rest = w.onBox(w.a, QPointF(40, 40));
    QTest::mousePress(w.target(w.a), Qt::LeftButton, {}, rest);
    for (int step = 1; step <= 5; ++step)
        w.moveHeld(w.target(w.a),
                   w.pixel(QPointF(a.left() + 40, a.top() + 40)) + QPoint(10, 5) * step);
    QTest::mouseRelease(w.target(w.a), Qt::LeftButton, {}, rest + QPoint(50, 25));
    QCOMPARE(geometryOf(w.form().box(w.a)), a);
}

void EditingTest::bands_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<QList<int>>("selected"); // 0 A, 1 B, 2 C, 3 M
    using L = QList<int>;
    QTest::newRow("inside the dead zone")
        << SmallScreen << QPointF(1000, 1000) << QPointF(1400, 1300) << L{};
    QTest::newRow("up left") << LargeScreen << QPointF(2000, 2000) << QPointF(600, 600) << L{0};
    QTest::newRow("down left") << SmallScreen << QPointF(3800, 600) << QPointF(1400, 1500)
                               << L{0, 1};
    QTest::newRow("up right") << LargeScreen << QPointF(800, 3400) << QPointF(3200, 2000)
                              << L{2, 3};
}

void EditingTest::bands() {
    QFETCH(QSize, screen);
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    QFETCH(QList<int>, selected);
    Window w(screen);
    w.setLocked(false);
    w.form().setSelected(w.c, true); // the press empties the selection
    w.band(from, to);
    QTest::mouseRelease(w.page(), Qt::LeftButton, {}, w.pixel(to));
    const QList<int> names{w.a, w.b, w.c, w.m};
    QList<int> expected;
    for (int k : selected)
        expected.append(names[k]);
    std::sort(expected.begin(), expected.end());
    QCOMPARE(selectedBoxes(w.form()), expected);
    QCOMPARE(w.page()->toolTip(), BoxEditor::bandHint());
}

// The band shows in black while the left button alone is held and, released, leaves the
// canvas and the ruler grid exactly as they were.
void EditingTest::bandDrawnAndErased() {
    Window w;
    w.setLocked(false);
    click(named<QCheckBox>(QStringLiteral("显示标尺 单位：厘米")));
    const QImage layer = w.page()->drawingLayer().copy();
    const QImage before = w.grabPage();
    const QPointF from(5000, 600), to(600, 5000);
    const QPoint topMiddle = w.pixel(QPointF(2800, 600));
    for (const auto& [button, held] :
         {std::pair{Qt::RightButton, Qt::MouseButtons(Qt::RightButton)},
          std::pair{Qt::LeftButton, Qt::LeftButton | Qt::RightButton}}) {
        w.band(from, to, button, held);
        QVERIFY(!colourNear(w.grabPage(), topMiddle, Qt::black));
        QTest::mouseRelease(w.page(), button, {}, w.pixel(to));
        QVERIFY(selectedBoxes(w.form()).isEmpty());
    }
    w.band(from, to);
    QVERIFY(colourNear(w.grabPage(), topMiddle, Qt::black));
    QTest::mouseRelease(w.page(), Qt::LeftButton, {}, w.pixel(to));

    QCOMPARE(w.page()->drawingLayer(), layer);
    const QImage after = w.grabPage();
    QRegion boxes;
    for (int i = 0; i < BoxCount; ++i)
        boxes += w.box(i)->geometry().adjusted(-1, -1, 1, 1);
    int differing = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            differing += !boxes.contains(QPoint(x, y)) && after.pixel(x, y) != before.pixel(x, y);
    QCOMPARE(differing, 0);
}

void EditingTest::groupDragAndResize_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<bool>("multiLine");
    QTest::addColumn<bool>("resize");
    QTest::newRow("move text box 1024x768") << SmallScreen << true << false;
    QTest::newRow("resize line box 1280x1024") << LargeScreen << false << true;
}

void EditingTest::groupDragAndResize() {
    QFETCH(QSize, screen);
    QFETCH(bool, multiLine);
    QFETCH(bool, resize);
    Window w(screen);
    w.setLocked(false);
    const int dragged = multiLine ? w.m : w.a;
    const int untouched = multiLine ? w.a : w.m;
    w.form().setText(dragged, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    w.form().setSelected(w.b, true);
    w.form().setSelected(w.c, true);
    std::array<Box, BoxCount> before{};
    std::array<Label, BoxCount> labels{};
    for (int i = 0; i < BoxCount; ++i)
        std::tie(before[i], labels[i]) = std::pair(w.form().box(i), w.form().label(i));
    const QPointF grip =
        resize ? QPointF(before[dragged].width - 30, before[dragged].height - 30) : QPointF(40, 40);
    w.dragBox(dragged, grip, QPointF(300, 150));

    const Box& now = w.form().box(dragged);
    const float dx = resize ? now.width - before[dragged].width : now.left - before[dragged].left;
    const float dy = resize ? now.height - before[dragged].height : now.top - before[dragged].top;
    QVERIFY2(std::abs(dx - 300) <= w.pixelTwips() && std::abs(dy - 150) <= w.pixelTwips(),
             qPrintable(QStringLiteral("changed by %1, %2").arg(dx).arg(dy)));
    const float mx = resize ? 0 : dx, my = resize ? 0 : dy, gx = resize ? dx : 0,
                gy = resize ? dy : 0;
    for (int i : {dragged, w.b, w.c}) {
        const Box& box = w.form().box(i);
        QCOMPARE(box.left, before[i].left + mx);
        QCOMPARE(box.top, before[i].top + my);
        QCOMPARE(box.width, before[i].width + gx);
        QCOMPARE(box.height, before[i].height + gy);
        QCOMPARE(w.form().label(i).left, labels[i].left + mx);
        QCOMPARE(w.form().label(i).top, labels[i].top + my);
    }
    QCOMPARE(geometryOf(w.form().box(untouched)), geometryOf(before[untouched]));
    QCOMPARE(w.box(dragged)->geometry(), w.page()->pageRectToPixels(geometryOf(now)));
    // The drag selected no text, and the release over the box is a click: nothing stays selected.
    auto* line = qobject_cast<QLineEdit*>(w.box(dragged));
    QVERIFY(line ? !line->hasSelectedText()
                 : !qobject_cast<QPlainTextEdit*>(w.box(dragged))->textCursor().hasSelection());
    QVERIFY(selectedBoxes(w.form()).isEmpty());
}

void EditingTest::grips_data() {
    QTest::addColumn<QPointF>("at"); // on the small box C
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("hint");
    QTest::newRow("resize corner")
        << QPointF(120, 120) << int(Qt::SizeFDiagCursor) << BoxEditor::resizeHint();
    QTest::newRow("text") << QPointF(20, 125) << int(Qt::IBeamCursor) << BoxEditor::textHint();
}

void EditingTest::grips() {
    QFETCH(QPointF, at);
    QFETCH(int, cursor);
    QFETCH(QString, hint);
    Window w(SmallScreen);
    w.setLocked(false);
    w.hover(w.c, at);
    QCOMPARE(int(w.target(w.c)->cursor().shape()), cursor);
    // The hint shows when the pointer rests on the box.
    const QPoint rest = w.onBox(w.c, at);
    QHelpEvent help(QEvent::ToolTip, rest, w.target(w.c)->mapToGlobal(rest));
    QApplication::sendEvent(w.target(w.c), &help);
    QCOMPARE(QToolTip::text(), hint);
    QToolTip::hideText();
}

void EditingTest::keys_data() {
    QTest::addColumn<QString>("control"); // the control with the focus
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    // Change of left, top, width, height and font size of every selected box.
    QTest::addColumn<QList<float>>("change");
    using L = QList<float>;
    const int none = Qt::NoModifier, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
    const QString text = QStringLiteral("text box");
    QTest::newRow("Left") << text << int(Qt::Key_Left) << none << L{-10, 0, 0, 0, 0};
    QTest::newRow("Shift+Right") << text << int(Qt::Key_Right) << shift << L{0, 0, 10, 0, 0};
    QTest::newRow("Ctrl+Down") << text << int(Qt::Key_Down) << ctrl << L{0, 0, 0, 0, 1};
    QTest::newRow("Alt+Left") << text << int(Qt::Key_Left) << int(Qt::AltModifier)
                              << L{0, 0, 0, 0, 0};
    // Each press reaches the box keys once, from every control of the form view.
    const QStringList routed{QStringLiteral("page"), QStringLiteral("scroll bar"),
                             QStringLiteral("主选项卡"), QString::fromUtf8("打   印")};
    for (const QString& control : routed)
        QTest::addRow("Down on %s", qPrintable(control))
            << control << int(Qt::Key_Down) << none << L{0, 10, 0, 0, 0};
    // Elsewhere the arrows are the control's own.
    for (const char* control : {"历史记录表", "查找"})
        QTest::addRow("Down on %s", control)
            << QString::fromUtf8(control) << int(Qt::Key_Down) << none << L{0, 0, 0, 0, 0};
}

void EditingTest::keys() {
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QList<float>, change);
    Window w; // the lock stays on: the keys do not consult it
    const QList<int> group{w.a, w.c, w.m};
    for (int i : group)
        w.form().setSelected(i, true);
    std::array<Box, BoxCount> before{};
    for (int i = 0; i < BoxCount; ++i)
        before[i] = w.form().box(i);
    auto* area = w.mf->findChild<PageArea*>();
    const QHash<QString, QWidget*> controls{{QStringLiteral("page"), w.page()},
                                            {QStringLiteral("scroll bar"), area->scrollBar()},
                                            {QStringLiteral("text box"), w.box(w.m)}};
    QWidget* focus = controls.value(control);
    for (QWidget* named : w.mf->findChildren<QWidget*>())
        if (!focus && named->accessibleName() == control && named->focusPolicy() != Qt::NoFocus)
            focus = named;
    if (control.startsWith(QStringLiteral("历史")) || control == QStringLiteral("查找"))
        w.tabs("SST")->setCurrentIndex(1);
    QVERIFY2(focus, qPrintable(control));
    focus->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), focus);
    QTest::keyClick(focus, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    for (int i = 0; i < BoxCount; ++i) {
        const Box& now = w.form().box(i);
        const QList<float> d = group.contains(i) ? change : QList<float>{0, 0, 0, 0, 0};
        QCOMPARE(geometryOf(now),
                 geometryOf(before[i]).translated(d[0], d[1]).adjusted(0, 0, d[2], d[3]));
        QCOMPARE(now.fontSize, before[i].fontSize + d[4]);
    }
    QCOMPARE(w.box(w.m)->geometry(), w.page()->pageRectToPixels(geometryOf(w.form().box(w.m))));
}

void EditingTest::arrowInBoxMovesCaretToo() {
    Window w;
    w.form().setText(w.a, QStringLiteral("ABCDEF"));
    w.form().setText(w.m, QStringLiteral("ABCDEF"));
    w.form().setSelected(w.a, true);
    w.form().setSelected(w.b, true);
    auto* line = qobject_cast<QLineEdit*>(w.box(w.a));
    auto* text = qobject_cast<QPlainTextEdit*>(w.box(w.m));
    const float aLeft = w.form().box(w.a).left;
    line->setFocus();
    QTRY_VERIFY(line->hasFocus());
    line->setCursorPosition(6);
    QTest::keyClick(line, Qt::Key_Left);
    QCOMPARE(line->cursorPosition(), 5);
    QCOMPARE(w.form().box(w.a).left, aLeft - 10);
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
    QTest::addColumn<bool>("preselected");
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("font chosen 1024x768") << SmallScreen << false << true << true;
    QTest::newRow("on a selected box, dialog cancelled") << LargeScreen << true << true << false;
    QTest::newRow("menu left with Esc") << LargeScreen << false << false << false;
}

void EditingTest::fontMenu() {
    QFETCH(QSize, screen);
    QFETCH(bool, preselected);
    QFETCH(bool, chosen);
    QFETCH(bool, confirmed);
    Window w(screen); // the lock is not consulted
    w.form().setSelected(w.a, preselected);
    w.form().setSelected(w.b, true);
    w.form().setSelected(w.m, true);
    w.form().setFontSize(w.a, 11);
    w.form().setFontBold(w.a, true);
    w.form().setForeColor(w.a, 0x0000FF);
    std::array<Box, BoxCount> before{};
    for (int i = 0; i < BoxCount; ++i)
        before[i] = w.form().box(i);
    const FontChoice picked{QStringLiteral("黑体"), 14, false, true, false, true, 0xFF0000};
    if (chosen)
        w.dialogs.fonts.enqueue(confirmed ? std::optional(picked) : std::nullopt);

    // The menu waits for the clerk: the keys come from a timer while it is open.
    QPoint menuAt;
    bool greyAndDisabled = false;
    QTimer::singleShot(50, this, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu || menu != w.page()->findChild<FontMenuForm*>()->FontMenu())
            return;
        menuAt = menu->pos();
        greyAndDisabled = w.form().box(w.a).selected() && !w.box(w.a)->isEnabled();
        if (chosen) {
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            QTest::keyClick(menu, Qt::Key_Escape);
        }
    });
    const QPoint clickAt = w.onBox(w.a, QPointF(200, 100));
    QTest::mouseClick(w.target(w.a), Qt::RightButton, {}, clickAt);

    QVERIFY(greyAndDisabled);
    // At the box's position plus the pointer, 200 lower, counted from the window's corner.
    const QPointF pointer =
        w.page()->pixelToPage(w.page()->mapFromGlobal(w.target(w.a)->mapToGlobal(clickAt)));
    const QPointF expected = w.page()->pageToPixel(pointer + QPointF(0, 200));
    const QPoint shown = w.mf->mapFromGlobal(menuAt);
    QVERIFY2(std::abs(shown.x() - expected.x()) <= 1 && std::abs(shown.y() - expected.y()) <= 1,
             qPrintable(QStringLiteral("menu at %1, %2").arg(shown.x()).arg(shown.y())));
    QVERIFY(w.box(w.a)->isEnabled());
    // The caret stays in the right-clicked box, where the clerk goes on typing.
    QCOMPARE(QApplication::focusWidget(), w.box(w.a));

    if (chosen) {
        QCOMPARE(w.dialogs.fontsShown.size(), 1); // on the right-clicked box's font
        const FontChoice& font = w.dialogs.fontsShown.first();
        QVERIFY(font.size == 11.f && font.bold && font.color == 0x0000FF);
    }
    const bool aStays = preselected || !chosen;
    QCOMPARE(selectedBoxes(w.form()),
             aStays ? (QList<int>{w.a, w.b, w.m}) : (QList<int>{w.b, w.m}));
    for (int i = 0; i < BoxCount; ++i) {
        const Box& now = w.form().box(i);
        const bool changes = confirmed && (i == w.a || i == w.b || i == w.m);
        QCOMPARE(now.fontName, changes ? picked.name : before[i].fontName);
        QCOMPARE(now.fontSize, changes ? picked.size : before[i].fontSize);
        QCOMPARE(now.fontItalic, changes ? picked.italic : before[i].fontItalic);
        QCOMPARE(now.foreColor, changes ? picked.color : before[i].foreColor);
    }
    if (confirmed) {
        QVERIFY(w.box(w.b)->font().italic() && w.box(w.b)->font().strikeOut());
        QCOMPARE(w.box(w.m)->palette().color(QPalette::Text), QColor(0, 0, 255));
    }
    QVERIFY(w.dialogs.unanswered.isEmpty());
}

QTEST_MAIN(EditingTest)
#include "tst_editing.moc"
