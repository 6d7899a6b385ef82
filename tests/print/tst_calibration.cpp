#include "CalibrationPage.h"
#include "CollateForm.h"
#include "FontSetup.h"
#include "PrintFixture.h"
#include "ScriptedDialogs.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <cmath>

using Setting = std::optional<QString>;

namespace {

// The square's corners, in millimetres from the printer origin: 10 and 20 mm as the
// printer's inch of 1 / 0.03937 mm makes them.
constexpr double SquareNear = 10 * 0.03937 * 25.4;
constexpr double SquareFar = 20 * 0.03937 * 25.4;

struct Calibration {
    TestFolder folder;
    ScriptedDialogs dialogs;
    QWidget window;

    Calibration() { PrintCheck::isolateSettings(folder.path()); }
    void store(const Setting& x, const Setting& y) {
        PrintCheck::storeSetting(QStringLiteral("X"), x);
        PrintCheck::storeSetting(QStringLiteral("Y"), y);
    }
    Setting x() const { return PrintCheck::storedSetting(QStringLiteral("X")); }
    Setting y() const { return PrintCheck::storedSetting(QStringLiteral("Y")); }
};

// Fails with both rectangles shown when `ink` is not `expected` within `tolerance` mm.
bool near(const QRectF& ink, const QRectF& expected, double tolerance) {
    return std::abs(ink.left() - expected.left()) <= tolerance &&
           std::abs(ink.top() - expected.top()) <= tolerance &&
           std::abs(ink.right() - expected.right()) <= tolerance &&
           std::abs(ink.bottom() - expected.bottom()) <= tolerance;
}

QString show(const QRectF& r) {
    return QStringLiteral("(%1, %2)-(%3, %4) mm")
        .arg(r.left(), 0, 'f', 3)
        .arg(r.top(), 0, 'f', 3)
        .arg(r.right(), 0, 'f', 3)
        .arg(r.bottom(), 0, 'f', 3);
}

} // namespace

class CalibrationTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void dialogLayout_data();
    void dialogLayout();
    void dialogOpens_data();
    void dialogOpens();
    void dialogSaves_data();
    void dialogSaves();
    void dialogClosesWithoutStoring_data();
    void dialogClosesWithoutStoring();
    void failedSaveKeepsDialogOpen();
    void calibrationPage_data();
    void calibrationPage();
    void secondCalibrationRaisesTheOpenDialog();
    void squareOnRealQueue();
};

void CalibrationTest::initTestCase() {
    registerFontSubstitutions();
}

void CalibrationTest::dialogLayout_data() {
    QTest::addColumn<QString>("control"); // its text, or the object name of a text box
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<double>("points"); // 0: the default font
    QTest::newRow("instruction")
        << "您只需将打印出的校验图形（矩形黑块）左上角与纸张左上角的横向及纵"
           "向距离分别量出，填入下框即可准确打印。为精确起见，您可以输入小数。"
        << QRect(180, 120, 5895, 840) << 12.0;
    QTest::newRow("horizontal caption")
        << "横向页边距（向左移动）" << QRect(120, 1200, 2535, 255) << 10.5;
    QTest::newRow("TX") << "TX" << QRect(120, 1440, 1815, 375) << 12.0;
    QTest::newRow("vertical caption")
        << "纵向页边距（向上移动）" << QRect(120, 1920, 2535, 255) << 10.5;
    QTest::newRow("TY") << "TY" << QRect(120, 2160, 1815, 375) << 12.0;
    QTest::newRow("save") << "保    存" << QRect(4080, 1365, 1935, 495) << 0.0;
    QTest::newRow("cancel") << "取    消" << QRect(4080, 2085, 1935, 495) << 0.0;
}

void CalibrationTest::dialogLayout() {
    QFETCH(QString, control);
    QFETCH(QRect, twips);
    QFETCH(double, points);
    Calibration c;
    CollateForm form(c.dialogs, &c.window);
    QCOMPARE(form.size(), QSize(406, 179)); // 6090 × 2685 twips, 15 to a pixel
    QWidget* widget = form.findChild<QLineEdit*>(control);
    for (QWidget* child : form.findChildren<QWidget*>()) {
        const QVariant text = child->property("text");
        if (!widget && !qobject_cast<QLineEdit*>(child) && text.toString() == control)
            widget = child;
    }
    QVERIFY2(widget, qPrintable(control));
    const QRect expected(qRound(twips.x() / 15.0), qRound(twips.y() / 15.0),
                         qRound(twips.width() / 15.0), qRound(twips.height() / 15.0));
    QCOMPARE(widget->geometry(), expected);
    if (points > 0) {
        QCOMPARE(widget->font().family(), QStringLiteral("宋体"));
        QCOMPARE(widget->font().pointSizeF(), points);
    }
    // The two 毫米 labels stand right of their text boxes.
    const QList<QLabel*> labels = form.findChildren<QLabel*>();
    QCOMPARE(std::count_if(labels.begin(), labels.end(),
                           [](const QLabel* l) { return l->text() == QStringLiteral("毫米"); }),
             2);
}

void CalibrationTest::dialogOpens_data() {
    QTest::addColumn<Setting>("x");
    QTest::addColumn<Setting>("y");
    QTest::addColumn<QString>("shownX");
    QTest::addColumn<QString>("shownY");
    QTest::newRow("first use") << Setting() << Setting() << "13"
                               << "13";
    QTest::newRow("X empty, Y stored") << Setting("") << Setting("7") << "13"
                                       << "13";
    QTest::newRow("both stored") << Setting("12.5") << Setting("9") << "12.5"
                                 << "9";
    QTest::newRow("rewritten as numbers") << Setting("13.50") << Setting("08") << "13.5"
                                          << "8";
    QTest::newRow("only X stored") << Setting("15") << Setting() << "15"
                                   << "0";
    QTest::newRow("not a number") << Setting("abc") << Setting("-0") << "0"
                                  << "0";
    QTest::newRow("number with trailing text") << Setting("11.25mm") << Setting("-1.5") << "11.25"
                                               << "-1.5";
}

void CalibrationTest::dialogOpens() {
    QFETCH(Setting, x);
    QFETCH(Setting, y);
    QFETCH(QString, shownX);
    QFETCH(QString, shownY);
    Calibration c;
    c.store(x, y);
    CollateForm form(c.dialogs, &c.window);
    QCOMPARE(form.windowTitle(), QStringLiteral("输入页边距"));
    QCOMPARE(form.horizontalMargin()->text(), shownX);
    QCOMPARE(form.verticalMargin()->text(), shownY);
    // Opening writes nothing.
    QCOMPARE(c.x(), x);
    QCOMPARE(c.y(), y);
}

void CalibrationTest::dialogSaves_data() {
    QTest::addColumn<Setting>("before");
    QTest::addColumn<QString>("typedX");
    QTest::addColumn<QString>("typedY");
    QTest::addColumn<QString>("storedX");
    QTest::addColumn<QString>("storedY");
    QTest::newRow("first use unchanged") << Setting() << ""
                                         << ""
                                         << "13"
                                         << "13";
    QTest::newRow("ideographic full stop") << Setting("13") << "12。5"
                                           << "9"
                                           << "12.5"
                                           << "9";
    QTest::newRow("spaces trimmed") << Setting("13") << "  15  "
                                    << " 11"
                                    << "15"
                                    << "11";
    QTest::newRow("stored as typed") << Setting("13") << "abc"
                                     << "1。2。3"
                                     << "abc"
                                     << "1.2.3";
    QTest::newRow("emptied") << Setting("13") << " "
                             << ""
                             << ""
                             << "";
}

void CalibrationTest::dialogSaves() {
    QFETCH(Setting, before);
    QFETCH(QString, typedX);
    QFETCH(QString, typedY);
    QFETCH(QString, storedX);
    QFETCH(QString, storedY);
    Calibration c;
    c.store(before, before);
    QPointer<CollateForm> form = new CollateForm(c.dialogs, &c.window);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    if (!typedX.isEmpty() || !typedY.isEmpty() || before) {
        form->horizontalMargin()->setText(typedX);
        form->verticalMargin()->setText(typedY);
    }
    QCOMPARE(form->saveButton()->text(), QStringLiteral("保    存"));
    QTest::mouseClick(form->saveButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(form.isNull());
    QCOMPARE(c.x(), Setting(storedX));
    QCOMPARE(c.y(), Setting(storedY));
    QCOMPARE(c.dialogs.shown.size(), 0);
}

void CalibrationTest::dialogClosesWithoutStoring_data() {
    QTest::addColumn<Setting>("x");
    QTest::addColumn<Setting>("y");
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("close box, stored values") << Setting("11") << Setting("12") << true;
    QTest::newRow("close box, nothing stored") << Setting() << Setting() << true;
    QTest::newRow("cancel, stored values") << Setting("11") << Setting("12") << false;
    QTest::newRow("cancel, nothing stored") << Setting() << Setting() << false;
}

void CalibrationTest::dialogClosesWithoutStoring() {
    QFETCH(Setting, x);
    QFETCH(Setting, y);
    QFETCH(bool, closeBox);
    Calibration c;
    c.store(x, y);
    QPointer<CollateForm> form = new CollateForm(c.dialogs, &c.window);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    form->horizontalMargin()->setText(QStringLiteral("20"));
    form->verticalMargin()->setText(QStringLiteral("30"));
    if (closeBox) {
        QVERIFY(form->close());
    } else {
        QCOMPARE(form->cancelButton()->text(), QStringLiteral("取    消"));
        QTest::mouseClick(form->cancelButton(), Qt::LeftButton);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(form.isNull());
    QCOMPARE(c.x(), x);
    QCOMPARE(c.y(), y);
}

void CalibrationTest::failedSaveKeepsDialogOpen() {
    Calibration c;
    // A settings folder below a plain file can never be created.
    QFile blocker(c.folder.file(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    PrintCheck::isolateSettings(c.folder.file(QStringLiteral("blocker/settings")));
    CollateForm form(c.dialogs, &c.window);
    form.show();
    form.horizontalMargin()->setText(QStringLiteral("15"));
    QTest::mouseClick(form.saveButton(), Qt::LeftButton);
    QCOMPARE(c.dialogs.messages(), QStringList{QStringLiteral("页边距保存出错！")});
    QVERIFY(form.isVisible());
    QCOMPARE(form.horizontalMargin()->text(), QStringLiteral("15"));
}

void CalibrationTest::calibrationPage_data() {
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("printer"); // "pdf", "cancel" or "broken"
    QTest::addColumn<bool>("printed");
    QTest::newRow("no calibration page") << false << "pdf" << false;
    QTest::newRow("print dialog cancelled") << true << "cancel" << false;
    QTest::newRow("square printed") << true << "pdf" << true;
    QTest::newRow("failing printer") << true << "broken" << false;
}

void CalibrationTest::calibrationPage() {
    QFETCH(bool, answer);
    QFETCH(QString, printer);
    QFETCH(bool, printed);
    Calibration c;
    c.store(QStringLiteral("11"), QStringLiteral("12"));
    const QString pdf = c.folder.file(QStringLiteral("square.pdf"));
    const QString target = printer == QLatin1String("broken")
                               ? c.folder.file(QStringLiteral("missing/square.pdf"))
                               : pdf;
    c.dialogs.yesNo.enqueue(answer);
    c.dialogs.printer = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(target);
        return printer != QLatin1String("cancel");
    };
    QPointer<CollateForm> form = PrintCalibrationPage(c.dialogs, &c.window);

    QCOMPARE(c.dialogs.shown.first().kind, QStringLiteral("yesno"));
    QCOMPARE(c.dialogs.shown.first().text,
             QStringLiteral("您是否需要打印校验图形？如果要打印，请在打印机中放好A4纸一张。"));
    QCOMPARE(c.dialogs.shown.first().title, QStringLiteral("打印位置校验"));
    QCOMPARE(c.dialogs.shown.size(), answer ? 2 : 1); // the print dialog after Yes only
    QCOMPARE(c.dialogs.messages(), QStringList{});
    QVERIFY(form && form->isVisible() && !form->isModal());
    QCOMPARE(form->horizontalMargin()->text(), QStringLiteral("11"));
    QCOMPARE(QFile::exists(pdf), printed);
    if (!printed)
        return;
    QCOMPARE(PrintCheck::pageCount(pdf), 1);
    QCOMPARE(PrintCheck::words(pdf).size(), 0);
    const int dpi = 600;
    const QImage page = PrintCheck::renderPage(pdf, c.folder.path(), dpi);
    QVERIFY(!page.isNull());
    QVERIFY(std::abs(page.width() - 210 / 25.4 * dpi) < 4); // A4 in whole points
    const PrintCheck::Ink ink = PrintCheck::inkOf(page, dpi);
    // PDF output has no unprintable margin: the origin is the paper's corner.
    const QRectF expected(QPointF(SquareNear, SquareNear), QPointF(SquareFar, SquareFar));
    QVERIFY2(near(ink.mm, expected, 0.1), qPrintable(show(ink.mm)));
    // Nothing but the solid square: every dark pixel lies inside it and it is full.
    const double squarePixels = std::pow((SquareFar - SquareNear) / 25.4 * dpi, 2);
    QVERIFY2(std::abs(ink.pixels - squarePixels) < 0.02 * squarePixels,
             qPrintable(QString::number(ink.pixels)));
}

void CalibrationTest::secondCalibrationRaisesTheOpenDialog() {
    Calibration c;
    c.dialogs.yesNo << false << false;
    QPointer<CollateForm> first = PrintCalibrationPage(c.dialogs, &c.window);
    first->horizontalMargin()->setText(QStringLiteral("14"));
    QPointer<CollateForm> second = PrintCalibrationPage(c.dialogs, &c.window);
    QCOMPARE(second.data(), first.data());
    QCOMPARE(second->horizontalMargin()->text(), QStringLiteral("14"));
    QVERIFY(second->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first.isNull());
    c.dialogs.yesNo << false;
    QPointer<CollateForm> third = PrintCalibrationPage(c.dialogs, &c.window);
    QCOMPARE(third->horizontalMargin()->text(), QStringLiteral("13"));
}

void CalibrationTest::squareOnRealQueue() {
    const QString queue = QStringLiteral(QUILLMARSH_PRINT_QUEUE);
    if (!QPrinterInfo::availablePrinterNames().contains(queue)) {
        if (qEnvironmentVariableIntValue("QUILLMARSH_REQUIRE_PRINTER"))
            QFAIL(qPrintable(queue + QStringLiteral(" is not set up (scripts/print-queue.sh)")));
        QSKIP("no cups-pdf queue on this machine");
    }
    Calibration c;
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
    while (waited.elapsed() < 120000) {
        QDirIterator it(QStringLiteral(QUILLMARSH_PRINT_QUEUE_OUTPUT), QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            if (file.contains(token) && PrintCheck::pageCount(file) == 1)
                pdf = file;
        }
        if (!pdf.isEmpty())
            break;
        QThread::msleep(250);
    }
    QVERIFY2(!pdf.isEmpty(), qPrintable(QStringLiteral("no PDF from the queue for ") + token));
    const int dpi = 600;
    const QImage page = PrintCheck::renderPage(pdf, c.folder.path(), dpi);
    QFile::remove(pdf);
    QVERIFY(!page.isNull());
    const PrintCheck::Ink ink = PrintCheck::inkOf(page, dpi);
    const QRectF expected(QPointF(margins.left() + SquareNear, margins.top() + SquareNear),
                          QPointF(margins.left() + SquareFar, margins.top() + SquareFar));
    QVERIFY2(near(ink.mm, expected, 0.2),
             qPrintable(show(ink.mm) + QStringLiteral(", expected ") + show(expected)));
}

QTEST_MAIN(CalibrationTest)
#include "tst_calibration.moc"
