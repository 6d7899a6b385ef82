#include "CanvasLayout.h"
#include "Form.h"
#include "PageArea.h"
#include "PageWidget.h"
#include "RulerGrid.h"
#include "Units.h"

#include "ClerkTyping.h"
#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

namespace {

constexpr double MillimetreOfPage = Units::PageHeight / 297.0;

// A page widget on a canvas `canvasWidth` screen twips wide, the way the canvas layout sizes it.
struct Page {
    Form form;
    QWidget host;
    PageWidget page{form, &host};
    explicit Page(double canvasWidth = Units::PageWidth) {
        page.setCanvasSize(QSizeF(canvasWidth, canvasWidth * 297.0 / 210.0));
        page.setBackColor(0xFFD0FF);
    }
    QPoint atMm(double x, double y) const {
        return page.pageToPixel(QPointF(x, y) * MillimetreOfPage).toPoint();
    }
};

// Pixels of `colour` in `area`, or within one pixel of a single point.
int pixelsOf(const QImage& image, const QRect& area, const QColor& colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += image.rect().contains(x, y) && QColor(image.pixel(x, y)).rgb() == colour.rgb();
    return n;
}
int pixelsNear(const QImage& image, QPoint at, const QColor& colour) {
    return pixelsOf(image, QRect(at - QPoint(1, 1), QSize(3, 3)), colour);
}

QRectF scaled(const QRectF& r, double zoom) {
    return QRectF(r.topLeft() * zoom, r.size() * zoom);
}

} // namespace

class PageTest : public QObject {
    Q_OBJECT
private slots:
    void scrollingBringsBoxesIntoView();
    void boxesFollowTheModelAtEveryZoom_data();
    void boxesFollowTheModelAtEveryZoom();
    void typingKeepsCaretAndLineBreaks();
    void boxWidgets_data();
    void boxWidgets();
    void rulerGridDrawnAndErased_data();
    void rulerGridDrawnAndErased();
};

void PageTest::scrollingBringsBoxesIntoView() {
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
    const CanvasLayout& l = area.layout();
    QScrollBar* bar = area.scrollBar();
    bar->setValue(bar->maximum());
    // The page's bottom edge stands 10 twips above the viewport's bottom edge.
    QVERIFY(std::abs(area.canvasTop() + l.canvas.height() - (l.viewport.height() - 10)) < 0.01);
    QCOMPARE(area.page()->y(), ScreenTwips::toPixels(area.canvasTop()));
    // A new layout returns the page to its top.
    area.layOut(11615, 9940);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(area.canvasTop(), -10.0);

    strip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&strip));
    QWheelEvent down(QPointF(100, 100), area.viewport()->mapToGlobal(QPointF(100, 100)), QPoint(),
                     QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(area.viewport(), &down);
    QVERIFY(bar->value() > 0);
    auto visible = [&](int index) {
        const QRect box = area.page()->boxWidget(index)->geometry().translated(area.page()->pos());
        return box.top() >= 0 && box.bottom() < area.viewport()->height();
    };
    // Box 39 lies at the bottom of the page, out of the viewport at the top scroll position.
    bar->setValue(0);
    QVERIFY(!visible(39));
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

void PageTest::boxesFollowTheModelAtEveryZoom_data() {
    QTest::addColumn<double>("canvasWidth");
    QTest::newRow("zoom 1") << 7935.0;
    QTest::newRow("1024x768") << 11295.0;
    QTest::newRow("small") << 4000.0;
}

void PageTest::boxesFollowTheModelAtEveryZoom() {
    QFETCH(double, canvasWidth);
    Page p(canvasWidth);
    const double zoom = canvasWidth / 7935.0;
    // One millimetre of paper is the same number of page twips on every canvas.
    QVERIFY(std::abs(p.page.pixelToPage(QPointF(canvasWidth / 15 / 210, 0)).x() -
                     MillimetreOfPage) < 0.01);
    p.form.setGeometry(5, 1500, 3000, 1200, 450);
    p.form.CtlMove(5, 150, -75);
    QWidget* w = p.page.boxWidget(5);
    QCOMPARE(w->geometry(), ScreenTwips::toPixelRect(scaled(QRectF(1650, 2925, 1200, 450), zoom)));

    p.form.setFontSize(5, 12);
    p.form.setForeColor(5, 0xFF0000); // blue in the model's colour order
    p.form.setSelected(5, true);
    // 12 points at this zoom on the 96-dpi screen the twips are counted on.
    QVERIFY(std::abs(QFontInfo(w->font()).pointSizeF() * w->logicalDpiY() / 96.0 - 12 * zoom) <
            0.6);
    QCOMPARE(w->palette().color(QPalette::Text), QColor(0, 0, 255));
    QCOMPARE(w->palette().color(QPalette::Base), QColor(208, 208, 208));
    p.form.setSelected(5, false);
    QCOMPARE(w->palette().color(QPalette::Base), QColor(255, 255, 255));
    p.form.setEnabled(5, false);
    QVERIFY(!w->isEnabled());

    // A new zoom rescales what is already there.
    p.page.setCanvasSize(QSizeF(canvasWidth * 2, canvasWidth * 2 * 297 / 210));
    QCOMPARE(w->geometry().topLeft(),
             ScreenTwips::toPixelRect(scaled(QRectF(1650, 2925, 1, 1), zoom * 2)).topLeft());
}

void PageTest::typingKeepsCaretAndLineBreaks() {
    Page p;
    p.form.setContentChanged(false);
    typeLikeClerk(p.page.boxWidget(10), QStringLiteral("上海贸易公司"));
    QCOMPARE(p.form.text(10), QStringLiteral("上海贸易公司"));
    QVERIFY(p.form.ContentChanged());

    auto* line = qobject_cast<QLineEdit*>(p.page.boxWidget(1));
    p.form.setText(1, QStringLiteral("abcd"));
    line->setCursorPosition(1);
    QTest::keyClicks(line, QStringLiteral("X"));
    // The model took the typed text without setting it back over the caret.
    QCOMPARE(p.form.text(1), QStringLiteral("aXbcd"));
    QCOMPARE(line->cursorPosition(), 2);

    auto* multi = qobject_cast<QPlainTextEdit*>(p.page.boxWidget(31));
    p.form.setText(31, QStringLiteral("唛头\r\n\r\nN/M"));
    QCOMPARE(multi->toPlainText(), QStringLiteral("唛头\n\nN/M"));
    QCOMPARE(p.form.text(31), QStringLiteral("唛头\r\n\r\nN/M"));
    QTextCursor c = multi->textCursor();
    c.setPosition(1);
    multi->setTextCursor(c);
    QTest::keyClick(multi, Qt::Key_Return);
    QTest::keyClicks(multi, QStringLiteral("q"));
    // A line typed by the user is stored with CR LF, the caret where it was typed.
    QCOMPARE(p.form.text(31), QStringLiteral("唛\r\nq头\r\n\r\nN/M"));
    QCOMPARE(multi->textCursor().position(), 3);
}

void PageTest::boxWidgets_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("next"); // in the tab order
    QTest::newRow("marks to the goods") << 31 << 41;
    QTest::newRow("line 2 runs right to left") << 56 << 55;
    QTest::newRow("line 2 to line 3") << 49 << 73;
    QTest::newRow("seal before the date") << 40 << 39;
}

void PageTest::boxWidgets() {
    QFETCH(int, index);
    QFETCH(int, next);
    Page p;
    for (int i = 0; i < BoxCount; ++i)
        QCOMPARE(qobject_cast<QPlainTextEdit*>(p.page.boxWidget(i)) != nullptr,
                 Catalogue::field(i).multiLine);
    QWidget* w = p.page.boxWidget(index)->nextInFocusChain();
    // A plain-text edit's viewport follows the edit itself in the chain.
    while (w && (p.page.boxIndexOf(w) < 0 || p.page.boxIndexOf(w) == index))
        w = w->nextInFocusChain();
    QCOMPARE(p.page.boxIndexOf(w), next);
    // The pointer tells what a press would do: move, resize, or place the caret.
    const QList<QPair<int, Qt::CursorShape>> grips{
        {1, Qt::ArrowCursor}, {8, Qt::SizeFDiagCursor}, {3, Qt::IBeamCursor}};
    for (const auto& [state, shape] : grips) {
        p.form.setGripState(index, state);
        QCOMPARE(p.page.boxMouseTarget(index)->cursor().shape(), shape);
    }
    QCOMPARE(p.page.cursor().shape(), Qt::CrossCursor);
}

void PageTest::rulerGridDrawnAndErased_data() {
    QTest::addColumn<double>("canvasWidth");
    QTest::newRow("1024x768") << 11295.0;
    QTest::newRow("1600x1200") << 20295.0;
}

void PageTest::rulerGridDrawnAndErased() {
    QFETCH(double, canvasWidth);
    Page p(canvasWidth);
    const QColor pink(255, 208, 255);
    const QColor highlight = p.page.palette().color(QPalette::Highlight);
    QImage shot = p.page.grab().toImage();
    // Captions are drawn in the highlight colour; boxes 49 to 80 carry none.
    const Label& l = p.form.label(10);
    QVERIFY(pixelsOf(shot, p.page.pageRectToPixels(QRectF(l.left, l.top, l.width, l.height)),
                     highlight) > 0);
    const Box& b = p.form.box(52);
    QCOMPARE(pixelsOf(shot, p.page.pageRectToPixels(QRectF(b.left, b.top - 170, b.width, 160)),
                      highlight),
             0);

    // Row 9 mm lies between two grid lines and above every box and the title.
    p.host.resize(p.page.size());
    p.host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.host));
    p.page.drawRulerGrid(true);
    p.form.CtlMove(3, 100, 100);
    QCoreApplication::processEvents();
    shot = p.page.grab().toImage(); // drawn once, still there after repaints
    for (int cm : {1, 9, 20})
        QVERIFY2(pixelsNear(shot, p.atMm(cm * 10, 9), RulerGrid::CentimetreLine),
                 QByteArray::number(cm));
    for (int mm : {2, 48, 206})
        QVERIFY2(pixelsNear(shot, p.atMm(mm, 9), RulerGrid::MillimetreLine),
                 QByteArray::number(mm));
    QCOMPARE(QColor(shot.pixel(p.atMm(13, 9))), pink);
    // Numbers every 2 cm, none at the odd centimetres.
    const int number = static_cast<int>(5 * p.atMm(1, 0).x());
    const auto dark = [&](QPoint at) {
        int n = 0;
        for (int y = 0; y < number; ++y)
            for (int x = -number / 2; x < number / 2; ++x)
                n += shot.rect().contains(at + QPoint(x, y)) &&
                     qGray(shot.pixel(at + QPoint(x, y))) < 100;
        return n;
    };
    QVERIFY(dark(p.atMm(20, 0)) > 0);
    QCOMPARE(dark(p.atMm(30, 0)), 0);

    // A new page colour clears the drawings.
    p.page.setBackColor(0xFFFFD0);
    shot = p.page.grab().toImage();
    QCOMPARE(QColor(shot.pixel(p.atMm(10, 9))), QColor(208, 255, 255));
    QCOMPARE(dark(p.atMm(20, 0)), 0);
}

QTEST_MAIN(PageTest)
#include "tst_page.moc"
