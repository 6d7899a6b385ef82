// Box editing with real pointer moves and keys at two zooms; boxes scrolled into view; the
// selected boxes' millimetres typed into "位置和大小…".
#include "BoxEditor.h"
#include "BoxGeometryDialog.h"
#include "FontColorDialog.h"
#include "FontMenuForm.h"
#include "FontSetup.h"
#include "PageArea.h"
#include "Units.h"
#include "WindowSession.h"

#include <QFontDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

namespace {

const QSize LargeScreen(1280, 1024), SmallScreen(1024, 768);

QRectF geometryOf(const Box& b) {
    return {b.left, b.top, b.width, b.height};
}

int multiLineBox() {
    int m = 0;
    while (!Catalogue::field(m).multiLine)
        ++m;
    return m;
}

// The window with four boxes in the top part of the page and all others parked outside
// it: single-line boxes A and B, the small box C and a multi-line box M.
struct Window : WindowSession {
    const int a = 0, b = 1, c = 2, m = multiLineBox();
    std::array<Box, BoxCount> before{};

    explicit Window(QSize screen = LargeScreen, bool locked = true) {
        start(screen);
        for (int i = 0; i < BoxCount; ++i)
            form().setGeometry(i, 20000 + i * 1000, 20000, 500, 270);
        form().setGeometry(a, 1000, 1000, 500, 270);
        form().setGeometry(b, 3000, 1000, 500, 270);
        form().setGeometry(c, 1000, 3000, 150, 150);
        form().setGeometry(m, 3000, 3000, 900, 600);
        setLocked(locked);
    }
    void select(const QList<int>& boxes) {
        for (int i : boxes)
            form().setSelected(i, true);
        for (int i = 0; i < BoxCount; ++i)
            before[i] = form().box(i);
    }
    QList<int> selected() const {
        QList<int> result;
        for (int i = 0; i < BoxCount; ++i)
            if (form().box(i).selected())
                result.append(i);
        return result;
    }
    // Black within one pixel of a point in page twips.
    bool blackAt(QPointF twips) const {
        const QImage image = page()->grab().toImage();
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (QColor(image.pixel(pixel(twips) + QPoint(dx, dy))) == Qt::black)
                    return true;
        return false;
    }
    void band(QPointF from, QPointF to, Qt::MouseButton button = Qt::LeftButton,
              Qt::MouseButtons held = Qt::LeftButton) const {
        QTest::mousePress(page(), button, {}, pixel(from));
        for (int step = 1; step <= 8; ++step)
            moveHeld(page(), pixel(from + (to - from) * step / 8), held);
    }
};

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

class EditingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerFontSubstitutions(); }

    void bands_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<QList<int>>("selected");
        using L = QList<int>;
        const int m = multiLineBox();
        QTest::newRow("inside the dead zone")
            << SmallScreen << false << QPointF(2000, 2000) << QPointF(2400, 2300) << L{};
        QTest::newRow("up left") << LargeScreen << false << QPointF(2000, 2000) << QPointF(600, 600)
                                 << L{0};
        QTest::newRow("down left")
            << SmallScreen << false << QPointF(3800, 600) << QPointF(1400, 1500) << L{0, 1};
        QTest::newRow("up right") << LargeScreen << false << QPointF(800, 3400)
                                  << QPointF(3200, 2000) << L{2, m};
        QTest::newRow("locked") << LargeScreen << true << QPointF(600, 600) << QPointF(4500, 4500)
                                << L{};
    }
    // The band selects what it covers and shows in black while the left button alone is
    // held; released, it leaves the canvas and the ruler grid exactly as they were. A press
    // on the canvas empties the selection, locked or not.
    void bands() {
        QFETCH(QSize, screen);
        QFETCH(bool, locked);
        QFETCH(QPointF, from);
        QFETCH(QPointF, to);
        QFETCH(QList<int>, selected);
        Window w(screen, locked);
        click(named<QCheckBox>(QStringLiteral("显示标尺 单位：厘米")));
        const QImage layer = w.page()->drawingLayer().copy();
        const QImage before = w.page()->grab().toImage();
        w.select({w.c});
        const QPointF topMiddle((from.x() + to.x()) / 2, std::min(from.y(), to.y()));
        for (const auto& [button, held] :
             {std::pair{Qt::RightButton, Qt::MouseButtons(Qt::RightButton)},
              std::pair{Qt::LeftButton, Qt::LeftButton | Qt::RightButton},
              std::pair{Qt::LeftButton, Qt::MouseButtons(Qt::LeftButton)}}) {
            w.band(from, to, button, held);
            QCOMPARE(w.blackAt(topMiddle), held == Qt::LeftButton && !selected.isEmpty());
            QTest::mouseRelease(w.page(), button, {}, w.pixel(to));
        }
        QCOMPARE(w.selected(), selected);
        QCOMPARE(w.page()->toolTip(), locked ? QString() : BoxEditor::bandHint());
        QCOMPARE(w.page()->drawingLayer(), layer);
        QCOMPARE(w.page()->grab().toImage().pixel(w.pixel(topMiddle)),
                 before.pixel(w.pixel(topMiddle)));
    }

    void groupDragAndResize_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<bool>("resize"); // line box A; otherwise a move of text box M
        QTest::newRow("move text box 1024x768") << SmallScreen << false;
        QTest::newRow("resize line box 1280x1024") << LargeScreen << true;
    }
    // The boxes dragged together change alike, by the pointer's move to within a pixel.
    void groupDragAndResize() {
        QFETCH(QSize, screen);
        QFETCH(bool, resize);
        Window w(screen, false);
        const int dragged = resize ? w.a : w.m;
        w.form().setText(dragged, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
        w.select({w.b, w.c});
        const Label label = w.form().label(w.b);
        const Box& was = w.before[dragged];
        w.dragBox(dragged, resize ? QPointF(was.width - 30, was.height - 30) : QPointF(40, 40),
                  QPointF(300, 150));
        const Box& now = w.form().box(dragged);
        const float dx = resize ? now.width - was.width : now.left - was.left;
        const float dy = resize ? now.height - was.height : now.top - was.top;
        const double pixel = ScreenTwips::PerPixel / w.page()->zoom();
        QVERIFY2(std::abs(dx - 300) <= pixel && std::abs(dy - 150) <= pixel,
                 qPrintable(QStringLiteral("changed by %1, %2").arg(dx).arg(dy)));
        for (int i = 0; i < BoxCount; ++i) {
            const Box& box = w.form().box(i);
            const bool moved = i == dragged || i == w.b || i == w.c;
            QCOMPARE(box.left, w.before[i].left + (moved && !resize ? dx : 0));
            QCOMPARE(box.top, w.before[i].top + (moved && !resize ? dy : 0));
            QCOMPARE(box.width, w.before[i].width + (moved && resize ? dx : 0));
            QCOMPARE(box.height, w.before[i].height + (moved && resize ? dy : 0));
        }
        QCOMPARE(w.form().label(w.b).left, label.left + (resize ? 0 : dx));
        QCOMPARE(w.form().label(w.b).top, label.top + (resize ? 0 : dy));
        QCOMPARE(w.box(dragged)->geometry(), w.page()->pageRectToPixels(geometryOf(now)));
        // The drag selected no text, and the release over the box is a click: nothing stays
        // selected.
        auto* line = qobject_cast<QLineEdit*>(w.box(dragged));
        QVERIFY(line ? !line->hasSelectedText()
                     : !qobject_cast<QPlainTextEdit*>(w.box(dragged))->textCursor().hasSelection());
        QVERIFY(w.selected().isEmpty());
    }

    // Ticked from the keyboard while the pointer rests on the move grip, the lock holds
    // there at once: the pointer turns to an I-beam and a drag from there moves nothing.
    void lockTickedOnAGrip() {
        Window w(SmallScreen, false);
        const QRectF c = geometryOf(w.form().box(w.c));
        w.hover(w.c, QPointF(20, 125)); // the text area
        QCOMPARE(w.target(w.c)->cursor().shape(), Qt::IBeamCursor);
        w.hover(w.c, QPointF(40, 40));
        QCOMPARE(w.target(w.c)->cursor().shape(), Qt::ArrowCursor);
        auto* lock = named<QCheckBox>(QStringLiteral("锁定格式"));
        lock->setFocus();
        QTRY_VERIFY(lock->hasFocus());
        QTest::keyClick(lock, Qt::Key_Space);
        QCOMPARE(w.target(w.c)->cursor().shape(), Qt::IBeamCursor);
        const QPoint rest = w.onBox(w.c, QPointF(40, 40));
        QTest::mousePress(w.target(w.c), Qt::LeftButton, {}, rest);
        for (int step = 1; step <= 5; ++step)
            w.moveHeld(w.target(w.c),
                       w.pixel(c.topLeft() + QPointF(40, 40)) + QPoint(10, 5) * step);
        QTest::mouseRelease(w.target(w.c), Qt::LeftButton, {}, rest + QPoint(50, 25));
        QCOMPARE(geometryOf(w.form().box(w.c)), c);
        w.hover(w.c, QPointF(40, 40));
        QCOMPARE(w.target(w.c)->cursor().shape(), Qt::IBeamCursor);
    }

    void keys_data() {
        QTest::addColumn<QString>("control"); // the control with the focus
        QTest::addColumn<int>("key");
        // Change of left, top, width, height and font size of every selected box.
        QTest::addColumn<QList<float>>("change");
        using L = QList<float>;
        const QString text = QStringLiteral("text box");
        QTest::newRow("Left") << text << int(Qt::Key_Left) << L{-10, 0, 0, 0, 0};
        QTest::newRow("Shift+Right")
            << text << (Qt::SHIFT | Qt::Key_Right).toCombined() << L{0, 0, 10, 0, 0};
        QTest::newRow("Ctrl+Down")
            << text << (Qt::CTRL | Qt::Key_Down).toCombined() << L{0, 0, 0, 0, 1};
        QTest::newRow("Alt+Left") << text << (Qt::ALT | Qt::Key_Left).toCombined() << L(5);
        // Each press reaches the box keys once from every control of the form view;
        // elsewhere the arrows are the control's own.
        using P = std::pair<const char*, bool>;
        for (const auto& [control, routed] :
             {P{"报关单页面", true}, P{"scroll bar", true}, P{"主选项卡", true}, P{"打   印", true},
              P{"历史记录表", false}, P{"查找", false}})
            QTest::addRow("Down on %s", control) << QString::fromUtf8(control) << int(Qt::Key_Down)
                                                 << L{0, routed ? 10.f : 0, 0, 0, 0};
    }
    void keys() {
        QFETCH(QString, control);
        QFETCH(int, key);
        QFETCH(QList<float>, change);
        Window w; // the lock stays on: the keys do not consult it
        w.form().setText(w.m, QStringLiteral("ABCDEF"));
        w.select({w.c, w.m});
        const QHash<QString, QWidget*> controls{
            {QStringLiteral("scroll bar"), w.mf->findChild<PageArea*>()->scrollBar()},
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
        auto* text = qobject_cast<QPlainTextEdit*>(w.box(w.m));
        text->moveCursor(QTextCursor::End);
        const QKeyCombination pressed = QKeyCombination::fromCombined(key);
        QTest::keyClick(focus, pressed.key(), pressed.keyboardModifiers());
        for (int i = 0; i < BoxCount; ++i) {
            const QList<float> d = i == w.c || i == w.m ? change : QList<float>(5);
            QCOMPARE(geometryOf(w.form().box(i)),
                     geometryOf(w.before[i]).translated(d[0], d[1]).adjusted(0, 0, d[2], d[3]));
            QCOMPARE(w.form().box(i).fontSize, w.before[i].fontSize + d[4]);
        }
        // An arrow in a box moves its caret as well.
        const bool left = focus == text && pressed == QKeyCombination(Qt::Key_Left);
        QCOMPARE(text->textCursor().position(), left ? 5 : 6);
    }

    // A right-clicked box shows as selected and disabled while its font menu is open; the
    // font dialog opens on its font, the font picked goes to it and to the selected boxes,
    // and the caret stays in it, where the clerk goes on typing.
    void fontMenu() {
        Window w(SmallScreen); // the lock is not consulted
        w.form().setFontSize(w.a, 11);
        w.form().setForeColor(w.a, 0x0000FF);
        w.select({w.b, w.m});
        const FontChoice picked{QStringLiteral("黑体"), 14, false, true, false, true, 0xFF0000};
        w.dialogs.fonts.enqueue(picked);
        bool greyAndDisabled = false;
        QTimer::singleShot(50, this, [&] { // the menu waits for the clerk's keys
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu && menu == w.page()->findChild<FontMenuForm*>()->FontMenu());
            greyAndDisabled = w.form().box(w.a).selected() && !w.box(w.a)->isEnabled();
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::mouseClick(w.target(w.a), Qt::RightButton, {}, w.onBox(w.a, QPointF(200, 100)));
        QVERIFY(greyAndDisabled);
        QVERIFY(w.box(w.a)->isEnabled());
        QCOMPARE(QApplication::focusWidget(), w.box(w.a));
        QCOMPARE(w.dialogs.fontsShown.size(), 1);
        QVERIFY(w.dialogs.fontsShown[0].size == 11.f && w.dialogs.fontsShown[0].color == 0x0000FF);
        QCOMPARE(w.selected(), (QList<int>{w.b, w.m}));
        for (int i : {w.a, w.b, w.c, w.m}) { // C is neither selected nor clicked
            QCOMPARE(w.form().box(i).fontName, i == w.c ? w.before[i].fontName : picked.name);
            QCOMPARE(w.form().box(i).foreColor, i == w.c ? w.before[i].foreColor : picked.color);
        }
        QCOMPARE(w.box(w.b)->palette().color(QPalette::Text), QColor(0, 0, 255)); // BGR stored
    }

    // A resize stops at the smallest box; font sizes stay within bounds, in the boxes meant.
    void editingLimits() {
        Form form;
        ScriptedDialogs dialogs;
        BoxEditor editor(form, dialogs);
        editor.setLocked(false);
        form.setGeometry(0, 1000, 1000, 500, 270);
        editor.boxMouseMove(0, Qt::NoButton, QPointF(450, 230)); // on the resize grip
        editor.boxMouseMove(0, Qt::LeftButton, QPointF(-2000, -2000));
        QCOMPARE(QSizeF(form.box(0).width, form.box(0).height),
                 QSizeF(Form::MinimumExtent, Form::MinimumExtent));
        form.setSelected(4, true);
        form.FontSizeChange(-1, -20); // the selected boxes
        QCOMPARE(form.box(4).fontSize, Form::MinimumFontSize);
        form.FontSizeChange(4, 1000);
        QCOMPARE(form.box(4).fontSize, Form::MaximumFontSize);
        QCOMPARE(form.box(5).fontSize, 9.f);
    }

    void scrollingBringsBoxesIntoView() {
        Form form;
        QWidget strip;
        strip.resize(800, 700);
        PageArea area(form, &strip);
        // Tiny and negative strips give empty sizes and a usable page, never a crash.
        for (const QSizeF size : {QSizeF(0, 0), QSizeF(-4000, -2000), QSizeF(330, 310)}) {
            area.layOut(size.width(), size.height());
            QVERIFY(area.layout().viewport.height() >= 0 && area.page()->zoom() > 0);
            area.scrollBar()->setValue(area.scrollBar()->maximum());
            QVERIFY(std::isfinite(area.canvasTop()));
            area.page()->drawRulerGrid(true);
        }
        area.layOut(11615, 9940);
        QScrollBar* bar = area.scrollBar();
        bar->setValue(bar->maximum());
        // The page's bottom edge stands 10 twips above the viewport's bottom edge.
        const CanvasLayout& l = area.layout();
        QVERIFY(std::abs(area.canvasTop() + l.canvas.height() - (l.viewport.height() - 10)) < 0.01);
        QCOMPARE(area.page()->y(), ScreenTwips::toPixels(area.canvasTop()));

        strip.show();
        QVERIFY(QTest::qWaitForWindowExposed(&strip));
        auto visible = [&](int index) {
            const QRect box =
                area.page()->boxWidget(index)->geometry().translated(area.page()->pos());
            return box.top() >= 0 && box.bottom() < area.viewport()->height();
        };
        // Box 39 lies at the bottom of the page, out of the viewport at the top scroll position.
        bar->setValue(0);
        QVERIFY(!visible(39));
        QWheelEvent down(QPointF(100, 100), area.viewport()->mapToGlobal(QPointF(100, 100)),
                         QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                         false);
        QCoreApplication::sendEvent(area.viewport(), &down);
        QVERIFY(bar->value() > 0);
        area.showBox(39);
        QVERIFY(visible(39));
        area.showBox(0);
        const int shown = bar->value();
        area.showBox(3); // already in view: nothing moves
        QCOMPARE(bar->value(), shown);
        strip.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&strip));
        area.page()->boxWidget(87)->setFocus();
        QTRY_VERIFY(visible(87));
    }

    // The font dialog hands back the box's own font when nothing was changed (宋体 included,
    // though it is only a substitution here) and another face by its name.
    void fontDialog_data() {
        QTest::addColumn<QString>("face");
        QTest::addColumn<QString>("picked"); // in the dialog; empty: nothing
        QTest::newRow("substituted 宋体") << "宋体" << QString();
        QTest::newRow("installed face") << "WenQuanYi Zen Hei" << QString();
        QTest::newRow("another face picked") << "宋体"
                                             << "WenQuanYi Zen Hei";
    }
    void fontDialog() {
        QFETCH(QString, face);
        QFETCH(QString, picked);
        FontColorDialog dialog(FontChoice{face, 10.5f, true, false, true, false, 0x0000FF});
        if (!picked.isEmpty())
            dialog.findChild<QFontDialog*>()->setCurrentFont(QFont(picked, 12));
        const FontChoice c = dialog.choice();
        QCOMPARE(c.name, picked.isEmpty() ? face : picked);
        QCOMPARE(c.size, picked.isEmpty() ? 10.5f : 12.f);
        QCOMPARE(c.color, 0x0000FFu); // red in the low byte, as the box holds it
        if (picked.isEmpty())
            QVERIFY(c.bold && !c.italic && c.underline);
    }

    // "位置和大小…": typed millimetres for the selected boxes.
    void typedGeometry_data();
    void typedGeometry();
};

void EditingTest::typedGeometry_data() {
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
void EditingTest::typedGeometry() {
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

QTEST_MAIN(EditingTest)
#include "tst_editing.moc"
