#include "FontSetup.h"
#include "Form.h"
#include "PageRenderer.h"
#include "PrintFixture.h"
#include "PrintJob.h"
#include "ScriptedDialogs.h"

#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTest>

#include <cmath>

using PrintCheck::Word;

namespace {

// Millimetres of paper per printer twip: the print takes an inch as 1 / 0.03937 mm.
constexpr double MmPerPrinterTwip = 1.0 / (0.03937 * 1440.0);
constexpr double PageTwipsPerMm = 7935.0 / 210.0;

// Page twips of box width that give a wrap width of `twips` printer twips.
float boxWidthFor(double twips) {
    return static_cast<float>(twips / (0.03937 * 1440.0) * 7935.0 / 210.0);
}

struct Job {
    TestFolder folder;
    ScriptedDialogs dialogs;
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
    void setMargins(const std::optional<QString>& x, const std::optional<QString>& y) {
        PrintCheck::storeSetting(QStringLiteral("X"), x);
        PrintCheck::storeSetting(QStringLiteral("Y"), y);
    }
    void print() {
        PrintCommand(form, dialogs, [this] { ++stored; });
    }
    QList<Word> words() const { return PrintCheck::words(pdf); }
};

std::optional<Word> wordStartingWith(const QList<Word>& words, const QString& start) {
    for (const Word& w : words)
        if (w.text.startsWith(start))
            return w;
    return std::nullopt;
}

// Where the first line of a box lands on a page whose printable area starts at the
// paper's corner, in millimetres.
QPointF expectedTopLeft(const Box& box, double dx, double dy) {
    const double x = std::round((box.left / PageTwipsPerMm - dx) / MmPerPrinterTwip);
    const double y = std::round((box.top / PageTwipsPerMm - dy) / MmPerPrinterTwip);
    return {x * MmPerPrinterTwip, y * MmPerPrinterTwip};
}

double pitchOf(const Box& box) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QFont font = PageRenderer::deviceFont(box, printer);
    return PageRenderer::linePitch(QFontMetricsF(font, &printer));
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
    void calibrationShiftsEveryText();
    void linesOnPaper_data();
    void linesOnPaper();
    void fontSizeOnPaper();
    void textColour_data();
    void textColour();
    void command_data();
    void command();
    void failingPrinterInsideJob();
};

void PrintJobTest::initTestCase() {
    registerFontSubstitutions();
}

void PrintJobTest::fullWidthCharacterOnPrinter_data() {
    QTest::addColumn<int>("dpi");
    QTest::addColumn<float>("points");
    QTest::addColumn<double>("twips");
    QTest::newRow("9 pt at 1200 dpi") << 1200 << 9.0f << 180.0;
    QTest::newRow("9 pt at 600 dpi") << 600 << 9.0f << 180.0;
    QTest::newRow("9 pt at 300 dpi") << 300 << 9.0f << 180.0;
    QTest::newRow("10.5 pt at 1200 dpi") << 1200 << 10.5f << 210.0;
    QTest::newRow("18 pt at 600 dpi") << 600 << 18.0f << 360.0;
}

void PrintJobTest::fullWidthCharacterOnPrinter() {
    QFETCH(int, dpi);
    QFETCH(float, points);
    QFETCH(double, twips);
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
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("中")), twips);
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("钟报关")), 3 * twips);
}

void PrintJobTest::wrapRule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("wrap");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF is one line break")
        << QStringLiteral("AB\r\nC") << 2000.0 << QStringList{"AB", "C"};
    QTest::newRow("a line is full at the wrap width")
        << QStringLiteral("一二三四五") << 720.0 << QStringList{"一二三四", "五"};
    QTest::newRow("a line below the wrap width takes one more")
        << QStringLiteral("一二三四五") << 721.0 << QStringList{"一二三四五"};
    QTest::newRow("full line then line feed leaves an empty line")
        << QStringLiteral("一二\n尾") << 360.0 << QStringList{"一二", "", "尾"};
    QTest::newRow("only carriage returns") << QStringLiteral("\r\r\r") << 2000.0 << QStringList{};
    QTest::newRow("trailing line feed adds nothing")
        << QStringLiteral("一\n") << 2000.0 << QStringList{"一"};
    QTest::newRow("leading line feeds are empty lines")
        << QStringLiteral("\n\n一") << 2000.0 << QStringList{"", "", "一"};
    QTest::newRow("zero wrap width takes one character a line")
        << QStringLiteral("一二A") << 0.0 << QStringList{"一", "二", "A"};
    QTest::newRow("negative wrap width still progresses")
        << QStringLiteral("一\n二") << -500.0 << QStringList{"一", "", "二"};
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
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("A")), 90.0); // the rows assume it
    QCOMPARE(PageRenderer::wrapLines(text, wrap, metrics), lines);
}

void PrintJobTest::offsetsFromSettings_data() {
    QTest::addColumn<std::optional<QString>>("x");
    QTest::addColumn<std::optional<QString>>("y");
    QTest::addColumn<double>("dx");
    QTest::addColumn<double>("dy");
    const std::optional<QString> none;
    QTest::newRow("nothing stored") << none << none << 3.0 << 3.0;
    QTest::newRow("both 10") << std::optional<QString>("10") << std::optional<QString>("10") << 0.0
                             << 0.0;
    QTest::newRow("15 and 12") << std::optional<QString>("15") << std::optional<QString>("12")
                               << 5.0 << 2.0;
    QTest::newRow("only X stored") << std::optional<QString>("15") << none << 5.0 << 3.0;
    QTest::newRow("X empty") << std::optional<QString>("") << std::optional<QString>("12") << 3.0
                             << 2.0;
    QTest::newRow("not a number counts as 0")
        << std::optional<QString>("abc") << std::optional<QString>("10") << -10.0 << 0.0;
    QTest::newRow("decimals and trailing text")
        << std::optional<QString>("12.5mm") << std::optional<QString>("9.75") << 2.5 << -0.25;
}

void PrintJobTest::offsetsFromSettings() {
    QFETCH(std::optional<QString>, x);
    QFETCH(std::optional<QString>, y);
    QFETCH(double, dx);
    QFETCH(double, dy);
    Job job;
    job.setMargins(x, y);
    const QList<int> boxes{0, 2, 4, 40};
    for (int i : boxes)
        job.form.setText(i, QStringLiteral("格%1").arg(i));
    job.print();
    QCOMPARE(job.dialogs.messages(), QStringList{});
    const QList<Word> words = job.words();
    for (int i : boxes) {
        const std::optional<Word> w = wordStartingWith(words, QStringLiteral("格%1").arg(i));
        QVERIFY2(w, qPrintable(QString::number(i)));
        const QPointF expected = expectedTopLeft(job.form.box(i), dx, dy);
        QVERIFY2(std::abs(w->mm.left() - expected.x()) < 0.05,
                 qPrintable(QStringLiteral("box %1 x %2 mm, expected %3")
                                .arg(i)
                                .arg(w->mm.left())
                                .arg(expected.x())));
        QVERIFY2(std::abs(w->mm.top() - expected.y()) < 0.05,
                 qPrintable(QStringLiteral("box %1 y %2 mm, expected %3")
                                .arg(i)
                                .arg(w->mm.top())
                                .arg(expected.y())));
    }
}

void PrintJobTest::calibrationShiftsEveryText() {
    QList<Word> pages[2];
    const QString margins[2][2] = {{"10", "10"}, {"15", "12"}};
    for (int run = 0; run < 2; ++run) {
        Job job;
        job.setMargins(margins[run][0], margins[run][1]);
        for (int i = 0; i < BoxCount; ++i)
            job.form.setText(i, QStringLiteral("字%1").arg(i));
        job.print();
        QCOMPARE(job.dialogs.messages(), QStringList{});
        pages[run] = job.words();
    }
    QVERIFY(pages[0].size() >= BoxCount);
    QCOMPARE(pages[1].size(), pages[0].size());
    for (qsizetype w = 0; w < pages[0].size(); ++w) {
        QCOMPARE(pages[1][w].text, pages[0][w].text);
        const QPointF shift = pages[1][w].mm.topLeft() - pages[0][w].mm.topLeft();
        QVERIFY2(std::abs(shift.x() + 5.0) < 0.05 && std::abs(shift.y() + 2.0) < 0.05,
                 qPrintable(QStringLiteral("%1 moved by %2, %3 mm")
                                .arg(pages[0][w].text)
                                .arg(shift.x())
                                .arg(shift.y())));
    }
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
    QTest::newRow("wrapped at the box width")
        << QStringLiteral("一二三四五六七") << 720.0 << QStringList{"一二三四", "五六七"}
        << QList<int>{0, 1};
    QTest::newRow("only carriage returns")
        << QStringLiteral("\r\r") << 2000.0 << QStringList{} << QList<int>{};
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
    job.form.setWidth(index, wrap > 0 ? boxWidthFor(wrap) : 0.0f);
    job.form.setText(index, text);
    job.print();
    QCOMPARE(job.dialogs.messages(), QStringList{});
    QCOMPARE(PrintCheck::pageCount(job.pdf), 1);
    const QList<Word> words = job.words();
    QStringList printed;
    for (const Word& w : words)
        printed.append(w.text);
    QCOMPARE(printed, lines);

    const Box& box = job.form.box(index);
    const double pitchMm = pitchOf(box) * MmPerPrinterTwip;
    QVERIFY2(pitchMm > 180 * MmPerPrinterTwip && pitchMm < 200 * MmPerPrinterTwip,
             qPrintable(QString::number(pitchMm)));
    const QPointF start = expectedTopLeft(box, 0, 0);
    for (qsizetype w = 0; w < words.size(); ++w) {
        QVERIFY2(std::abs(words[w].mm.left() - start.x()) < 0.05, qPrintable(words[w].text));
        const double expectedTop = start.y() + pitches[w] * pitchMm;
        QVERIFY2(std::abs(words[w].mm.top() - expectedTop) < 0.05,
                 qPrintable(QStringLiteral("%1 at %2 mm, expected %3")
                                .arg(words[w].text)
                                .arg(words[w].mm.top())
                                .arg(expectedTop)));
    }
}

void PrintJobTest::fontSizeOnPaper() {
    Job job;
    job.form.setText(2, QStringLiteral("大字"));
    job.form.setFontSize(2, 18);
    job.form.setText(4, QStringLiteral("小字"));
    job.print();
    const QList<Word> words = job.words();
    const std::optional<Word> big = wordStartingWith(words, QStringLiteral("大"));
    const std::optional<Word> small = wordStartingWith(words, QStringLiteral("小"));
    QVERIFY(big && small);
    // Two full-width characters: 2 × 18 pt and 2 × 9 pt.
    QVERIFY2(std::abs(big->mm.width() - 36 / PrintCheck::PointsPerMm) < 0.02,
             qPrintable(QString::number(big->mm.width())));
    QVERIFY2(std::abs(small->mm.width() - 18 / PrintCheck::PointsPerMm) < 0.02,
             qPrintable(QString::number(small->mm.width())));
}

void PrintJobTest::textColour_data() {
    QTest::addColumn<uint>("foreColor");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("255 is red") << 255u << QColor(255, 0, 0);
    QTest::newRow("16711680 is blue") << 16711680u << QColor(0, 0, 255);
    QTest::newRow("65280 is green") << 65280u << QColor(0, 255, 0);
    QTest::newRow("0 is black") << 0u << QColor(0, 0, 0);
}

void PrintJobTest::textColour() {
    QFETCH(uint, foreColor);
    QFETCH(QColor, expected);
    Form form;
    form.setText(2, QStringLiteral("■■"));
    form.setForeColor(2, foreColor);
    // A page at 72 dpi: one pixel is 20 twips.
    QImage page(600, 860, QImage::Format_RGB32);
    page.setDotsPerMeterX(qRound(72 / 0.0254));
    page.setDotsPerMeterY(qRound(72 / 0.0254));
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.scale(72 / 1440.0, 72 / 1440.0);
    PageRenderer(form, PrintOffsets{}).render(painter);
    painter.end();
    // Edge pixels blend the ink with the white paper: the full channels stay full and
    // the empty ones stay equal to each other.
    int solid = 0;
    int foreign = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c == expected)
                ++solid;
            const int channels[3] = {c.red(), c.green(), c.blue()};
            const int wanted[3] = {expected.red(), expected.green(), expected.blue()};
            int empty = -1;
            for (int k = 0; k < 3; ++k) {
                if (wanted[k] == 255 && channels[k] != 255)
                    ++foreign;
                if (wanted[k] == 0) {
                    if (empty >= 0 && std::abs(empty - channels[k]) > 1)
                        ++foreign;
                    empty = channels[k];
                }
            }
        }
    QVERIFY2(solid > 50, qPrintable(QString::number(solid)));
    QCOMPARE(foreign, 0);
}

void PrintJobTest::command_data() {
    QTest::addColumn<bool>("filled");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("printer"); // "pdf", "cancel" or "broken"
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("printed");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("changedAfter");
    QTest::addColumn<QStringList>("messages");
    const QStringList none;
    const QStringList error{QStringLiteral("打印出错！")};
    QTest::newRow("changed, kept")
        << true << true << "pdf" << true << true << true << 1 << false << none;
    QTest::newRow("changed, not kept")
        << true << true << "pdf" << false << true << true << 0 << false << none;
    QTest::newRow("unchanged") << true << false << "pdf" << true << true << false << 0 << false
                               << none;
    QTest::newRow("all boxes empty")
        << false << true << "pdf" << true << true << true << 1 << false << none;
    QTest::newRow("dialog cancelled")
        << true << true << "cancel" << true << false << false << 0 << true << none;
    QTest::newRow("failing printer")
        << true << true << "broken" << true << false << false << 0 << true << error;
}

void PrintJobTest::command() {
    QFETCH(bool, filled);
    QFETCH(bool, changed);
    QFETCH(QString, printer);
    QFETCH(bool, answer);
    QFETCH(bool, printed);
    QFETCH(bool, asked);
    QFETCH(int, stored);
    QFETCH(bool, changedAfter);
    QFETCH(QStringList, messages);
    Job job;
    if (filled)
        job.form.setText(7, QStringLiteral("报关"));
    job.form.setContentChanged(changed);
    const QString broken = job.folder.file(QStringLiteral("missing/folder/job.pdf"));
    if (printer == QLatin1String("cancel")) {
        job.dialogs.printer = [](QPrinter&) { return false; };
    } else if (printer == QLatin1String("broken")) {
        job.dialogs.printer = [broken](QPrinter& p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(broken);
            return true;
        };
    }
    job.dialogs.yesNo.enqueue(answer);
    job.print();

    QCOMPARE(job.dialogs.shown.first().kind, QStringLiteral("printer"));
    QCOMPARE(QFile::exists(job.pdf), printed);
    QVERIFY(!QFile::exists(broken));
    if (printed) {
        QCOMPARE(PrintCheck::pageCount(job.pdf), 1);
        QCOMPARE(job.words().size(), filled ? 1 : 0);
    }
    QCOMPARE(job.dialogs.yesNo.isEmpty(), asked);
    if (asked)
        QCOMPARE(job.dialogs.shown.last().text, QStringLiteral("是否保存打印记录？"));
    QCOMPARE(job.stored, stored);
    QCOMPARE(job.form.ContentChanged(), changedAfter);
    QCOMPARE(job.dialogs.messages(), messages);
}

void PrintJobTest::failingPrinterInsideJob() {
    Job job;
    job.form.setText(0, QStringLiteral("甲"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(job.folder.file(QStringLiteral("nowhere/x.pdf")));
    QVERIFY(!PrintJob(job.form, printer, job.dialogs));
    QCOMPARE(job.dialogs.messages(), QStringList{QStringLiteral("打印出错！")});
    job.dialogs.clear();
    printer.setOutputFileName(job.pdf);
    QVERIFY(PrintJob(job.form, printer, job.dialogs));
    QCOMPARE(job.dialogs.messages(), QStringList{});
}

QTEST_MAIN(PrintJobTest)
#include "tst_printjob.moc"
