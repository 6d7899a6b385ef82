#pragma once

#include "PrintGate.h"

#include <QDialog>
#include <QImage>
#include <QRectF>
#include <QStringList>

#include <functional>
#include <vector>

class Form;
class QComboBox;
class QListWidget;
class QPainter;
class QPrintPreviewWidget;
class QPrinter;
class QPushButton;
class UserDialogs;

// The scanned blank form as the preview shows it: its picture and where it lies on the
// page, in page twips.
struct PreviewScan {
    QImage image;
    QRectF pageRect;
};

// One preview page on a painter that is active on `printer`: the scan where the paper's
// form is (paper coordinates, not shifted by the calibration), then the box texts drawn
// by the print's own renderer with the stored calibration, then a red frame around every
// box whose text runs past it and a blue one around every box with a finding.
void paintPreviewPage(QPainter& painter, const QPrinter& printer, const Form& form,
                      const PreviewScan& scan, const std::vector<CheckFinding>& findings = {});

// "打印预览": the pages as a printer will print them, shown at once for the printer the
// clerk used last (or the system's default); another printer is chosen in the window.
// The checks' findings are listed beside the pages. Its print button closes it with
// Accepted; the caller then prints exactly as the print button of the window does.
class PrintPreviewDialog : public QDialog {
    Q_OBJECT
public:
    // Paints every page of the document on a painter active on the printer.
    using PagesPainter = std::function<void(QPainter& painter, QPrinter& printer)>;

    PrintPreviewDialog(const Form& form, QPrinter& printer, const PreviewScan& scan,
                       const std::vector<CheckFinding>& findings, QWidget* parent = nullptr);
    PrintPreviewDialog(QPrinter& printer, PagesPainter pages, const QStringList& findings,
                       QWidget* parent = nullptr);

    static QString title() { return QStringLiteral("打印预览"); }

    QPrintPreviewWidget* previewWidget() const { return m_preview; }
    QPushButton* printButton() const { return m_print; }

private:
    void choosePrinter(const QString& name);

    PagesPainter m_pages;
    QPrinter& m_printer;
    QPrintPreviewWidget* m_preview = nullptr;
    QPushButton* m_print = nullptr;
    QComboBox* m_printers = nullptr;
    QListWidget* m_findings = nullptr;
};

// Sets a printer up for a preview: A4 as the job prints it. On a
// printer that cannot be used the clerk is told "打印出错！" and the result is false.
bool preparePreviewPrinter(QPrinter& printer, UserDialogs& dialogs);

// The preview button: the preview with the checks' findings, and when the clerk prints
// from it, the questions before paper, the print dialog, the job and the question of the
// print button under the same rule. The gate's parent is the preview's.
void PrintPreviewCommand(Form& form, UserDialogs& dialogs,
                         const std::function<void()>& storeNewRecord, const QString& documentName,
                         const PreviewScan& scan, const PrintGate& gate);
