// "自动对齐" on a scan of the blank form, A4 at 300 dpi (2480 × 3508 pixels, a cell around
// each box of the factory layout with a caption in it, turned 0.7°), beside the time to
// load the same file and scale it to the page, measured in the same run (median of runs).
// The fit is timed on the picture as the program keeps a scan (scaled down once, when it is
// read) and on the full picture.
#include "BenchUtil.h"
#include "FactoryLayout.h"
#include "Form.h"
#include "FormCells.h"
#include "FormFit.h"
#include "FormScan.h"
#include "Units.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

namespace {

constexpr int Runs = 9;
constexpr double Dpi = 300;

QImage scan() {
    QImage image(qRound(210 / 25.4 * Dpi), qRound(297 / 25.4 * Dpi), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(image.width() / 2.0, image.height() / 2.0);
    p.rotate(0.7);
    p.scale(0.95, 0.95);
    p.translate(-image.width() / 2.0, -image.height() / 2.0);
    p.scale(image.width() / Units::PageWidth, image.width() / Units::PageWidth);
    p.setPen(QPen(Qt::black, 12));
    QFont font(QStringLiteral("AR PL UMing CN"));
    font.setPixelSize(80);
    p.setFont(font);
    for (const QRectF& box : FactoryLayout::geometry()) {
        const QRectF cell = box.adjusted(-40, -40, 40, 40);
        p.drawRect(cell);
        p.drawText(cell.adjusted(20, 15, -20, -15), QStringLiteral("经营单位"));
    }
    return image;
}

void layOut(Form& form) {
    for (int i = 0; i < BoxCount; ++i) {
        const QRectF& r = FactoryLayout::geometry()[static_cast<std::size_t>(i)];
        form.setGeometry(i, float(r.left()), float(r.top()), float(r.width()), float(r.height()));
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("form.png"));
    if (!scan().save(file))
        return 1;
    QFile in(file);
    in.open(QIODevice::ReadOnly);
    const QByteArray bytes = in.readAll();
    const QRectF page = FormScan{}.pageRect();
    // The page as an 800 × 600 screen shows it, at zoom 1.
    const QSize shown = ScreenTwips::toPixelRect(page).size();

    const double load = medianMs(Runs, [&](int) {
        QImage image;
        image.load(file);
        image = image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    });
    const QImage kept = FormScanImage::decode(bytes).value_or(QImage());
    const QImage full(file);
    int fitted = 0;
    const auto fit = [&](const QImage& picture) {
        return medianMs(Runs, [&](int) {
            Form form;
            layOut(form);
            fitted = FormFit::fit(form, FormCells::find(picture, page)).fitted;
        });
    };
    std::printf("scan %dx%d at %.0f dpi, kept as %dx%d\n", full.width(), full.height(), Dpi,
                kept.width(), kept.height());
    report("fit on the kept picture vs load + scale", fit(kept), load);
    std::printf("  boxes fitted: %d of %d\n", fitted, BoxCount);
    report("fit on the full picture vs load + scale", fit(full), load);
    std::printf("  boxes fitted: %d of %d\n", fitted, BoxCount);
    return 0;
}
