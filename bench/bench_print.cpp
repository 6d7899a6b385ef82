// Times the print job of a fully filled declaration on a PDF printer against a bare
// QPainter::drawText loop over the same texts, fonts and places (median of 20 runs).
// With --queue it prints one filled declaration on the default printer instead.

#include "BatchPrint.h"
#include "Catalogue.h"
#include "FontSetup.h"
#include "Form.h"
#include "PageRenderer.h"
#include "PrintJob.h"
#include "Units.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class SilentDialogs : public UserDialogs {
public:
    QStringList told;
    bool askYesNo(const QString&, const QString&) override { return false; }
    bool askOkCancel(const QString&, const QString&) override { return false; }
    void tell(const QString& text, const QString&) override { told.append(text); }
    std::optional<QString> askText(const QString&, const QString&) override { return {}; }
    QString chooseOpenFile(const QString&) override { return {}; }
    QString chooseSaveFile(const QString&) override { return {}; }
    bool choosePrinter(QPrinter&) override { return true; }
};

// A plausible export declaration in every one of the 88 boxes.
void fillDeclaration(Form& form) {
    const QStringList header{
        QStringLiteral("223320240001234567"),
        QStringLiteral("223320240001234567"),
        QStringLiteral("宁波北仑海关 3104"),
        QStringLiteral("C31042400123"),
        QStringLiteral("2024-03-18"),
        QStringLiteral("2024-03-15"),
        QStringLiteral("宁波东方进出口有限公司 3302961234"),
        QStringLiteral("江海运输"),
        QStringLiteral("MSC ANNA/412W"),
        QStringLiteral("MEDUNB123456"),
        QStringLiteral("宁波东方进出口有限公司"),
        QStringLiteral("一般贸易"),
        QStringLiteral("一般征税"),
        QStringLiteral("电汇"),
        QStringLiteral("24-AB-123456"),
        QStringLiteral("美国"),
        QStringLiteral("洛杉矶"),
        QStringLiteral("宁波其他"),
        QStringLiteral("3302-2024-0815"),
        QStringLiteral("FOB"),
        QStringLiteral("502/1250/3"),
        QStringLiteral("502/0.3/1"),
        QStringLiteral("502/150/3"),
        QStringLiteral("NBDF24US0318"),
        QStringLiteral("1200"),
        QStringLiteral("纸箱"),
        QStringLiteral("15800"),
        QStringLiteral("14200"),
        QStringLiteral("MSCU1234567*2(2)"),
        QStringLiteral("B:出境货物通关单 A:310400224001234"),
        QStringLiteral("宁波东方电器厂"),
        QStringLiteral("N/M\r\nMSCU1234567/40GP MSCU7654321/40GP\r\n备注：货物已检验"),
        QStringLiteral("照章征税"),
        QStringLiteral("张敏"),
        QStringLiteral("3302960001"),
        QStringLiteral("李华 报关员证号 33021234"),
        QStringLiteral("浙江省宁波市北仑区新碶街道明州路188号"),
        QStringLiteral("315800"),
        QStringLiteral("0574-86881234"),
        QStringLiteral("2024-03-15"),
        QStringLiteral("宁波东方进出口有限公司报关专用章"),
    };
    const QStringList goods[8] = {
        {"01", "02", "03", "04", "05"},
        {"8516500000", "8509400090", "8516710000", "8516609000", "8414519200"},
        {QStringLiteral("微波炉 20L 700W"), QStringLiteral("食品搅拌机 BL-300"),
         QStringLiteral("咖啡机 CM-12"), QStringLiteral("电烤箱 EO-25"),
         QStringLiteral("台式电扇 FS-40")},
        {QStringLiteral("2400台"), QStringLiteral("1800台"), QStringLiteral("900台"),
         QStringLiteral("1200台"), QStringLiteral("3000台")},
        {QStringLiteral("美国 31.50"), QStringLiteral("美国 12.80"), QStringLiteral("美国 25.00"),
         QStringLiteral("美国 18.60"), QStringLiteral("美国 7.90")},
        {"75600.00", "23040.00", "22500.00", "22320.00", "23700.00"},
        {QStringLiteral("美元"), QStringLiteral("美元"), QStringLiteral("美元"),
         QStringLiteral("美元"), QStringLiteral("美元")},
        {QStringLiteral("照章征税"), QStringLiteral("照章征税"), QStringLiteral("照章征税"),
         QStringLiteral("照章征税"), QStringLiteral("照章征税")},
    };
    const QStringList customs{QStringLiteral("已审"),
                              QStringLiteral("已审价"),
                              QStringLiteral("已征"),
                              QStringLiteral("已统计"),
                              QStringLiteral("免验"),
                              QStringLiteral("放行"),
                              QStringLiteral("同意放行 2024-03-18")};
    for (int i = 0; i < header.size(); ++i)
        form.setText(i, header[i]);
    const auto& lines = Catalogue::goodsLines();
    for (int line = 0; line < 5; ++line)
        for (int column = 0; column < 8; ++column)
            form.setText(lines[line][column], goods[column][line]);
    for (int i = 0; i < customs.size(); ++i)
        form.setText(81 + i, customs[i]);
}

// The same texts with the same fonts at the same places, each box's lines drawn with
// one drawText call apiece and no measuring: what any print of these texts costs.
void bareDrawTextLoop(const Form& form, QPrinter& printer) {
    QPainter painter(&printer);
    scaleToTwips(painter, printer);
    const PageRenderer places(form, PrintOffsets{});
    for (int i = 0; i < BoxCount; ++i) {
        const Box& box = form.box(i);
        const QFont font = PageRenderer::deviceFont(box, printer);
        painter.setFont(font);
        const QFontMetricsF metrics(font, &printer);
        const QPointF start = places.origin(box);
        double y = start.y() + metrics.ascent();
        for (const QString& line : QString(box.text).remove(u'\r').split(u'\n')) {
            painter.drawText(QPointF(start.x(), y), line);
            y += metrics.height();
        }
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

template <typename Run> double medianMs(int runs, Run run) {
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(times);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    registerFontSubstitutions();
    // The user's own calibration is neither read nor written: no settings, 3 mm offsets.
    QTemporaryDir settings;
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    Form form;
    fillDeclaration(form);
    SilentDialogs dialogs;

    if (app.arguments().contains(QStringLiteral("--queue"))) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(QStringLiteral("quillmarsh-declaration"));
        const bool printed = PrintJob(form, printer, dialogs);
        std::printf("printed on %s: %s\n", qPrintable(printer.printerName()),
                    printed ? "yes" : "no");
        return printed ? 0 : 1;
    }

    QTemporaryDir folder;
    const QString pdf = folder.filePath(QStringLiteral("declaration.pdf"));
    const auto pdfPrinter = [&pdf](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        preparePrinter(printer);
    };
    const int runs = 20;
    // One run of each first, so font loading is not charged to either side.
    for (int warm = 0; warm < 2; ++warm) {
        QPrinter printer(QPrinter::HighResolution);
        pdfPrinter(printer);
        warm ? bareDrawTextLoop(form, printer) : (void)PrintJob(form, printer, dialogs);
    }
    const double job = medianMs(runs, [&] {
        QPrinter printer(QPrinter::HighResolution);
        pdfPrinter(printer);
        PrintJob(form, printer, dialogs);
    });
    const double bare = medianMs(runs, [&] {
        QPrinter printer(QPrinter::HighResolution);
        pdfPrinter(printer);
        bareDrawTextLoop(form, printer);
    });
    std::printf("print job, filled declaration to PDF: %8.2f ms (median of %d)\n", job, runs);
    std::printf("bare drawText loop, same texts:      %8.2f ms (median of %d)\n", bare, runs);
    std::printf("ratio: %.2f (goal: within 2)\n", job / bare);

    // A batch of 100 declarations in one job beside 100 single prints of the same ones.
    constexpr int Records = 100;
    std::vector<RecordTexts> records(Records);
    for (int k = 0; k < Records; ++k)
        for (int i = 0; i < BoxCount; ++i)
            records[k][i] = form.text(i).isEmpty() ? QString() : form.text(i) + QString::number(k);
    Form single;
    const int batchRuns = 3;
    const double batch = medianMs(batchRuns, [&] {
        QPrinter printer(QPrinter::HighResolution);
        pdfPrinter(printer);
        PrintBatch(form, records, printer, dialogs);
    });
    const double singles = medianMs(batchRuns, [&] {
        for (const RecordTexts& texts : records) {
            for (int i = 0; i < BoxCount; ++i)
                single.setText(i, texts[i]);
            QPrinter printer(QPrinter::HighResolution);
            pdfPrinter(printer);
            PrintJob(single, printer, dialogs);
        }
    });
    std::printf("batch of %d declarations, one job:   %8.1f ms (median of %d)\n", Records, batch,
                batchRuns);
    std::printf("%d single prints of the same:       %8.1f ms (median of %d)\n", Records, singles,
                batchRuns);
    std::printf("ratio: %.2f (goal: at most 1)\n", batch / singles);
    if (!dialogs.told.isEmpty())
        std::printf("messages: %s\n", qPrintable(dialogs.told.join(u' ')));
    return 0;
}
