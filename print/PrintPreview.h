#pragma once

#include <QDialog>
#include <QImage>
#include <QRectF>

#include <functional>
#include <vector>

class Form;
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
// box whose text runs past it.
void paintPreviewPage(QPainter& painter, const QPrinter& printer, const Form& form,
                      const PreviewScan& scan);

// "打印预览": the page as the chosen printer will print it. Its print button closes it
// with Accepted; the caller then prints exactly as the print button of the window does.
class PrintPreviewDialog : public QDialog {
    Q_OBJECT
public:
    // Paints every page of the document on a painter active on the printer.
    using PagesPainter = std::function<void(QPainter& painter, QPrinter& printer)>;

    PrintPreviewDialog(const Form& form, QPrinter& printer, const PreviewScan& scan,
                       QWidget* parent = nullptr);
    PrintPreviewDialog(QPrinter& printer, PagesPainter pages, QWidget* parent = nullptr);

    static QString title() { return QStringLiteral("打印预览"); }

    QPrintPreviewWidget* previewWidget() const { return m_preview; }
    QPushButton* printButton() const { return m_print; }

private:
    PagesPainter m_pages;
    QPrintPreviewWidget* m_preview = nullptr;
    QPushButton* m_print = nullptr;
};

// The preview button: the print dialog (cancel ends silently), the preview for that
// printer, and when the clerk prints from it, the job and the question of the print
// button under the same rule.
void PrintPreviewCommand(Form& form, UserDialogs& dialogs,
                         const std::function<void()>& storeNewRecord, const QString& documentName,
                         const PreviewScan& scan, QWidget* parent);
