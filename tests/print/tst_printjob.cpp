#include "CalibrationPage.h"
#include "CollateForm.h"
#include "FontSetup.h"
#include "Form.h"
#include "PageRenderer.h"
#include "PrintFixture.h"
#include "PrintJob.h"
#include "ScriptedDialogs.h"

#include <QDateTime>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QLineEdit>
#include <QPageLayout>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <cmath>

using PrintCheck::Word;
using Setting = std::optional<QString>;

namespace {

// Millimetres of paper per printer twip: the print takes an inch as 1 / 0.03937 mm.
constexpr double MmPerPrinterTwip = 1.0 / (0.03937 * 1440.0);
constexpr double PageTwipsPerMm = 7935.0 / 210.0;
// The calibration square's corners, in millimetres from the printer origin.
constexpr double SquareNear = 10 * 0.03937 * 25.4;
constexpr double SquareFar = 20 * 0.03937 * 25.4;

struct Job {
    TestFolder folder;
    ScriptedDialogs dialogs;
    QWidget window;
    Form form;
    QString pdf;
    int stored = 0;

    Job() : pdf(folder.file(QStringLiteral("job.pdf"))) {
        PrintCheck::isolateSettings(folder.path());
        dialogs.printer = [this](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        };
    }
    void setMargins(const Setting& x, const Setting& y) {
        PrintCheck::storeSetting(QStringLiteral("X"), x);
        PrintCheck::storeSetting(QStringLiteral("Y"), y);
    }
    Setting margins() const {
        const Setting x = PrintCheck::storedSetting(QStringLiteral("X"));
        const Setting y = PrintCheck::storedSetting(QStringLiteral("Y"));
        return x || y ? Setting(x.value_or("-") + u'|' + y.value_or("-")) : Setting();
    }
    void print() {
        PrintCommand(form, dialogs, [this] { ++stored; });
    }
};

// Where the first line of a box lands on a page whose printable area starts at the
// paper's corner, in millimetres.
QPointF expectedTopLeft(const Box& box, double dx, double dy) {
    const double x = std::round((box.left / PageTwipsPerMm - dx) / MmPerPrinterTwip);
    const double y = std::round((box.top / PageTwipsPerMm - dy) / MmPerPrinterTwip);
    return {x * MmPerPrinterTwip, y * MmPerPrinterTwip};
}

bool near(const QRectF& ink, const QRectF& expected, double tolerance) {
    return std::abs(ink.left() - expected.left()) <= tolerance &&
           std::abs(ink.top() - expected.top()) <= tolerance &&
           std::abs(ink.right() - expected.right()) <= tolerance &&
           std::abs(ink.bottom() - expected.bottom()) <= tolerance;
}

QByteArray show(const QRectF& r) {
    return QStringLiteral("(%1, %2)-(%3, %4) mm")
        .arg(r.left(), 0, 'f', 3)
        .arg(r.top(), 0, 'f', 3)
        .arg(r.right(), 0, 'f', 3)
        .arg(r.bottom(), 0, 'f', 3)
        .toUtf8();
}

} // namespace

class PrintJobTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fullWidthCharacterOnPrinter_data();
    void fullWidthCharacterOnPrinter();
    void wrapRule_data();
    void wrapRule();
    void offsetsFromSettings_data();
    void offsetsFromSettings();
    void linesOnPaper_data();
    void linesOnPaper();
    void textColour();
    void command_data();
    void command();
    void marginDialog_data();
    void marginDialog();
    void failedSaveKeepsDialogOpen();
    void calibrationPage_data();
    void calibrationPage();
    void squareOnRealQueue();
};

void PrintJobTest::initTestCase() {
    registerFontSubstitutions();
}

void PrintJobTest::fullWidthCharacterOnPrinter_data() {
    QTest::addColumn<int>("dpi");
    QTest::addColumn<float>("points");
    QTest::newRow("9 pt at 1200 dpi") << 1200 << 9.0f;
    QTest::newRow("10.5 pt at 300 dpi") << 300 << 10.5f;
    QTest::newRow("18 pt at 600 dpi") << 600 << 18.0f;
}

void PrintJobTest::fullWidthCharacterOnPrinter() {
    QFETCH(int, dpi);
    QFETCH(float, points);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(dpi);
    Box box;
    box.fontSize = points;
    const QFont font = PageRenderer::deviceFont(box, printer);
    // 宋体 must reach a Song face, not a Latin fallback without the CJK glyphs.
    QVERIFY2(QFontInfo(font).family().startsWith(QLatin1String("AR PL UMing")),
             qPrintable(QFontInfo(font).family()));
    const QFontMetricsF metrics(font, &printer);
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("钟报关")), 3 * 20.0 * points);
}

void PrintJobTest::wrapRule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("wrap");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("a line is full at the wrap width")
        << QStringLiteral("一二三四五") << 720.0 << QStringList{"一二三四", "五"};
    QTest::newRow("a line below the wrap width takes one more")
        << QStringLiteral("一二三四五") << 721.0 << QStringList{"一二三四五"};
    QTest::newRow("full line then line feed leaves an empty line")
        << QStringLiteral("一二\n尾") << 360.0 << QStringList{"一二", "", "尾"};
    QTest::newRow("only carriage returns") << QStringLiteral("\r\r\r") << 2000.0 << QStringList{};
    QTest::newRow("leading and trailing line feeds")
        << QStringLiteral("\n\n一\n") << 2000.0 << QStringList{"", "", "一"};
    QTest::newRow("negative wrap width still progresses")
        << QStringLiteral("一\n二A") << -500.0 << QStringList{"一", "", "二", "A"};
    QTest::newRow("spaces are ordinary characters")
        << QStringLiteral("A B C D") << 181.0 << QStringList{"A B", " C ", "D"};
    QTest::newRow("a character outside the basic plane stays whole")
        << QStringLiteral("\U00020000\U00020001") << 1.0
        << QStringList{QStringLiteral("\U00020000"), QStringLiteral("\U00020001")};
}

void PrintJobTest::wrapRule() {
    QFETCH(QString, text);
    QFETCH(double, wrap);
    QFETCH(QStringList, lines);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QFontMetricsF metrics(PageRenderer::deviceFont(Box{}, printer), &printer);
    QCOMPARE(PageRenderer::wrapLines(text, wrap, metrics), lines);
}

void PrintJobTest::offsetsFromSettings_data() {
    QTest::addColumn<Setting>("x");
    QTest::addColumn<Setting>("y");
    QTest::addColumn<double>("dx");
    QTest::addColumn<double>("dy");
    QTest::newRow("nothing stored") << Setting() << Setting() << 3.0 << 3.0;
    QTest::newRow("15 and 12") << Setting("15") << Setting("12") << 5.0 << 2.0;
    QTest::newRow("X empty, Y not stored") << Setting("") << Setting() << 3.0 << 3.0;
    QTest::newRow("not a number counts as 0") << Setting("abc") << Setting("10") << -10.0 << 0.0;
    QTest::newRow("decimals and trailing text")
        << Setting("12.5mm") << Setting("9.75") << 2.5 << -0.25;
}

void PrintJobTest::offsetsFromSettings() {
    QFETCH(Setting, x);
    QFETCH(Setting, y);
    QFETCH(double, dx);
    QFETCH(double, dy);
    Job job;
    job.setMargins(x, y);
    for (int i = 0; i < BoxCount; ++i)
        job.form.setText(i, QStringLiteral("字%1").arg(i));
    job.print();
    QCOMPARE(job.dialogs.messages(), QStringList{});
    // Texts of neighbouring boxes may read as one word: each starts where its box does.
    static const QRegularExpression box(QStringLiteral("^字(\\d+)"));
    int checked = 0;
    for (const Word& w : PrintCheck::words(job.pdf)) {
        const int i = box.match(w.text).captured(1).toInt();
        const QPointF expected = expectedTopLeft(job.form.box(i), dx, dy);
        const QPointF at = w.mm.topLeft();
        ++checked;
        QVERIFY2(std::abs(at.x() - expected.x()) < 0.05 && std::abs(at.y() - expected.y()) < 0.05,
                 qPrintable(QStringLiteral("box %1 at %2, %3 mm, expected %4, %5")
                                .arg(i)
                                .arg(at.x())
                                .arg(at.y())
                                .arg(expected.x())
                                .arg(expected.y())));
    }
    QVERIFY(checked > BoxCount / 2);
}

void PrintJobTest::linesOnPaper_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("wrap"); // printer twips; 0 for the narrowest box
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<int>>("pitches"); // line number of each printed word
    QTest::newRow("AB CR LF C") << QStringLiteral("AB\r\nC") << 2000.0 << QStringList{"AB", "C"}
                                << QList<int>{0, 1};
    QTest::newRow("full line then line feed") << QStringLiteral("一二三四\n尾") << 720.0
                                              << QStringList{"一二三四", "尾"} << QList<int>{0, 2};
    QTest::newRow("narrowest box")
        << QStringLiteral("一二三") << 0.0 << QStringList{"一", "二", "三"} << QList<int>{0, 1, 2};
}

void PrintJobTest::linesOnPaper() {
    QFETCH(QString, text);
    QFETCH(double, wrap);
    QFETCH(QStringList, lines);
    QFETCH(QList<int>, pitches);
    Job job;
    job.setMargins(QStringLiteral("10"), QStringLiteral("10"));
    const int index = 40;
    // The narrowest a box gets is the model's minimum extent.
    job.form.setWidth(index, static_cast<float>(wrap * MmPerPrinterTwip * PageTwipsPerMm));
    job.form.setText(index, text);
    job.print();
    QCOMPARE(PrintCheck::pageCount(job.pdf), 1);
    const QList<Word> words = PrintCheck::words(job.pdf);
    QStringList printed;
    for (const Word& w : words)
        printed.append(w.text);
    QCOMPARE(printed, lines);

    const Box& box = job.form.box(index);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const double pitchMm =
        PageRenderer::linePitch(QFontMetricsF(PageRenderer::deviceFont(box, printer), &printer)) *
        MmPerPrinterTwip;
    QVERIFY2(pitchMm > 180 * MmPerPrinterTwip && pitchMm < 200 * MmPerPrinterTwip,
             qPrintable(QString::number(pitchMm)));
    const QPointF start = expectedTopLeft(box, 0, 0);
    for (qsizetype w = 0; w < words.size(); ++w) {
        QVERIFY2(std::abs(words[w].mm.left() - start.x()) < 0.05, qPrintable(words[w].text));
        QVERIFY2(std::abs(words[w].mm.top() - (start.y() + pitches[w] * pitchMm)) < 0.05,
                 qPrintable(words[w].text));
    }
}

void PrintJobTest::textColour() {
    // Stored colours are BGR: 16711680 is blue.
    const QColor expected(0, 0, 255);
    Form form;
    form.setText(2, QStringLiteral("■■"));
    form.setForeColor(2, 16711680u);
    // A page at 72 dpi: one pixel is 20 twips.
    QImage page(600, 860, QImage::Format_RGB32);
    page.setDotsPerMeterX(qRound(72 / 0.0254));
    page.setDotsPerMeterY(qRound(72 / 0.0254));
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.scale(72 / 1440.0, 72 / 1440.0);
    PageRenderer(form, PrintOffsets{}).render(painter);
    painter.end();
    // Edge pixels blend the ink with the white paper: blue stays full, red equals green.
    int solid = 0;
    int foreign = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            solid += c == expected;
            foreign += c.blue() != 255 || std::abs(c.green() - c.red()) > 1;
        }
    QVERIFY2(solid > 50, qPrintable(QString::number(solid)));
    QCOMPARE(foreign, 0);
}

void PrintJobTest::command_data() {
    QTest::addColumn<bool>("filled");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("printer"); // "pdf", "cancel" or "broken"
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QStringList>("messages");
    const QStringList none;
    QTest::newRow("changed, kept") << true << true << "pdf" << true << 1 << none;
    QTest::newRow("changed, not kept") << true << true << "pdf" << false << 0 << none;
    QTest::newRow("unchanged") << true << false << "pdf" << true << 0 << none;
    QTest::newRow("all boxes empty") << false << true << "pdf" << true << 1 << none;
    QTest::newRow("dialog cancelled") << true << true << "cancel" << true << 0 << none;
    QTest::newRow("failing printer")
        << true << true << "broken" << true << 0 << QStringList{QStringLiteral("打印出错！")};
}

void PrintJobTest::command() {
    QFETCH(bool, filled);
    QFETCH(bool, changed);
    QFETCH(QString, printer);
    QFETCH(bool, answer);
    QFETCH(int, stored);
    QFETCH(QStringList, messages);
    Job job;
    if (filled)
        job.form.setText(7, QStringLiteral("报关"));
    job.form.setContentChanged(changed);
    const QString broken = job.folder.file(QStringLiteral("missing/folder/job.pdf"));
    const auto chosen = job.dialogs.printer;
    job.dialogs.printer = [&](QPrinter& p) {
        chosen(p);
        if (printer == QLatin1String("broken"))
            p.setOutputFileName(broken);
        return printer != QLatin1String("cancel");
    };
    job.dialogs.yesNo.enqueue(answer);
    job.print();

    const bool printed = printer == QLatin1String("pdf");
    QCOMPARE(QFile::exists(job.pdf), printed);
    if (printed)
        QCOMPARE(PrintCheck::words(job.pdf).size(), filled ? 1 : 0);
    const bool asked = printed && changed;
    QCOMPARE(job.dialogs.yesNo.isEmpty(), asked);
    if (asked)
        QCOMPARE(job.dialogs.shown.last().text, QStringLiteral("是否保存打印记录？"));
    QCOMPARE(job.stored, stored);
    QCOMPARE(job.form.ContentChanged(), changed && !printed);
    QCOMPARE(job.dialogs.messages(), messages);
}

void PrintJobTest::marginDialog_data() {
    QTest::addColumn<Setting>("before");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("action"); // "save", "cancel" or "close"
    QTest::addColumn<QString>("typed");  // as X and as Y; empty: left as shown
    QTest::addColumn<Setting>("after");  // X|Y as stored
    QTest::newRow("first use unchanged") << Setting() << "13"
                                         << "save"
                                         << "" << Setting("13|13");
    QTest::newRow("rewritten as numbers") << Setting("13.50") << "13.5"
                                          << "cancel"
                                          << "20" << Setting("13.50|13.50");
    QTest::newRow("not a number") << Setting("abc") << "0"
                                  << "close"
                                  << "" << Setting("abc|abc");
    QTest::newRow("trailing text, ideographic full stop") << Setting("11.25mm") << "11.25"
                                                          << "save"
                                                          << "12。5" << Setting("12.5|12.5");
    QTest::newRow("spaces trimmed, stored as typed") << Setting("13") << "13"
                                                     << "save"
                                                     << "  1。2。3 " << Setting("1.2.3|1.2.3");
    QTest::newRow("emptied") << Setting("13") << "13"
                             << "save"
                             << " " << Setting("|");
}

void PrintJobTest::marginDialog() {
    QFETCH(Setting, before);
    QFETCH(QString, shown);
    QFETCH(QString, action);
    QFETCH(QString, typed);
    QFETCH(Setting, after);
    Job c;
    c.setMargins(before, before);
    QPointer<CollateForm> form = new CollateForm(c.dialogs, &c.window);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    QCOMPARE(form->horizontalMargin()->text(), shown);
    QCOMPARE(form->verticalMargin()->text(), shown);
    if (!typed.isEmpty()) {
        form->horizontalMargin()->setText(typed);
        form->verticalMargin()->setText(typed);
    }
    if (action == QLatin1String("close"))
        QVERIFY(form->close());
    else
        QTest::mouseClick(action == QLatin1String("save") ? form->saveButton()
                                                          : form->cancelButton(),
                          Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(form.isNull());
    QCOMPARE(c.margins(), after);
    QCOMPARE(c.dialogs.shown.size(), 0);
}

void PrintJobTest::failedSaveKeepsDialogOpen() {
    Job c;
    // A settings folder below a plain file can never be created.
    QVERIFY(TestFolder::write(c.folder.file(QStringLiteral("blocker")), "x"));
    PrintCheck::isolateSettings(c.folder.file(QStringLiteral("blocker/settings")));
    CollateForm form(c.dialogs, &c.window);
    form.show();
    form.horizontalMargin()->setText(QStringLiteral("15"));
    QTest::mouseClick(form.saveButton(), Qt::LeftButton);
    QCOMPARE(c.dialogs.messages(), QStringList{QStringLiteral("页边距保存出错！")});
    QVERIFY(form.isVisible());
}

void PrintJobTest::calibrationPage_data() {
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("printer"); // "pdf", "cancel" or "broken"
    QTest::newRow("no calibration page") << false << "pdf";
    QTest::newRow("print dialog cancelled") << true << "cancel";
    QTest::newRow("square printed") << true << "pdf";
    QTest::newRow("failing printer") << true << "broken";
}

void PrintJobTest::calibrationPage() {
    QFETCH(bool, answer);
    QFETCH(QString, printer);
    Job c;
    c.setMargins(QStringLiteral("11"), QStringLiteral("12"));
    const QString target = printer == QLatin1String("broken")
                               ? c.folder.file(QStringLiteral("missing/square.pdf"))
                               : c.pdf;
    c.dialogs.yesNo << answer << false;
    c.dialogs.printer = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(target);
        return printer != QLatin1String("cancel");
    };
    QPointer<CollateForm> form = PrintCalibrationPage(c.dialogs, &c.window);
    QCOMPARE(c.dialogs.shown.first().text,
             QStringLiteral("您是否需要打印校验图形？如果要打印，请在打印机中放好A4纸一张。"));
    QCOMPARE(c.dialogs.shown.size(), answer ? 2 : 1); // the print dialog after Yes only
    QCOMPARE(c.dialogs.messages(), QStringList{});
    QVERIFY(form && form->isVisible() && !form->isModal());
    QCOMPARE(form->horizontalMargin()->text(), QStringLiteral("11"));
    // A second calibration raises the dialog already open, with what was typed.
    form->horizontalMargin()->setText(QStringLiteral("14"));
    QCOMPARE(PrintCalibrationPage(c.dialogs, &c.window), form.data());
    QCOMPARE(form->horizontalMargin()->text(), QStringLiteral("14"));
    const bool printed = answer && printer == QLatin1String("pdf");
    QCOMPARE(QFile::exists(c.pdf), printed);
    if (!printed)
        return;
    QCOMPARE(PrintCheck::pageCount(c.pdf), 1);
    QCOMPARE(PrintCheck::words(c.pdf).size(), 0);
    const int dpi = 600;
    const QImage page = PrintCheck::renderPage(c.pdf, c.folder.path(), dpi);
    QVERIFY(std::abs(page.width() - 210 / 25.4 * dpi) < 4); // A4 in whole points
    const PrintCheck::Ink ink = PrintCheck::inkOf(page, dpi);
    // PDF output has no unprintable margin: the origin is the paper's corner.
    const QRectF expected(QPointF(SquareNear, SquareNear), QPointF(SquareFar, SquareFar));
    QVERIFY2(near(ink.mm, expected, 0.1), show(ink.mm).constData());
    // Nothing but the solid square: every dark pixel lies inside it and it is full.
    const double squarePixels = std::pow((SquareFar - SquareNear) / 25.4 * dpi, 2);
    QVERIFY2(std::abs(ink.pixels - squarePixels) < 0.02 * squarePixels,
             qPrintable(QString::number(ink.pixels)));
}

void PrintJobTest::squareOnRealQueue() {
    const QString queue = QStringLiteral(QUILLMARSH_PRINT_QUEUE);
    if (!QPrinterInfo::availablePrinterNames().contains(queue)) {
        if (qEnvironmentVariableIntValue("QUILLMARSH_REQUIRE_PRINTER"))
            QFAIL(qPrintable(queue + QStringLiteral(" is not set up (scripts/print-queue.sh)")));
        QSKIP("no cups-pdf queue on this machine");
    }
    Job c;
    const QString token = QStringLiteral("quillmarsh-square-%1-%2")
                              .arg(QCoreApplication::applicationPid())
                              .arg(QDateTime::currentMSecsSinceEpoch());
    c.dialogs.yesNo.enqueue(true);
    c.dialogs.printer = [&](QPrinter& p) {
        p.setPrinterName(queue);
        p.setDocName(token);
        return true;
    };
    PrintCalibrationPage(c.dialogs, &c.window);
    QCOMPARE(c.dialogs.messages(), QStringList{});

    // The printable area as the printer itself reports it.
    QPrinter probe(QPrinterInfo::printerInfo(queue), QPrinter::HighResolution);
    probe.setPageSize(QPageSize(QPageSize::A4));
    QPageLayout layout = probe.pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    const QMarginsF margins = layout.minimumMargins();

    QString pdf;
    QElapsedTimer waited;
    waited.start();
    while (pdf.isEmpty() && waited.elapsed() < 120000) {
        QDirIterator it(QStringLiteral(QUILLMARSH_PRINT_QUEUE_OUTPUT), QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            if (file.contains(token) && PrintCheck::pageCount(file) == 1)
                pdf = file;
        }
        if (pdf.isEmpty())
            QThread::msleep(250);
    }
    QVERIFY2(!pdf.isEmpty(), qPrintable(QStringLiteral("no PDF from the queue for ") + token));
    const int dpi = 600;
    const QImage page = PrintCheck::renderPage(pdf, c.folder.path(), dpi);
    QFile::remove(pdf);
    const PrintCheck::Ink ink = PrintCheck::inkOf(page, dpi);
    const QRectF expected(QPointF(margins.left() + SquareNear, margins.top() + SquareNear),
                          QPointF(margins.left() + SquareFar, margins.top() + SquareFar));
    QVERIFY2(near(ink.mm, expected, 0.2),
             (show(ink.mm) + ", expected " + show(expected)).constData());
}

QTEST_MAIN(PrintJobTest)
#include "tst_printjob.moc"
