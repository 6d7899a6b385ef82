// Repaint of the page while it scrolls, with a scan of the blank form (A4 at 600 dpi,
// 4960 × 7016 pixels) behind the boxes, beside the same repaint without a scan, measured
// in the same run: the median time of one frame (move the page, paint the viewport).
// Also reported once: reading the scan (decoding and scaling it down) and the first frame
// after it is set, which draws the faded scan at the page's size.
// Then the page zoomed to 400 % with the scan, beside the scan at 100 %, each frame a wheel
// notch (a tenth of the viewport) down or back up.
#include "BenchUtil.h"
#include "Form.h"
#include "FormScan.h"
#include "PageArea.h"
#include "PageWidget.h"
#include "Units.h"

#include <QApplication>
#include <QBuffer>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <vector>

namespace {

constexpr int Frames = 480;

// A blank form of our own drawing: thin cell lines and captions on white.
QByteArray bigScan() {
    QImage image(4960, 7016, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setPen(QPen(Qt::black, 5));
        for (int y = 600; y < 6800; y += 236)
            p.drawLine(200, y, 4760, y);
        for (int x = 200; x <= 4760; x += 570)
            p.drawLine(x, 600, x, 6800);
        QFont font(QStringLiteral("AR PL UMing CN"));
        font.setPixelSize(90);
        p.setFont(font);
        for (int y = 700; y < 6800; y += 236)
            for (int x = 230; x < 4700; x += 570)
                p.drawText(x, y, QStringLiteral("经营单位"));
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// One frame: the page moves one scroll step down (or back up) and the viewport is painted.
void frame(PageArea& area, int i) {
    QScrollBar* bar = area.scrollBar();
    const int step = std::max(1, bar->maximum() / 60);
    const int phase = i % 120;
    bar->setValue(phase < 60 ? phase * step : (120 - phase) * step);
    area.viewport()->repaint();
}

// One frame: the page moves a wheel notch down (or back up) and the viewport is painted.
void notchFrame(PageArea& area, int i) {
    QScrollBar* bar = area.scrollBar();
    // Twenty notches down and back: the page fitted to the width is not much taller.
    const int phase = i % 40;
    bar->setValue((phase < 20 ? phase : 40 - phase) * bar->singleStep());
    area.viewport()->repaint();
}

// The form view's mode strip on a 1280 × 1024 screen, with its page.
struct Strip {
    Form form;
    QWidget widget;
    PageArea area{form, &widget};
    Strip() {
        for (int i = 0; i < BoxCount; ++i)
            form.setText(i, QStringLiteral("宁波甬港进出口有限公司 %1").arg(i));
        widget.resize(1015, 900);
        area.layOut(ScreenTwips::fromPixels(1015), ScreenTwips::fromPixels(900));
        area.page()->setBackColor(0xFFD0FF);
        widget.show();
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Strip plain;
    Strip scanned;
    QCoreApplication::processEvents();

    const QByteArray png = bigScan();
    QImage scan;
    const double decodeMs = medianMs(3, [&](int) { scan = FormScanImage::decode(png).value(); });
    std::printf("scan of %d KB read and scaled to %dx%d: %.1f ms (once, when chosen)\n",
                int(png.size() / 1024), scan.width(), scan.height(), decodeMs);
    scanned.area.page()->setFormScan(scan, FormScan{}.pageRect());
    scanned.area.page()->setFormScanShown(true);
    const double firstFrame = medianMs(1, [&](int) { scanned.area.viewport()->repaint(); });
    std::printf("first frame with the scan (the faded page drawn once a zoom): %.1f ms\n",
                firstFrame);

    // The two pages take turns, frame by frame, so that both see the same machine load.
    for (int i = 0; i < Frames; ++i) {
        frame(plain.area, i);
        frame(scanned.area, i);
    }
    std::vector<double> without;
    std::vector<double> with;
    for (int i = 0; i < Frames; ++i) {
        without.push_back(medianMs(1, [&](int) { frame(plain.area, i); }));
        with.push_back(medianMs(1, [&](int) { frame(scanned.area, i); }));
    }
    std::sort(without.begin(), without.end());
    std::sort(with.begin(), with.end());
    report("scroll frame, scan behind the page", with[with.size() / 2],
           without[without.size() / 2]);
    std::printf("goal: within 1.5x of the page without a scan\n");

    Strip zoomed;
    zoomed.area.page()->setFormScan(scan, FormScan{}.pageRect());
    zoomed.area.page()->setFormScanShown(true);
    QCoreApplication::processEvents();
    const double zoomMs = medianMs(1, [&](int) {
        zoomed.area.zoomAt(4.0, QPointF(0, 0));
        zoomed.area.viewport()->repaint();
    });
    std::printf("zoom to 400%% with the scan and its first frame: %.1f ms\n", zoomMs);
    for (int i = 0; i < Frames; ++i) {
        notchFrame(scanned.area, i);
        notchFrame(zoomed.area, i);
    }
    std::vector<double> fitted;
    std::vector<double> near;
    double nearTotal = 0;
    double fittedTotal = 0;
    for (int i = 0; i < Frames; ++i) {
        fitted.push_back(medianMs(1, [&](int) { notchFrame(scanned.area, i); }));
        near.push_back(medianMs(1, [&](int) { notchFrame(zoomed.area, i); }));
        fittedTotal += fitted.back();
        nearTotal += near.back();
    }
    std::sort(fitted.begin(), fitted.end());
    std::sort(near.begin(), near.end());
    report("wheel frame with the scan, 400% vs 100%", near[near.size() / 2],
           fitted[fitted.size() / 2]);
    report("  the same, mean frame", nearTotal / Frames, fittedTotal / Frames);
    report("  the same, slowest frame", near.back(), fitted.back());
    std::printf("goal: within 1.5x of the page at 100%%\n");
    return 0;
}
