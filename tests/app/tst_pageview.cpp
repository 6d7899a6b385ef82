// The page as it prints at every size and zoom, the clerk's zoom, picking boxes with the
// mouse where they overlap, and the caption labels hidden over a scan.
#include "BoxEditor.h"
#include "FontSetup.h"
#include "PageArea.h"
#include "PageRenderer.h"
#include "Units.h"
#include "WindowSession.h"

#include <QComboBox>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

// The main window with the layout unlocked.
struct Window : WindowSession {
    explicit Window(QSize screen) {
        start(screen);
        named<QCheckBox>(QStringLiteral("锁定格式"))->setChecked(false);
    }
    PageArea* area() const { return mf->findChild<PageArea*>(); }
    // The box under a point in page twips, as the mouse finds it.
    int boxAt(QPointF twips) const {
        QWidget* hit = page()->childAt(pixel(twips));
        while (hit && page()->boxIndexOf(hit) < 0)
            hit = hit->parentWidget();
        return hit ? page()->boxIndexOf(hit) : -1;
    }
};

// The columns of a box holding ink, as a share of its width.
double inkShare(QWidget* box) {
    const QImage image = box->grab().toImage();
    int first = image.width();
    int last = -1;
    for (int y = 2; y < image.height() - 2; ++y)
        for (int x = 2; x < image.width() - 2; ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return last < first ? 0 : double(last - first + 1) / image.width();
}

} // namespace

class PageViewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerFontSubstitutions(); }

    void textsAsPrinted_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QString>("face");
        QTest::addColumn<float>("size");
        QTest::newRow("宋体 9 at 1024x768") << QSize(1024, 768) << 1.0 << "宋体" << 9.f;
        QTest::newRow("宋体 12 at 1280x1024") << QSize(1280, 1024) << 1.0 << "宋体" << 12.f;
        QTest::newRow("Zen Hei 10.5 at 1280x1024")
            << QSize(1280, 1024) << 1.0 << "WenQuanYi Zen Hei" << 10.5f;
        QTest::newRow("宋体 9 zoomed 250%") << QSize(1024, 768) << 2.5 << "宋体" << 9.f;
    }
    // A text fills as much of its box on the page as it fills of it on paper.
    void textsAsPrinted() {
        QFETCH(QSize, screen);
        QFETCH(double, zoom);
        QFETCH(QString, face);
        QFETCH(float, size);
        Window w(screen);
        w.area()->zoomAt(zoom, QPointF(0, 0));
        const QString text = QStringLiteral("宁波甬港进出口有限公司 Ningbo 2024");
        w.form().setGeometry(0, 300, 300, 7000, 400);
        w.form().setFontName(0, face);
        w.form().setFontSize(0, size);
        w.form().setText(0, text);
        QImage printer(1, 1, QImage::Format_RGB32);
        printer.setDotsPerMeterX(qRound(1440 / 0.0254));
        printer.setDotsPerMeterY(qRound(1440 / 0.0254));
        const Box& box = w.form().box(0);
        const QFontMetricsF metrics(PageRenderer::deviceFont(box, printer), &printer);
        const double printed = metrics.horizontalAdvance(text) / PageRenderer::wrapWidth(box);
        const double shown = inkShare(w.box(0));
        QVERIFY2(std::abs(shown / printed - 1) < 0.05,
                 qPrintable(QStringLiteral("%1 on the page, %2 printed").arg(shown).arg(printed)));
    }

    void zoom_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<double>("zoom");
        QTest::newRow("wheel in at the pointer") << "wheel" << 1.1;
        QTest::newRow("keys in around the selection") << "in" << 1.25;
        QTest::newRow("out stops at 50%") << "out" << 0.5;
        QTest::newRow("in stops at 400%") << "max" << 4.0;
        QTest::newRow("Ctrl+0 fits the width") << "fit" << 1.0;
    }
    // The model stays in page twips; the boxes scale with the zoom, and the point the zoom
    // turns around stays where it was.
    void zoom() {
        QFETCH(QString, how);
        QFETCH(double, zoom);
        Window w(QSize(1024, 768));
        PageArea* area = w.area();
        const int selected = 30;
        w.form().setSelected(selected, true);
        std::array<Box, BoxCount> model{};
        std::array<QRect, BoxCount> shown{};
        for (int i = 0; i < BoxCount; ++i) {
            model[i] = w.form().box(i);
            shown[i] = w.box(i)->geometry();
        }
        const Box& s = w.form().box(selected);
        const QPointF middle(s.left + s.width / 2, s.top + s.height / 2);
        const auto inViewport = [&](QPointF twips) {
            return w.page()->mapTo(area->viewport(), w.page()->pageToPixel(twips));
        };
        const QPointF pointer = inViewport(middle);
        const QPointF under = w.page()->pixelToPage(QPointF(300, 200));
        const QPointF at = w.page()->mapTo(area->viewport(), QPointF(300, 200));
        w.page()->setFocus();
        if (how == "wheel") {
            QWheelEvent turn(at, area->viewport()->mapToGlobal(at), {}, QPoint(0, 120),
                             Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(area->viewport(), &turn);
        } else if (how == "in") {
            QTest::keyClick(w.page(), Qt::Key_Equal, Qt::ControlModifier);
            QTest::keyClick(w.page(), Qt::Key_Equal, Qt::ControlModifier);
        } else if (how == "out" || how == "max") {
            for (int n = 0; n < 20; ++n)
                QTest::keyClick(w.page(), how == "out" ? Qt::Key_Minus : Qt::Key_Equal,
                                Qt::ControlModifier);
        } else {
            click(named(QStringLiteral("放大")));
            QTest::keyClick(w.page(), Qt::Key_0, Qt::ControlModifier);
        }
        QCOMPARE(area->zoom(), zoom);
        QCOMPARE(named<QComboBox>(QStringLiteral("缩放"))->currentText(),
                 QStringLiteral("%1%").arg(std::lround(zoom * 100)));
        QCOMPARE(area->horizontalScrollBar()->isVisible(), zoom > 1);
        for (int i = 0; i < BoxCount; ++i) {
            QCOMPARE(w.form().box(i).layoutFields(), model[i].layoutFields());
            const QRect now = w.box(i)->geometry();
            // Each edge is rounded to a pixel before and after.
            QVERIFY(std::abs(now.width() - shown[i].width() * zoom) <= 1 + zoom);
            QVERIFY(std::abs(now.left() - shown[i].left() * zoom) <= 1 + zoom);
        }
        // What the zoom turned around is still under the pointer or in its place.
        if (how == "wheel") {
            QVERIFY((inViewport(under) - at).manhattanLength() <= 3);
        } else if (how == "in") {
            QVERIFY((inViewport(middle) - pointer).manhattanLength() <= 3);
        }
    }

    void grips_data() {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QSizeF>("box");
        QTest::addColumn<QSizeF>("grip");
        QTest::newRow("usual box at 100%") << 1.0 << QSizeF(900, 600) << QSizeF(100, 100);
        QTest::newRow("6 px at 50%") << 0.5 << QSizeF(900, 600) << QSizeF(180, 180);
        QTest::newRow("a third of a small box") << 1.0 << QSizeF(150, 300) << QSizeF(50, 100);
    }
    // A grip keeps 6 pixels at every zoom and never covers more than a third of its box.
    void grips() {
        QFETCH(double, zoom);
        QFETCH(QSizeF, box);
        QFETCH(QSizeF, grip);
        Window w(QSize(800, 600));
        w.area()->zoomAt(zoom, QPointF(0, 0));
        const int m = 40;
        w.form().setGeometry(m, 600, 600, float(box.width()), float(box.height()));
        // A pixel is 30 twips at 50 %.
        w.hover(m, QPointF(grip.width() - 40, grip.height() - 40));
        QCOMPARE(w.form().box(m).gripState, BoxEditor::GripMove);
        w.hover(m, QPointF(grip.width() + 40, grip.height() + 40));
        QCOMPARE(w.form().box(m).gripState, BoxEditor::GripText);
    }

    void clicks_data() {
        QTest::addColumn<bool>("selectLarge");
        QTest::addColumn<int>("picked");
        QTest::newRow("the smaller box") << false << 1;
        QTest::newRow("the selected box") << true << 0;
    }
    // Where boxes overlap the click goes to the selected box, else to the smaller one;
    // Ctrl+click adds and removes one box, keeping the others.
    void clicks() {
        QFETCH(bool, selectLarge);
        QFETCH(int, picked);
        Window w(QSize(1024, 768));
        w.form().setGeometry(0, 1000, 1000, 2000, 600);
        w.form().setGeometry(1, 1500, 1100, 500, 270);
        w.form().setSelected(0, selectLarge);
        QTRY_COMPARE(w.boxAt(QPointF(1700, 1200)), picked);
        w.form().setSelected(5, true);
        const auto ctrlClick = [&](int i) {
            QTest::mouseClick(w.target(i), Qt::LeftButton, Qt::ControlModifier,
                              w.onBox(i, QPointF(200, 150)));
        };
        ctrlClick(1);
        QCOMPARE(w.form().box(1).selected(), true);
        QVERIFY(w.form().box(5).selected());
        ctrlClick(5);
        QVERIFY(!w.form().box(5).selected() && w.form().box(1).selected());
        QTRY_COMPARE(w.boxAt(QPointF(1700, 1200)), 1);
    }

    // Zoomed in, the page keeps only a part of the faded scan and moves it while scrolling:
    // every stripe of the scan stays where it belongs on the page.
    void scanWhenZoomed() {
        Form form;
        QWidget strip;
        strip.resize(800, 700);
        PageArea area(form, &strip);
        area.layOut(ScreenTwips::fromPixels(800), ScreenTwips::fromPixels(700));
        QImage scan(210, 297, QImage::Format_RGB32); // a pixel a millimetre
        scan.fill(Qt::white);
        for (int y = 0; y < 297; y += 20)
            QPainter(&scan).fillRect(0, y, 210, 5, Qt::black);
        area.page()->setFormScan(scan, QRectF(0, 0, Units::PageWidth, Units::PageHeight));
        area.page()->setFormScanShown(true);
        area.page()->setLabelsShown(false);
        for (int i = 0; i < BoxCount; ++i)
            area.page()->boxWidget(i)->hide();
        strip.show();
        area.zoomAt(4.0, QPointF(0, 0));
        QScrollBar* bar = area.scrollBar();
        for (const int notches : {0, 3, 9, 20, 7}) {
            bar->setValue(notches * bar->singleStep());
            const QImage shown = area.viewport()->grab().toImage();
            for (int y = 0; y < shown.height(); y += 7) {
                const QPoint at(shown.width() / 2, y);
                const double mm = area.page()->pixelToPage(at - area.page()->pos()).y() /
                                  Units::PageTwipsPerMm;
                const double inStripe = std::fmod(mm, 20);
                if (inStripe > 0.5 && inStripe < 4.5)
                    QVERIFY(qGray(shown.pixel(at)) < 200);
                else if (inStripe > 6 && inStripe < 19)
                    QCOMPARE(shown.pixel(at), QColor(Qt::white).rgb());
            }
        }
    }

    // "显示标签" hides the captions and is remembered for the next start.
    void labelsHidden() {
        Window w(QSize(1024, 768));
        const Label& l = w.form().label(0);
        const QRect caption = w.page()->pageRectToPixels(QRectF(l.left, l.top, l.width, l.height));
        const auto inked = [&] {
            const QImage image = w.page()->grab(caption).toImage();
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixel(x, y) != w.page()->backColor().rgb())
                        return true;
            return false;
        };
        QVERIFY(inked());
        click(QStringLiteral("显示标签"));
        QVERIFY(!inked());
        w.close();
        w.start(QSize(1024, 768));
        QVERIFY(!named(QStringLiteral("显示标签"))->isChecked());
        QVERIFY(!inked());
    }
};

QTEST_MAIN(PageViewTest)
#include "tst_pageview.moc"
