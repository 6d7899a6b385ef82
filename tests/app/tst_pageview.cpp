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
    QPointF inViewport(QPointF twips) const {
        return page()->mapTo(area()->viewport(), page()->pageToPixel(twips));
    }
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
    int first = image.width(), last = -1;
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
        QImage printer(1, 1, QImage::Format_RGB32); // a dot a printer twip
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
        QTest::addColumn<int>("key"); // with Ctrl; 0 turns the wheel one notch
        QTest::addColumn<int>("times");
        QTest::addColumn<double>("zoom");
        QTest::newRow("wheel in at the pointer") << 0 << 1 << 1.1;
        QTest::newRow("Ctrl+= around the selection") << int(Qt::Key_Equal) << 2 << 1.25;
        QTest::newRow("Ctrl+− stops at 50%") << int(Qt::Key_Minus) << 20 << 0.5;
        QTest::newRow("Ctrl+= stops at 400%") << int(Qt::Key_Equal) << 20 << 4.0;
        QTest::newRow("Ctrl+0 fits the width") << int(Qt::Key_0) << 1 << 1.0;
    }
    // The model stays in page twips and the boxes scale; the point the zoom turns around,
    // the pointer or the selection, stays where it was.
    void zoom() {
        QFETCH(int, key);
        QFETCH(int, times);
        QFETCH(double, zoom);
        Window w(QSize(1024, 768));
        w.form().setSelected(30, true);
        std::array<Box, BoxCount> model{};
        std::array<QRect, BoxCount> shown{};
        for (int i = 0; i < BoxCount; ++i) {
            model[i] = w.form().box(i);
            shown[i] = w.box(i)->geometry();
        }
        const Box& s = w.form().box(30);
        const QPointF anchor = key ? QPointF(s.left + s.width / 2, s.top + s.height / 2)
                                   : w.page()->pixelToPage(QPointF(300, 200));
        const QPointF at = w.inViewport(anchor);
        w.page()->setFocus();
        if (key == Qt::Key_0)
            click(named(QStringLiteral("放大")));
        for (int n = 0; n < times; ++n) {
            if (key)
                QTest::keyClick(w.page(), Qt::Key(key), Qt::ControlModifier);
            QWheelEvent turn(at, w.area()->viewport()->mapToGlobal(at), {}, QPoint(0, 120),
                             Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
            if (!key)
                QCoreApplication::sendEvent(w.area()->viewport(), &turn);
        }
        QCOMPARE(w.area()->zoom(), zoom);
        QCOMPARE(named<QComboBox>(QStringLiteral("缩放"))->currentText(),
                 QStringLiteral("%1%").arg(std::lround(zoom * 100)));
        QCOMPARE(w.area()->horizontalScrollBar()->isVisible(), zoom > 1);
        for (int i = 0; i < BoxCount; ++i) {
            QCOMPARE(w.form().box(i).layoutFields(), model[i].layoutFields());
            // Each edge is rounded to a pixel before and after.
            QVERIFY(std::abs(w.box(i)->width() - shown[i].width() * zoom) <= 1 + zoom);
            QVERIFY(std::abs(w.box(i)->x() - shown[i].left() * zoom) <= 1 + zoom);
        }
        if (zoom > 0.5)
            QVERIFY((w.inViewport(anchor) - at).manhattanLength() <= 3);
    }

    // A grip keeps 6 pixels at every zoom and never covers more than a third of its box.
    void grips() {
        Window w(QSize(800, 600));
        w.area()->zoomAt(0.5, QPointF(0, 0)); // 6 px are 180 twips
        w.form().setGeometry(40, 600, 600, 900, 600);
        w.hover(40, QPointF(140, 140));
        QCOMPARE(w.form().box(40).gripState, BoxEditor::GripMove);
        w.form().setGeometry(40, 600, 600, 900, 300);
        w.hover(40, QPointF(140, 140));
        QCOMPARE(w.form().box(40).gripState, BoxEditor::GripText);
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
        for (const int i : {1, 5})
            QTest::mouseClick(w.target(i), Qt::LeftButton, Qt::ControlModifier,
                              w.onBox(i, QPointF(200, 150)));
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
        for (const int notches : {0, 3, 9, 20, 7}) {
            area.scrollBar()->setValue(notches * area.scrollBar()->singleStep());
            const QImage shown = area.viewport()->grab().toImage();
            for (QPoint at(shown.width() / 2, 0); at.y() < shown.height(); at.ry() += 7) {
                const double mm = std::fmod(area.page()->pixelToPage(at - area.page()->pos()).y() /
                                                Units::PageTwipsPerMm,
                                            20);
                if (mm > 0.5 && mm < 4.5)
                    QVERIFY(qGray(shown.pixel(at)) < 200);
                else if (mm > 6 && mm < 19)
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
            QImage blank(caption.size(), QImage::Format_RGB32);
            blank.fill(w.page()->backColor());
            return w.page()->grab(caption).toImage().convertToFormat(QImage::Format_RGB32) != blank;
        };
        QVERIFY(inked());
        click(QStringLiteral("显示标签"));
        QVERIFY(!inked());
        w.close();
        w.start(QSize(1024, 768));
        QVERIFY(!named(QStringLiteral("显示标签"))->isChecked() && !inked());
    }
};

QTEST_MAIN(PageViewTest)
#include "tst_pageview.moc"
