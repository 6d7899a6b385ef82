#include "PrintPreview.h"

#include "CalibrationSetting.h"
#include "LastPrinter.h"
#include "PageRenderer.h"
#include "PrintJob.h"
#include "Units.h"
#include "UserDialogs.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPageLayout>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The scan is drawn lighter than ink, so that the texts on it stand out.
constexpr double ScanOpacity = 0.6;

} // namespace

void paintPreviewPage(QPainter& painter, const QPrinter& printer, const Form& form,
                      const PreviewScan& scan, const std::vector<CheckFinding>& findings) {
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
    renderer.markFindings(painter, findings);
}

PrintPreviewDialog::PrintPreviewDialog(const Form& form, QPrinter& printer, const PreviewScan& scan,
                                       const std::vector<CheckFinding>& findings, QWidget* parent)
    : PrintPreviewDialog(
          printer,
          [&form, scan, findings](QPainter& painter, QPrinter& target) {
              paintPreviewPage(painter, target, form, scan, findings);
          },
          DeclarationChecks::messages(findings), parent) {}

PrintPreviewDialog::PrintPreviewDialog(QPrinter& printer, PagesPainter pages,
                                       const QStringList& findings, QWidget* parent)
    : QDialog(parent), m_pages(std::move(pages)), m_printer(printer) {
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

    // The printers installed; without one the pages are shown as PDF output would print.
    auto* printerLabel = new QLabel(QStringLiteral("打印机"), this);
    m_printers = new QComboBox(this);
    m_printers->setAccessibleName(printerLabel->text());
    m_printers->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    printerLabel->setBuddy(m_printers);
    m_printers->addItems(QPrinterInfo::availablePrinterNames());
    m_printers->setEnabled(m_printers->count() > 0 &&
                           printer.outputFormat() == QPrinter::NativeFormat);
    m_printers->setCurrentIndex(m_printers->findText(printer.printerName()));
    connect(m_printers, &QComboBox::textActivated, this, &PrintPreviewDialog::choosePrinter);

    auto* findingsTitle = new QLabel(QStringLiteral("可能的错误"), this);
    m_findings = new QListWidget(this);
    m_findings->setAccessibleName(findingsTitle->text());
    m_findings->setWordWrap(true);
    m_findings->addItems(findings);
    findingsTitle->setBuddy(m_findings);
    auto* findingsPanel = new QWidget(this);
    auto* findingsLayout = new QVBoxLayout(findingsPanel);
    findingsLayout->setContentsMargins(0, 0, 0, 0);
    findingsLayout->addWidget(findingsTitle);
    findingsLayout->addWidget(m_findings, 1);
    findingsPanel->setFixedWidth(240);
    findingsPanel->setVisible(!findings.isEmpty());

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_print);
    buttons->addSpacing(12);
    buttons->addWidget(printerLabel);
    buttons->addWidget(m_printers);
    buttons->addStretch();
    for (QPushButton* b : {zoomIn, zoomOut, whole, close})
        buttons->addWidget(b);
    auto* besideFindings = new QHBoxLayout;
    besideFindings->addWidget(m_preview, 1);
    besideFindings->addWidget(findingsPanel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addLayout(besideFindings, 1);

    // Tall enough to read the texts of a whole page.
    const QWidget* window = parent ? parent->window() : nullptr;
    resize(window ? QSize(window->width() * 3 / 5, window->height()) : QSize(800, 1000));
    // The findings take their own room: the page stays as large as without them.
    if (!findings.isEmpty())
        resize(width() + findingsPanel->width() + layout->spacing(), height());
}

void PrintPreviewDialog::choosePrinter(const QString& name) {
    m_printer.setPrinterName(name);
    // The page and printable area shown are those of the printer now chosen.
    preparePrinter(m_printer);
    m_preview->updatePreview();
}

bool preparePreviewPrinter(QPrinter& printer, UserDialogs& dialogs) {
    // The page and printable area the preview shows are those the job will print on.
    if (!printer.isValid() || !preparePrinter(printer)) {
        dialogs.tell(PrintMessages::printError());
        return false;
    }
    return true;
}

void PrintPreviewCommand(Form& form, UserDialogs& dialogs,
                         const std::function<void()>& storeNewRecord, const QString& documentName,
                         const PreviewScan& scan, const PrintGate& gate) {
    QPrinter printer(QPrinter::HighResolution);
    LastPrinter::preselect(printer);
    printer.setDocName(documentName);
    if (!preparePreviewPrinter(printer, dialogs))
        return;
    const std::vector<CheckFinding> findings = gate.check(form);
    PrintPreviewDialog preview(form, printer, scan, findings, gate.parent);
    if (preview.exec() != QDialog::Accepted)
        return;
    if (!gate.pass(dialogs, findings) || !LastPrinter::choose(dialogs, printer))
        return;
    PrintAndAsk(form, printer, dialogs, storeNewRecord);
}
