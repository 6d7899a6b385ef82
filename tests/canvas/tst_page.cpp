#include "BoxText.h"
#include "CanvasLayout.h"
#include "Form.h"
#include "PageArea.h"
#include "PageWidget.h"
#include "RulerGrid.h"
#include "Units.h"

#include "ClerkTyping.h"
#include <QFontInfo>
#include <QInputMethodEvent>
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
    QImage shot() { return page.grab().toImage(); }
};

// The colour found within one pixel of `at`, preferring `wanted`.
bool colourNear(const QImage& image, QPoint at, const QColor& wanted) {
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) {
            const QPoint p = at + QPoint(dx, dy);
            if (image.rect().contains(p) && QColor(image.pixel(p)).rgb() == wanted.rgb())
                return true;
        }
    return false;
}

void type(QWidget* box, const QString& text) {
    typeLikeClerk(box, text);
}

int darkPixelsIn(const QImage& image, const QRect& area) {
    int dark = 0;
    for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
        for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x)
            if (qGray(image.pixel(x, y)) < 100)
                ++dark;
    return dark;
}

} // namespace

class PageTest : public QObject {
    Q_OBJECT
private slots:
    void canvasLayout_data();
    void canvasLayout();
    void scrollShowsTopAndBottom_data();
    void scrollShowsTopAndBottom();
    void tinyStripsGiveEmptySizesNotCrashes();
    void wheelAndFocusBringThePageAlong();
    void pixelsAndPageTwipsRoundTrip_data();
    void pixelsAndPageTwipsRoundTrip();
    void boxesFollowTheModelAtEveryZoom_data();
    void boxesFollowTheModelAtEveryZoom();
    void typingWritesTheModel_data();
    void typingWritesTheModel();
    void modelTextKeepsTheCaret();
    void multiLineTextRoundTripsCrLf_data();
    void multiLineTextRoundTripsCrLf();
    void gripStateShowsAsPointer_data();
    void gripStateShowsAsPointer();
    void boxKindsAndTabOrder_data();
    void boxKindsAndTabOrder();
    void accessibleNamesFollowTheMode_data();
    void accessibleNamesFollowTheMode();
    void rulerGridDrawnAndErased_data();
    void rulerGridDrawnAndErased();
    void colourChangeClearsDrawings();
    void drawingsSurviveRepaints();
    void labelsArePaintedInTheHighlightColour();
};

void PageTest::canvasLayout_data() {
    QTest::addColumn<double>("stripWidth");
    QTest::addColumn<double>("stripHeight");
    QTest::addColumn<double>("viewportWidth");
    QTest::addColumn<double>("viewportHeight");
    QTest::addColumn<double>("canvasHeight");
    QTest::addColumn<int>("scrollMaximum");
    QTest::addColumn<int>("smallStep");
    QTest::addColumn<int>("largeStep");
    // 1024 × 768 pixels: the mode strip after the first window layout and on later entries.
    QTest::newRow("1024x768 first")
        << 11615.0 << 9940.0 << 11295.0 << 9640.0 << 15974.357 << 15974 << 964 << 9640;
    QTest::newRow("1024x768 later")
        << 11615.0 << 10060.0 << 11295.0 << 9760.0 << 15974.357 << 15974 << 976 << 9760;
    // 800 × 600 pixels is the screen the page twips were drawn for: zoom exactly 1.
    QTest::newRow("800x600") << 8255.0 << 7180.0 << 7935.0 << 6880.0 << 11222.357 << 11222 << 688
                             << 6880;
    // A page taller than the scroll bar's range is scrolled in proportion.
    QTest::newRow("1920x1080") << 25055.0 << 14620.0 << 24735.0 << 14320.0 << 34982.357 << 32767
                               << 1341 << 13413;
}

void PageTest::canvasLayout() {
    QFETCH(double, stripWidth);
    QFETCH(double, stripHeight);
    QFETCH(double, viewportWidth);
    QFETCH(double, viewportHeight);
    QFETCH(double, canvasHeight);
    QFETCH(int, scrollMaximum);
    QFETCH(int, smallStep);
    QFETCH(int, largeStep);
    const CanvasLayout l = computeCanvasLayout(stripWidth, stripHeight);
    QCOMPARE(l.viewport, QRectF(0, 300, viewportWidth, viewportHeight));
    QCOMPARE(l.canvas.topLeft(), QPointF(-10, -10));
    QCOMPARE(l.canvas.width(), viewportWidth);
    QVERIFY2(std::abs(l.canvas.height() - canvasHeight) < 0.001,
             qPrintable(QString::number(l.canvas.height(), 'f', 4)));
    QCOMPARE(l.scrollBar, QRectF(viewportWidth + 10, 300, 280, viewportHeight));
    QCOMPARE(l.scrollMaximum, scrollMaximum);
    QCOMPARE(l.smallStep, smallStep);
    QCOMPARE(l.largeStep, largeStep);
    // The title is centred on the viewport, 23 mm below the page top, whatever the zoom.
    QVERIFY(std::abs(l.title.center().x() - viewportWidth / 2) < 0.001);
    QVERIFY(std::abs(l.title.top() - canvasHeight * 23 / 297) < 0.01);
    QVERIFY(std::abs(l.title.width() / l.zoom() - 5175) < 0.001);
}

void PageTest::scrollShowsTopAndBottom_data() {
    QTest::addColumn<double>("stripWidth");
    QTest::addColumn<double>("stripHeight");
    QTest::newRow("1024x768") << 11615.0 << 9940.0;
    QTest::newRow("1920x1080") << 25055.0 << 14620.0;
}

void PageTest::scrollShowsTopAndBottom() {
    QFETCH(double, stripWidth);
    QFETCH(double, stripHeight);
    Form form;
    QWidget strip;
    PageArea area(form, &strip);
    area.layOut(stripWidth, stripHeight);
    const CanvasLayout& l = area.layout();
    QScrollBar* bar = area.scrollBar();
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), l.scrollMaximum);

    bar->setValue(bar->maximum());
    // The page's bottom edge stands 10 twips above the viewport's bottom edge.
    QVERIFY(std::abs(area.canvasTop() + l.canvas.height() - (l.viewport.height() - 10)) < 0.01);
    QCOMPARE(area.page()->y(), ScreenTwips::toPixels(area.canvasTop()));

    bar->setValue(bar->maximum() / 2);
    QVERIFY(area.canvasTop() < -10);
    QVERIFY(area.canvasTop() > -(l.canvas.height() - l.viewport.height()) - 10);

    bar->setValue(0);
    QCOMPARE(area.canvasTop(), -10.0);

    // A new layout returns the page to its top.
    bar->setValue(bar->maximum());
    area.layOut(stripWidth, stripHeight);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(area.canvasTop(), -10.0);
    QCOMPARE(area.page()->y(), ScreenTwips::toPixels(-10));
}

void PageTest::tinyStripsGiveEmptySizesNotCrashes() {
    Form form;
    QWidget strip;
    PageArea area(form, &strip);
    for (const QSizeF size :
         {QSizeF(0, 0), QSizeF(100, 50), QSizeF(-4000, -2000), QSizeF(330, 310)}) {
        area.layOut(size.width(), size.height());
        const CanvasLayout& l = area.layout();
        QVERIFY(l.viewport.width() >= 0);
        QVERIFY(l.viewport.height() >= 0);
        QVERIFY(l.scrollBar.height() >= 0);
        QVERIFY(area.page()->zoom() > 0);
        area.scrollBar()->setValue(area.scrollBar()->maximum());
        QVERIFY(std::isfinite(area.canvasTop()));
        form.setText(3, QStringLiteral("x"));
        area.page()->drawRulerGrid(true);
        const QPointF there = area.page()->pixelToPage(QPointF(1, 1));
        QVERIFY(std::isfinite(there.x()) && std::isfinite(there.y()));
    }
}

void PageTest::wheelAndFocusBringThePageAlong() {
    Form form;
    QWidget strip;
    strip.resize(800, 700);
    PageArea area(form, &strip);
    area.layOut(11615, 9940);
    strip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&strip));
    QScrollBar* bar = area.scrollBar();

    QWheelEvent down(QPointF(100, 100), area.viewport()->mapToGlobal(QPointF(100, 100)), QPoint(),
                     QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(area.viewport(), &down);
    QVERIFY(bar->value() > 0);
    const int afterWheel = bar->value();

    auto visible = [&](int index) {
        const QRect box = area.page()->boxWidget(index)->geometry().translated(area.page()->pos());
        return box.top() >= 0 && box.bottom() < area.viewport()->height();
    };
    // Box 39 lies at the bottom of the page, out of the viewport at the top scroll position.
    bar->setValue(0);
    QVERIFY(!visible(39));
    area.showBox(39);
    QVERIFY(visible(39));
    QVERIFY(bar->value() > afterWheel);
    area.showBox(0);
    QVERIFY(visible(0));
    const int shown = bar->value();
    area.showBox(3); // already in view: nothing moves
    QCOMPARE(bar->value(), shown);

    strip.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&strip));
    area.page()->boxWidget(87)->setFocus();
    QVERIFY(visible(87));
}

void PageTest::pixelsAndPageTwipsRoundTrip_data() {
    QTest::addColumn<double>("canvasWidth");
    QTest::newRow("zoom 1") << 7935.0;
    QTest::newRow("1024x768") << 11295.0;
    QTest::newRow("small") << 4000.0;
}

void PageTest::pixelsAndPageTwipsRoundTrip() {
    QFETCH(double, canvasWidth);
    Page p(canvasWidth);
    QCOMPARE(p.page.width(), ScreenTwips::toPixels(canvasWidth));
    // The page's right edge in page twips lands on the canvas's right edge in pixels.
    QVERIFY(std::abs(p.page.pageToPixel(QPointF(7935, 0)).x() - canvasWidth / 15) < 1e-9);
    QVERIFY(std::abs(p.page.pageHeight() - Units::PageHeight) < 1e-6);
    for (const QPointF px : {QPointF(0, 0), QPointF(17.5, 3), QPointF(400, 900)}) {
        const QPointF back = p.page.pageToPixel(p.page.pixelToPage(px));
        QVERIFY(std::abs(back.x() - px.x()) < 1e-9 && std::abs(back.y() - px.y()) < 1e-9);
    }
    // One millimetre of paper is the same number of page twips on every canvas.
    const QPointF mm = p.page.pixelToPage(QPointF(canvasWidth / 15 / 210, 0));
    QVERIFY(std::abs(mm.x() - MillimetreOfPage) < 0.01);
}

void PageTest::boxesFollowTheModelAtEveryZoom_data() {
    pixelsAndPageTwipsRoundTrip_data();
}

void PageTest::boxesFollowTheModelAtEveryZoom() {
    QFETCH(double, canvasWidth);
    Page p(canvasWidth);
    const double zoom = canvasWidth / 7935.0;
    p.form.setGeometry(5, 1500, 3000, 1200, 450);
    QWidget* w = p.page.boxWidget(5);
    const QRect expected =
        ScreenTwips::toPixelRect(QRectF(1500 * zoom, 3000 * zoom, 1200 * zoom, 450 * zoom));
    QCOMPARE(w->geometry(), expected);

    p.form.CtlMove(5, 150, -75);
    QCOMPARE(w->geometry().topLeft(),
             ScreenTwips::toPixelRect(QRectF(1650 * zoom, 2925 * zoom, 1200 * zoom, 450 * zoom))
                 .topLeft());

    p.form.setFontSize(5, 12);
    p.form.setFontBold(5, true);
    p.form.setForeColor(5, 0xFF0000); // blue in the model's colour order
    p.form.setSelected(5, true);
    // 12 points at this zoom on the 96-dpi screen the twips are counted on.
    QVERIFY2(std::abs(QFontInfo(w->font()).pointSizeF() * w->logicalDpiY() / 96.0 - 12 * zoom) <
                 0.6,
             qPrintable(QString::number(QFontInfo(w->font()).pointSizeF())));
    QVERIFY(w->font().bold());
    QCOMPARE(w->palette().color(QPalette::Text), QColor(0, 0, 255));
    QCOMPARE(w->palette().color(QPalette::Base), QColor(208, 208, 208));
    p.form.setSelected(5, false);
    QCOMPARE(w->palette().color(QPalette::Base), QColor(255, 255, 255));
    p.form.setEnabled(5, false);
    QVERIFY(!w->isEnabled());

    // A new zoom rescales what is already there.
    p.page.setCanvasSize(QSizeF(canvasWidth * 2, canvasWidth * 2 * 297 / 210));
    QCOMPARE(w->geometry().topLeft(),
             ScreenTwips::toPixelRect(QRectF(1650 * zoom * 2, 2925 * zoom * 2, 1, 1)).topLeft());
}

void PageTest::typingWritesTheModel_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("typed");
    QTest::newRow("single-line") << 0 << QStringLiteral("A12345");
    QTest::newRow("single-line chinese") << 10 << QStringLiteral("上海贸易公司");
    QTest::newRow("multi-line") << 43 << QStringLiteral("钢管 DN50");
}

void PageTest::typingWritesTheModel() {
    QFETCH(int, index);
    QFETCH(QString, typed);
    Page p;
    p.form.setContentChanged(false);
    type(p.page.boxWidget(index), typed);
    QCOMPARE(p.form.text(index), typed);
    QVERIFY(p.form.ContentChanged());
    QTest::keyClick(p.page.boxWidget(index), Qt::Key_Backspace);
    QCOMPARE(p.form.text(index), typed.chopped(1));
}

void PageTest::modelTextKeepsTheCaret() {
    Page p;
    auto* line = qobject_cast<QLineEdit*>(p.page.boxWidget(1));
    QVERIFY(line);
    p.form.setText(1, QStringLiteral("abcd"));
    QCOMPARE(line->text(), QStringLiteral("abcd"));
    line->setCursorPosition(1);
    QTest::keyClicks(line, QStringLiteral("X"));
    // The model took the typed text without setting it back over the caret.
    QCOMPARE(p.form.text(1), QStringLiteral("aXbcd"));
    QCOMPARE(line->cursorPosition(), 2);

    auto* multi = qobject_cast<QPlainTextEdit*>(p.page.boxWidget(32));
    QVERIFY(multi);
    p.form.setText(32, QStringLiteral("one\r\ntwo"));
    QTextCursor c = multi->textCursor();
    c.setPosition(2);
    multi->setTextCursor(c);
    QTest::keyClicks(multi, QStringLiteral("Z"));
    QCOMPARE(p.form.text(32), QStringLiteral("onZe\r\ntwo"));
    QCOMPARE(multi->textCursor().position(), 3);

    // A text set in the model replaces what the box shows.
    p.form.setText(32, QStringLiteral("new"));
    QCOMPARE(multi->toPlainText(), QStringLiteral("new"));
}

void PageTest::multiLineTextRoundTripsCrLf_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("shown");
    QTest::newRow("one break") << QStringLiteral("唛头\r\nN/M") << QStringLiteral("唛头\nN/M");
    QTest::newRow("empty lines") << QStringLiteral("\r\n\r\nx\r\n") << QStringLiteral("\n\nx\n");
    QTest::newRow("no break") << QStringLiteral("plain") << QStringLiteral("plain");
}

void PageTest::multiLineTextRoundTripsCrLf() {
    QFETCH(QString, model);
    QFETCH(QString, shown);
    Page p;
    auto* multi = qobject_cast<QPlainTextEdit*>(p.page.boxWidget(31));
    QVERIFY(multi);
    p.form.setText(31, model);
    QCOMPARE(multi->toPlainText(), shown);
    // Showing the text wrote nothing back: the model keeps its CR LF form.
    QCOMPARE(p.form.text(31), model);
    QCOMPARE(p.page.boxWidgetText(31), model);

    // A line typed by the user is stored with CR LF.
    QTextCursor c = multi->textCursor();
    c.movePosition(QTextCursor::End);
    multi->setTextCursor(c);
    QTest::keyClick(multi, Qt::Key_Return);
    QTest::keyClicks(multi, QStringLiteral("q"));
    QCOMPARE(p.form.text(31), model + QStringLiteral("\r\nq"));
    QCOMPARE(BoxText::toModel(BoxText::toWidget(p.form.text(31))), p.form.text(31));
}

void PageTest::gripStateShowsAsPointer_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("shape");
    QTest::newRow("move grip, single-line") << 0 << 1 << int(Qt::ArrowCursor);
    QTest::newRow("resize grip, multi-line") << 43 << 8 << int(Qt::SizeFDiagCursor);
    QTest::newRow("text") << 43 << 3 << int(Qt::IBeamCursor);
    QTest::newRow("before the first hover") << 0 << 0 << int(Qt::IBeamCursor);
}

void PageTest::gripStateShowsAsPointer() {
    QFETCH(int, index);
    QFETCH(int, state);
    QFETCH(int, shape);
    Page p;
    p.form.setGripState(index, state == 0 ? 1 : 0);
    p.form.setGripState(index, state);
    QCOMPARE(int(p.page.boxMouseTarget(index)->cursor().shape()), shape);
    QCOMPARE(p.page.cursor().shape(), Qt::CrossCursor);
}

void PageTest::boxKindsAndTabOrder_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    // Pairs of boxes that follow each other in the catalogue's tab order.
    QTest::newRow("header start") << 0 << 1;
    QTest::newRow("into the marks") << 30 << 31;
    QTest::newRow("marks to the goods table") << 31 << 41;
    QTest::newRow("line 1 to line 2") << 48 << 56;
    QTest::newRow("line 2 runs right to left") << 56 << 55;
    QTest::newRow("line 2 to line 3") << 49 << 73;
    QTest::newRow("goods table to the taxes") << 64 << 32;
    QTest::newRow("seal before the date") << 40 << 39;
    QTest::newRow("customs fields") << 87 << 81;
}

void PageTest::boxKindsAndTabOrder() {
    QFETCH(int, from);
    QFETCH(int, to);
    Page p;
    for (int i = 0; i < BoxCount; ++i) {
        const bool multi = qobject_cast<QPlainTextEdit*>(p.page.boxWidget(i)) != nullptr;
        QCOMPARE(multi, Catalogue::field(i).multiLine);
        QCOMPARE(p.page.boxIndexOf(p.page.boxWidget(i)), i);
        QCOMPARE(p.page.boxIndexOf(p.page.boxMouseTarget(i)), i);
    }
    QCOMPARE(p.page.boxIndexOf(&p.page), -1);
    QWidget* next = p.page.boxWidget(from)->nextInFocusChain();
    // A plain-text edit's viewport follows the edit itself in the chain.
    while (next && (p.page.boxIndexOf(next) < 0 || p.page.boxIndexOf(next) == from))
        next = next->nextInFocusChain();
    QVERIFY(next);
    QCOMPARE(p.page.boxIndexOf(next), to);
}

void PageTest::accessibleNamesFollowTheMode_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::newRow("import consignee") << 1 << 10 << QStringLiteral("收货单位");
    QTest::newRow("export consignor") << 0 << 10 << QStringLiteral("发货单位");
    QTest::newRow("header field") << 1 << 0 << QStringLiteral("预录入编号：");
    QTest::newRow("line 2 levy") << 1 << 49 << QStringLiteral("第2行 征免");
    QTest::newRow("line 5 item") << 0 << 57 << QStringLiteral("第5行 项号");
    QTest::newRow("line 3 price, import") << 1 << 77 << QStringLiteral("第3行 原产国(地区)单价");
    QTest::newRow("line 4 price, export")
        << 0 << 69 << QStringLiteral("第4行 最终目的国(地区)单价");
}

void PageTest::accessibleNamesFollowTheMode() {
    QFETCH(int, mode);
    QFETCH(int, index);
    QFETCH(QString, name);
    Page p;
    // Start from the other mode so that the names really have to change.
    p.form.labelBoxes(mode == 0 ? Mode::Import : Mode::Export);
    p.form.labelBoxes(static_cast<Mode>(mode));
    QCOMPARE(p.page.boxWidget(index)->accessibleName(), name);
    QCOMPARE(p.page.accessibleName(), QStringLiteral("报关单页面"));
}

void PageTest::rulerGridDrawnAndErased_data() {
    QTest::addColumn<double>("canvasWidth");
    QTest::newRow("zoom 1") << 7935.0;
    QTest::newRow("1024x768") << 11295.0;
    QTest::newRow("1600x1200") << 20295.0;
}

void PageTest::rulerGridDrawnAndErased() {
    QFETCH(double, canvasWidth);
    Page p(canvasWidth);
    const QColor page(255, 208, 255);
    // Row 9 mm lies between two grid lines and above every box and the title.
    auto at = [&](double xmm, double ymm) {
        return p.page.pageToPixel(QPointF(xmm * MillimetreOfPage, ymm * MillimetreOfPage))
            .toPoint();
    };

    QImage before = p.shot();
    QCOMPARE(QColor(before.pixel(at(10, 9))), page);

    p.page.drawRulerGrid(true);
    QImage grid = p.shot();
    for (int cm : {1, 3, 5, 9, 15, 20})
        QVERIFY2(colourNear(grid, at(cm * 10, 9), RulerGrid::CentimetreLine),
                 qPrintable(QString::number(cm)));
    for (int mm : {2, 4, 12, 48, 206})
        QVERIFY2(colourNear(grid, at(mm, 9), RulerGrid::MillimetreLine),
                 qPrintable(QString::number(mm)));
    QVERIFY(colourNear(grid, at(11, 10), RulerGrid::CentimetreLine)); // the 1 cm row line
    QCOMPARE(QColor(grid.pixel(at(11, 9))), page);
    QCOMPARE(QColor(grid.pixel(at(13, 9))), page);

    // Numbers every 2 cm: top and bottom edge near their line, left edge beside theirs.
    const double pxPerMm = p.page.pageToPixel(QPointF(MillimetreOfPage, 0)).x();
    const int number = static_cast<int>(5 * pxPerMm);
    QVERIFY(darkPixelsIn(grid, QRect(at(20, 0) - QPoint(number / 2, 0), QSize(number, number))) >
            0);
    QVERIFY(darkPixelsIn(grid,
                         QRect(at(40, 292), QSize(number, number)).translated(-number / 2, 0)) > 0);
    QVERIFY(darkPixelsIn(grid, QRect(at(0, 98), QSize(number, number))) > 0);
    // No number at the odd centimetres.
    QCOMPARE(darkPixelsIn(grid, QRect(at(29, 0), QSize(int(2 * pxPerMm), int(4 * pxPerMm)))), 0);

    p.page.drawRulerGrid(false);
    QImage erased = p.shot();
    QCOMPARE(QColor(erased.pixel(at(10, 9))), page);
    QCOMPARE(QColor(erased.pixel(at(12, 9))), page);
    QCOMPARE(darkPixelsIn(erased, QRect(at(20, 0) - QPoint(number / 2, 0), QSize(number, number))),
             0);
}

void PageTest::colourChangeClearsDrawings() {
    Page p(11295);
    p.page.drawRulerGrid(true);
    QVERIFY(!p.page.drawingLayer().isNull());
    p.page.setBackColor(0xFFFFD0);
    const QImage shot = p.shot();
    const QPoint at =
        p.page.pageToPixel(QPointF(10 * MillimetreOfPage, 9 * MillimetreOfPage)).toPoint();
    QCOMPARE(QColor(shot.pixel(at)), QColor(208, 255, 255));
    const QImage& layer = p.page.drawingLayer();
    for (int y = 0; y < layer.height(); y += 7)
        for (int x = 0; x < layer.width(); x += 7)
            QCOMPARE(qAlpha(layer.pixel(x, y)), 0);
}

void PageTest::drawingsSurviveRepaints() {
    Page p(11295);
    p.host.resize(900, 1200);
    p.host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.host));
    p.page.drawRulerGrid(true);
    p.page.repaint();
    p.form.setText(3, QStringLiteral("repaint"));
    p.form.CtlMove(3, 100, 100);
    QCoreApplication::processEvents();
    p.page.update();
    QCoreApplication::processEvents();
    const QPoint at =
        p.page.pageToPixel(QPointF(10 * MillimetreOfPage, 9 * MillimetreOfPage)).toPoint();
    QVERIFY(colourNear(p.shot(), at, RulerGrid::CentimetreLine));
}

void PageTest::labelsArePaintedInTheHighlightColour() {
    Page p(11295);
    const QColor highlight = p.page.palette().color(QPalette::Highlight);
    const Label& l = p.form.label(10);
    const QRect r = p.page.pageRectToPixels(QRectF(l.left, l.top, l.width, l.height));
    const QImage shot = p.shot();
    int inHighlight = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (QColor(shot.pixel(x, y)).rgb() == highlight.rgb())
                ++inHighlight;
    QVERIFY(inHighlight > 0);
    // Boxes 49 to 80 carry no caption: nothing is drawn in front of line 2's boxes.
    const Box& b = p.form.box(52);
    const QRect above = p.page.pageRectToPixels(QRectF(b.left, b.top - 170, b.width, 160));
    int drawn = 0;
    for (int y = above.top(); y <= above.bottom(); ++y)
        for (int x = above.left(); x <= above.right(); ++x)
            if (QColor(shot.pixel(x, y)).rgb() == highlight.rgb())
                ++drawn;
    QCOMPARE(drawn, 0);
}

QTEST_MAIN(PageTest)
#include "tst_page.moc"
