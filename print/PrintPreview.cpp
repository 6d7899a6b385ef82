#include "PrintPreview.h"

#include "CalibrationSetting.h"
#include "PageRenderer.h"
#include "PrintJob.h"
#include "Units.h"
#include "UserDialogs.h"

#include <QHBoxLayout>
#include <QPageLayout>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The scan is drawn lighter than ink, so that the texts on it stand out.
constexpr double ScanOpacity = 0.6;

} // namespace

void paintPreviewPage(QPainter& painter, const QPrinter& printer, const Form& form,
                      const PreviewScan& scan) {
    scaleToTwips(painter, printer);
    if (!scan.image.isNull()) {
        // The painter starts at the printable area; the paper's corner lies the printer's
        // margins above and left of it.
        const QPointF margins = printer.pageLayout().paintRect(QPageLayout::Millimeter).topLeft();
        const QPointF paper(-MmToTwips(margins.x()), -MmToTwips(margins.y()));
        const double perPageTwip = MmToTwips(1.0) / Units::PageTwipsPerMm;
        const QRectF target(paper + scan.pageRect.topLeft() * perPageTwip,
                            scan.pageRect.size() * perPageTwip);
        painter.save();
        painter.setOpacity(ScanOpacity);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, scan.image);
        painter.restore();
    }
    const CalibrationSetting::Margins margins = CalibrationSetting::read();
    const PageRenderer renderer(
        form, {CalibrationSetting::offsetMm(margins.x), CalibrationSetting::offsetMm(margins.y)});
    renderer.render(painter);
    renderer.markOverflows(painter);
}

PrintPreviewDialog::PrintPreviewDialog(const Form& form, QPrinter& printer, const PreviewScan& scan,
                                       QWidget* parent)
    : PrintPreviewDialog(
          printer,
          [&form, scan](QPainter& painter, QPrinter& target) {
              paintPreviewPage(painter, target, form, scan);
          },
          parent) {}

PrintPreviewDialog::PrintPreviewDialog(QPrinter& printer, PagesPainter pages, QWidget* parent)
    : QDialog(parent), m_pages(std::move(pages)) {
    setWindowTitle(title());
    setAccessibleName(title());
    m_preview = new QPrintPreviewWidget(&printer, this);
    m_preview->setAccessibleName(title());
    m_preview->setZoomMode(QPrintPreviewWidget::FitInView);
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* target) {
        QPainter painter(target);
        m_pages(painter, *target);
    });

    m_print = new QPushButton(QStringLiteral("打   印"), this);
    m_print->setAccessibleName(m_print->text());
    auto* zoomIn = new QPushButton(QStringLiteral("放   大"), this);
    zoomIn->setAccessibleName(zoomIn->text());
    auto* zoomOut = new QPushButton(QStringLiteral("缩   小"), this);
    zoomOut->setAccessibleName(zoomOut->text());
    auto* whole = new QPushButton(QStringLiteral("整   页"), this);
    whole->setAccessibleName(whole->text());
    auto* close = new QPushButton(QStringLiteral("关   闭"), this);
    close->setAccessibleName(close->text());
    for (QPushButton* b : {m_print, zoomIn, zoomOut, whole, close})
        b->setAutoDefault(false);
    connect(m_print, &QPushButton::clicked, this, &QDialog::accept);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(zoomIn, &QPushButton::clicked, m_preview, [this] { m_preview->zoomIn(); });
    connect(zoomOut, &QPushButton::clicked, m_preview, [this] { m_preview->zoomOut(); });
    connect(whole, &QPushButton::clicked, m_preview, &QPrintPreviewWidget::fitInView);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_print);
    buttons->addStretch();
    for (QPushButton* b : {zoomIn, zoomOut, whole, close})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_preview, 1);

    // Tall enough to read the texts of a whole page.
    const QWidget* window = parent ? parent->window() : nullptr;
    resize(window ? QSize(window->width() * 3 / 5, window->height()) : QSize(800, 1000));
}

void PrintPreviewCommand(Form& form, UserDialogs& dialogs,
                         const std::function<void()>& storeNewRecord, const QString& documentName,
                         const PreviewScan& scan, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName);
    if (!dialogs.choosePrinter(printer))
        return;
    // The page and printable area the preview shows are those the job will print on.
    if (!printer.isValid() || !preparePrinter(printer)) {
        dialogs.tell(PrintMessages::printError());
        return;
    }
    PrintPreviewDialog preview(form, printer, scan, parent);
    if (preview.exec() != QDialog::Accepted)
        return;
    PrintAndAsk(form, printer, dialogs, storeNewRecord);
}
