// The print job and the calibration, checked where pdftotext and pdftoppm find the texts
// and the square, in millimetres, on PDF output and on the real print queue.
#include "CalibrationPage.h"
#include "CalibrationSetting.h"
#include "CollateForm.h"
#include "FontSetup.h"
#include "Form.h"
#include "PageRenderer.h"
#include "PrintFixture.h"
#include "PrintJob.h"
#include "ScriptedDialogs.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFontInfo>
#include <QLineEdit>
#include <QPageLayout>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTest>

#include <cmath>

using Setting = std::optional<QString>;

namespace {

// Millimetres of paper per printer twip: the print takes an inch as 1 / 0.03937 mm.
constexpr double MmPerPrinterTwip = 1.0 / (0.03937 * 1440.0);

struct Job {
    TestFolder folder;
    ScriptedDialogs dialogs;
    QWidget window;
    Form form;
    QString pdf = folder.file(QStringLiteral("job.pdf"));

    // To PDF, to a file in a missing folder (a failing printer), cancelled, or to the queue.
    explicit Job(const QString& printer = QStringLiteral("pdf")) {
        isolateSettings(folder.path());
        const QString file = printer == QLatin1String("broken") ? folder.file("no/job.pdf") : pdf;
        dialogs.printer = [this, printer, file](QPrinter& p) {
            if (printer == QLatin1String("queue")) {
                p.setPrinterName(QStringLiteral(QUILLMARSH_PRINT_QUEUE));
                p.setDocName(token);
                return true;
            }
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(file);
            return printer != QLatin1String("cancel");
        };
    }
    const QString token = QStringLiteral("quillmarsh-square-%1-%2")
                              .arg(QCoreApplication::applicationPid())
                              .arg(QDateTime::currentMSecsSinceEpoch());
    static void isolateSettings(const QString& path) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
    }
    void setMargins(const Setting& x, const Setting& y) {
        PrintCheck::storeSetting(QStringLiteral("X"), x);
        PrintCheck::storeSetting(QStringLiteral("Y"), y);
    }
};

bool near(QPointF a, QPointF b, double tolerance) {
    return std::abs(a.x() - b.x()) <= tolerance && std::abs(a.y() - b.y()) <= tolerance;
}

QLineEdit* margin(QWidget* form, const char* name) {
    return form->findChild<QLineEdit*>(QLatin1String(name));
}

} // namespace

class PrintJobTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerFontSubstitutions(); }

    // Each printed line where its box starts, shifted by the calibration, on whole printer
    // twips: every box's number, or a text in box 40 alone, `wrap` printer twips wide.
    void textsOnPaper_data() {
        QTest::addColumn<Setting>("x");
        QTest::addColumn<Setting>("y");
        QTest::addColumn<QPointF>("shift"); // mm left and up
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("wrap");
        QTest::addColumn<QStringList>("lines"); // empty lines take their pitch too
        const Setting none, ten("10");
        const auto numbers = [&](const char* row, Setting x, Setting y, QPointF shift) {
            QTest::newRow(row) << x << y << shift << QString() << 0.0 << QStringList();
        };
        numbers("nothing stored", none, none, QPointF(3, 3));
        numbers("15 and 12", Setting("15"), Setting("12"), QPointF(5, 2));
        numbers("X empty, Y not stored", Setting(""), none, QPointF(3, 3));
        numbers("not a number is 0", Setting("abc"), ten, QPointF(-10, 0));
        numbers("decimals and trailing text", Setting("12.5mm"), Setting("9.75"),
                QPointF(2.5, -0.25));
        const auto box40 = [&](const char* row, const char* text, double wrap,
                               const QStringList& lines) {
            QTest::newRow(row) << ten << ten << QPointF() << QString::fromUtf8(text) << wrap
                               << lines;
        };
        box40("AB CR LF C", "AB\r\nC", 2000, {"AB", "C"});
        box40("full at the wrap width, then a line feed", "一二三四\n尾", 720,
              {"一二三四", "", "尾"});
        box40("below the wrap width, one more", "一二三四五", 721, {"一二三四五"});
        box40("narrowest box", "一二三", 0, {"一", "二", "三"});
    }
    void textsOnPaper() {
        QFETCH(Setting, x);
        QFETCH(Setting, y);
        QFETCH(QPointF, shift);
        QFETCH(QString, text);
        QFETCH(double, wrap);
        QFETCH(QStringList, lines);
        Job job;
        job.setMargins(x, y);
        const double pageTwipsPerMm = 7935.0 / 210.0;
        for (int i = 0; i < BoxCount && text.isEmpty(); ++i)
            job.form.setText(i, QStringLiteral("字%1").arg(i));
        if (!text.isEmpty()) { // the narrowest a box gets is the model's minimum extent
            job.form.setWidth(40, static_cast<float>(wrap * MmPerPrinterTwip * pageTwipsPerMm));
            job.form.setText(40, text);
        }
        // Every box's number makes findings: print all the same, without calibrating first.
        job.dialogs.yesNo << text.isEmpty() << false;
        PrintCommand(job.form, job.dialogs, {});
        QCOMPARE(PrintCheck::pageCount(job.pdf), 1);
        QPrinter printer(QPrinter::HighResolution);
        job.dialogs.printer(printer);
        const QFont font = PageRenderer::deviceFont(job.form.box(40), printer);
        // 宋体 must reach a Song face, not a Latin fallback without the CJK glyphs.
        QVERIFY2(QFontInfo(font).family().startsWith(QLatin1String("AR PL UMing")),
                 qPrintable(QFontInfo(font).family()));
        const double pitch = PageRenderer::linePitch(QFontMetricsF(font, &printer));
        QVERIFY2(pitch > 180 && pitch < 200, qPrintable(QString::number(pitch)));
        // Texts of neighbouring boxes may read as one word: each starts where its box does.
        static const QRegularExpression number(QStringLiteral("^字(\\d+)"));
        QStringList printed;
        for (const PrintCheck::Word& w : PrintCheck::words(job.pdf)) {
            printed.append(w.text);
            const int i = text.isEmpty() ? number.match(w.text).captured(1).toInt() : 40;
            const QPointF start =
                QPointF(job.form.box(i).left, job.form.box(i).top) / pageTwipsPerMm - shift;
            const QPointF line(0, std::max<qsizetype>(0, lines.indexOf(w.text)) * pitch);
            const QPointF twips = QPointF((start / MmPerPrinterTwip).toPoint()) + line;
            QVERIFY2(near(w.mm.topLeft(), twips * MmPerPrinterTwip, 0.05), qPrintable(w.text));
        }
        if (text.isEmpty())
            QVERIFY(printed.size() > BoxCount / 2);
        else
            QCOMPARE(printed, lines.filter(QRegularExpression(QStringLiteral("."))));
    }

    // Nothing printed or asked, the clerk told of a failure, the form still unsaved.
    void printButtonFails_data() {
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("dialog cancelled") << "cancel" << QStringList();
        QTest::newRow("failing printer") << "broken" << QStringList{"打印出错！"};
    }
    void printButtonFails() {
        QFETCH(QString, printer);
        QFETCH(QStringList, messages);
        Job job(printer);
        job.setMargins(QStringLiteral("13"), QStringLiteral("13"));
        job.form.setText(7, QStringLiteral("报关"));
        PrintCommand(job.form, job.dialogs, [] { QFAIL("a record was stored"); });
        QCOMPARE(job.dialogs.messages(), messages);
        QCOMPARE(job.dialogs.shown.size(), messages.size() + 1); // after the print dialog
        QVERIFY(job.form.ContentChanged());
        QVERIFY(!QFile::exists(job.pdf));
    }

    void marginDialog_data() {
        QTest::addColumn<Setting>("before");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("key");           // Return saves, Escape cancels; 0 closes the window
        QTest::addColumn<QString>("typed");     // as X and as Y; empty: left as shown
        QTest::addColumn<QStringList>("after"); // X and Y as stored; none: the save failed
        const int save = Qt::Key_Return;
        QTest::newRow("first use: empty, saved as the default")
            << Setting() << "" << save << "" << QStringList{"13", "13"};
        QTest::newRow("rewritten as numbers") << Setting("13.50") << "13.5" << int(Qt::Key_Escape)
                                              << "20" << QStringList{"13.50", "13.50"};
        QTest::newRow("full-width digits are no number")
            << Setting("１２") << "0" << 0 << "" << QStringList{"１２", "１２"};
        QTest::newRow("blanks, sign, point first") << Setting(" \t\u3000-.25") << "-0.25" << 0 << ""
                                                   << QStringList{" \t\u3000-.25", " \t\u3000-.25"};
        QTest::newRow("a sign alone is 0")
            << Setting("-") << "0" << 0 << "" << QStringList{"-", "-"};
        QTest::newRow(
            "trailing text after a second point; typed: spaces trimmed, 。 read as the point")
            << Setting("11.2.5mm") << "11.2" << save << "  1。2。3 "
            << QStringList{"1.2.3", "1.2.3"};
        QTest::newRow("emptied") << Setting("12") << "12" << save << " " << QStringList{"13", "13"};
        QTest::newRow("settings not writable") << Setting() << "" << save << "15" << QStringList();
    }
    void marginDialog() {
        QFETCH(Setting, before);
        QFETCH(QString, shown);
        QFETCH(int, key);
        QFETCH(QString, typed);
        QFETCH(QStringList, after);
        Job c;
        c.setMargins(before, before);
        if (after.isEmpty()) { // a settings folder below a plain file can never be created
            QVERIFY(TestFolder::write(c.folder.file(QStringLiteral("blocker")), "x"));
            Job::isolateSettings(c.folder.file(QStringLiteral("blocker/settings")));
        }
        QPointer<CollateForm> form = new CollateForm(c.dialogs, &c.window);
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->show();
        for (const char* name : {"TX", "TY"}) {
            QCOMPARE(margin(form, name)->text(), shown);
            QVERIFY(margin(form, name)->placeholderText().contains(QStringLiteral("13")));
            if (!typed.isEmpty())
                margin(form, name)->setText(typed);
        }
        if (key)
            QTest::keyClick(form, Qt::Key(key));
        else
            QVERIFY(form->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Closing after a failed write would let the clerk believe the calibration was kept.
        QCOMPARE(c.dialogs.messages(),
                 after.isEmpty() ? QStringList{"页边距保存出错！"} : QStringList());
        QCOMPARE(form.isNull(), !after.isEmpty());
        const CalibrationSetting::Margins stored = CalibrationSetting::read();
        if (!after.isEmpty())
            QCOMPARE((QStringList{stored.x, stored.y}), after);
    }

    // 打   印 asks about the checks' findings first, then, uncalibrated, whether to print
    // the calibration page instead; the answers decide what reaches paper.
    void questionsBeforePaper_data() {
        QTest::addColumn<bool>("calibrated");
        QTest::addColumn<QString>("number"); // 预录入编号: 18 characters pass the checks
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QString>("paper"); // "declaration", "square" or nothing
        const QString good = QStringLiteral("123456789012345678"), bad = QStringLiteral("1234");
        const QString found = PrintGateMessages::findingsQuestion(1);
        const QString calibrate = PrintGateMessages::calibrationQuestion();
        QTest::newRow("calibrated, nothing found")
            << true << good << QList<bool>{} << QStringList{} << "declaration";
        QTest::newRow("uncalibrated, printed as it is")
            << false << good << QList<bool>{false} << QStringList{calibrate} << "declaration";
        QTest::newRow("uncalibrated, the calibration page instead")
            << false << good << QList<bool>{true} << QStringList{calibrate} << "square";
        QTest::newRow("a finding, printed all the same")
            << true << bad << QList<bool>{true} << QStringList{found} << "declaration";
        QTest::newRow("a finding, not printed")
            << false << bad << QList<bool>{false} << QStringList{found} << "";
        QTest::newRow("a finding, then the calibration page")
            << false << bad << QList<bool>{true, true} << QStringList{found, calibrate} << "square";
    }
    void questionsBeforePaper() {
        QFETCH(bool, calibrated);
        QFETCH(QString, number);
        QFETCH(QList<bool>, answers);
        QFETCH(QStringList, asked);
        QFETCH(QString, paper);
        Job job;
        if (calibrated)
            job.setMargins(QStringLiteral("12"), QStringLiteral("12"));
        job.form.setText(0, number);
        job.form.setText(6, QStringLiteral("宁波"));
        job.form.setContentChanged(false);
        job.dialogs.yesNo.append(answers);
        PrintCommand(job.form, job.dialogs, {}, {}, PrintGate{Mode::Export, {}, &job.window});
        QStringList questions;
        for (const ScriptedDialogs::Shown& shown : job.dialogs.shown)
            if (shown.kind == QLatin1String("yesno"))
                questions.append(shown.text);
        QCOMPARE(questions, asked);
        if (number == QLatin1String("1234") && !asked.isEmpty())
            QCOMPARE(job.dialogs.shown.first().details, QStringLiteral("预录入编号：应为18位"));
        QCOMPARE(PrintCheck::pageCount(job.pdf), paper.isEmpty() ? -1 : 1);
        QCOMPARE(PrintCheck::words(job.pdf).size(), paper == QLatin1String("declaration") ? 2 : 0);
        // The margins are typed in after the calibration page, as after 打 印 校 准.
        auto* margins = job.window.findChild<CollateForm*>();
        QCOMPARE(margins && margins->isVisible(), paper == QLatin1String("square"));
    }

    void calibrationPage_data() {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("printer");
        QTest::newRow("no calibration page") << false << "pdf";
        QTest::newRow("print dialog cancelled") << true << "cancel";
        QTest::newRow("failing printer") << true << "broken";
        QTest::newRow("square on PDF") << true << "pdf";
        QTest::newRow("square on the real queue") << true << "queue";
    }
    void calibrationPage() {
        QFETCH(bool, answer);
        QFETCH(QString, printer);
        const QString queue = QStringLiteral(QUILLMARSH_PRINT_QUEUE);
        if (printer == QLatin1String("queue") &&
            !QPrinterInfo::availablePrinterNames().contains(queue)) {
            if (qEnvironmentVariableIntValue("QUILLMARSH_REQUIRE_PRINTER"))
                QFAIL(
                    qPrintable(queue + QStringLiteral(" is not set up (scripts/print-queue.sh)")));
            QSKIP("no cups-pdf queue on this machine");
        }
        Job c(printer);
        c.setMargins(QStringLiteral("11"), QStringLiteral("12"));
        c.dialogs.yesNo << answer << false;
        QPointer<CollateForm> form = PrintCalibrationPage(c.dialogs, &c.window);
        // The print dialog, after Yes only, shows no text; a failed page is passed over.
        const QString asked = CalibrationMessages::printQuestion();
        QCOMPARE(c.dialogs.allTexts(), answer ? QStringList({asked, ""}) : QStringList{asked});
        QVERIFY(form && form->isVisible() && !form->isModal());
        QCOMPARE(margin(form, "TX")->text(), QStringLiteral("11"));
        // A second calibration raises the dialog already open, with what was typed.
        margin(form, "TX")->setText(QStringLiteral("14"));
        QCOMPARE(PrintCalibrationPage(c.dialogs, &c.window), form.data());
        QCOMPARE(margin(form, "TX")->text(), QStringLiteral("14"));
        // PDF output has no unprintable margin: the origin is the paper's corner. The queue
        // has the one it reports, and writes its PDF when it gets to it.
        QPointF origin;
        QString pdf = c.pdf;
        if (printer == QLatin1String("queue")) {
            QPrinter probe(QPrinterInfo::printerInfo(queue), QPrinter::HighResolution);
            probe.setPageSize(QPageSize(QPageSize::A4));
            QPageLayout layout = probe.pageLayout();
            layout.setUnits(QPageLayout::Millimeter);
            origin = QPointF(layout.minimumMargins().left(), layout.minimumMargins().top());
            const auto whole = [&c] {
                for (QDirIterator it(QStringLiteral(QUILLMARSH_PRINT_QUEUE_OUTPUT), QDir::Files,
                                     QDirIterator::Subdirectories);
                     it.hasNext();)
                    if (const QString file = it.next(); file.contains(c.token))
                        return PrintCheck::pageCount(file) == 1 ? file : QString();
                return QString();
            };
            QTRY_VERIFY_WITH_TIMEOUT(!(pdf = whole()).isEmpty(), 60000);
        }
        const bool printed = answer && (printer == QLatin1String("pdf") || pdf != c.pdf);
        QCOMPARE(PrintCheck::pageCount(pdf), printed ? 1 : -1);
        if (!printed)
            return;
        QCOMPARE(PrintCheck::words(pdf).size(), 0);
        const int dpi = 600;
        const QImage page = PrintCheck::renderPage(pdf, c.folder.path(), dpi);
        if (pdf != c.pdf)
            QFile::remove(pdf);
        QVERIFY(std::abs(page.width() - 210 / 25.4 * dpi) < 4); // A4 in whole points
        // Nothing but the solid square, 10 to 20 mm right of and below the origin.
        const PrintCheck::Ink ink = PrintCheck::inkOf(page, dpi);
        const double side = 10 * 0.03937 * 25.4, tolerance = pdf == c.pdf ? 0.1 : 0.2;
        QVERIFY2(near(ink.mm.topLeft(), origin + QPointF(side, side), tolerance) &&
                     near(ink.mm.bottomRight(), origin + QPointF(2 * side, 2 * side), tolerance),
                 qPrintable(QString::asprintf("%.3f, %.3f to %.3f, %.3f mm", ink.mm.left(),
                                              ink.mm.top(), ink.mm.right(), ink.mm.bottom())));
        const double pixels = std::pow(side / 25.4 * dpi, 2);
        QVERIFY2(std::abs(ink.pixels - pixels) < 0.02 * pixels,
                 qPrintable(QString::number(ink.pixels)));
    }
};

QTEST_MAIN(PrintJobTest)
#include "tst_printjob.moc"
