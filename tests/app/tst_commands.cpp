// The window's commands wired to their work: print and batch print, the history view with
// its find box and image buttons, keyboard-first entry, calibration and the about box.
#include "../excel/ProgressWatcher.h"
#include "../print/PrintFixture.h"
#include "AboutBox.h"
#include "CollateForm.h"
#include "GridAccess.h"
#include "HistoryGrid.h"
#include "ImageButtons.h"
#include "PrintJob.h"
#include "PrintPreview.h"
#include "Sheets.h"
#include "WindowSession.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QSqlQuery>

namespace {

// Where each word of a page landed, to the hundredth of a millimetre.
QStringList placed(const QList<PrintCheck::Word>& words) {
    QStringList out;
    for (const PrintCheck::Word& w : words)
        out.append(QString::asprintf("%s@%.2f,%.2f", qPrintable(w.text), w.mm.left(), w.mm.top()));
    return out;
}

// The window on the export history, over export records of box 0 and box 6.
struct History : WindowSession {
    explicit History(const QList<QPair<QString, QString>>& records) {
        for (const auto& [code, place] : records)
            storeRecord(Mode::Export, {{0, code}, {6, place}, {31, "N/M\r\n" + code}});
        start();
        tabs("SS2")->setCurrentIndex(0);
        tabs("SST")->setCurrentIndex(1);
    }
    HistoryGrid& grid() const { return mf->historyGrid(); }
    QStringList column(int col) const {
        QStringList out;
        for (int r = 1; r < grid().access().rows(); ++r)
            out.append(grid().access().text(r, col));
        return out;
    }
    QAbstractButton* imageButton(int i) const {
        return named(ImageButtonStrip::words()[static_cast<std::size_t>(i)]);
    }
};

void storeCalibration() {
    PrintCheck::storeSetting(QStringLiteral("X"), QStringLiteral("13"));
    PrintCheck::storeSetting(QStringLiteral("Y"), QStringLiteral("13"));
}

QStringList kinds(const ScriptedDialogs& dialogs) {
    QStringList out;
    for (const ScriptedDialogs::Shown& shown : dialogs.shown)
        out.append(shown.kind);
    return out;
}

} // namespace

class CommandsTest : public QObject {
    Q_OBJECT
private slots:
    void print();
    void batchPrint_data();
    void batchPrint();
    void batchQuestions_data();
    void batchQuestions();
    void findAndTheImageButtons();
    void findFoldsCaseAndReadsTheDate_data();
    void findFoldsCaseAndReadsTheDate();
    void keysCalibrationAndAbout();
};

// 打   印 asks whether to keep the record, in the history of the form's mode only; printing
// again without a change asks nothing, and after a No nothing is kept.
void CommandsTest::print() {
    WindowSession s;
    storeCalibration();
    s.start();
    s.form().setText(6, QStringLiteral("上海某某进出口有限公司"));
    const QString pdf = s.folder.file(QStringLiteral("print.pdf"));
    s.dialogs.printer = [&](QPrinter& p) { return s.toPdf(p, pdf); };
    s.dialogs.yesNo << true << false;
    click(QStringLiteral("打   印"));
    QVERIFY(QFile(pdf).size() > 0);
    QCOMPARE(s.storedRecord(Mode::Import, 0).value(6), s.form().text(6));
    QVERIFY(s.storedRecord(Mode::Export, 0).isEmpty());
    click(QStringLiteral("打   印"));
    s.form().setText(6, QStringLiteral("宁波某某公司"));
    click(QStringLiteral("打   印"));
    QCOMPARE(s.dialogs.allTexts().count(QStringLiteral("是否保存打印记录？")), 2);
    QVERIFY(s.storedRecord(Mode::Import, 1).isEmpty());
}

void CommandsTest::batchPrint_data() {
    QTest::addColumn<bool>("broken");
    QTest::addColumn<bool>("escape");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("button");
    const QString done = QStringLiteral("批量打印完成：共打印3页。另有1行没有记录，未打印。");
    QTest::newRow("printed from the batch preview") << false << false << 3 << done << "批量预览";
    QTest::newRow("Esc after page one")
        << false << true << 1 << "批量打印已中止：已打印1页，共3页。另有1行没有记录，未打印。"
        << "批量打印";
    QTest::newRow("failing printer") << true << false << 0 << "打印出错！"
                                     << "批量打印";
}

void CommandsTest::batchPrint() {
    QFETCH(bool, broken);
    QFETCH(bool, escape);
    QFETCH(int, pages);
    QFETCH(QString, message);
    QFETCH(QString, button);
    History s({{"E-100", "宁波"}, {"E-101", "上海"}, {"E-102", "天津"}});
    // The form view holds the clerk's own work in a layout of its own.
    Form& form = s.form();
    form.setText(2, QStringLiteral("typed"));
    form.setGeometry(6, 3000, 5000, 2000, 300);
    form.setFontSize(0, 14);
    const int leftover = s.grid().access().addRow(); // a failed import's row
    s.grid().access().setText(leftover, 3, QStringLiteral("no record"));
    s.grid().setGridSelection(1, leftover);
    const QString pdf = s.folder.file(broken ? QStringLiteral("none/b.pdf") : "batch.pdf");
    s.dialogs.printer = [&](QPrinter& p) { return s.toPdf(p, pdf); };
    storeCalibration();
    s.dialogs.yesNo << true; // every record's 预录入编号 is short: print all the same
    ProgressWatcher watcher(escape);
    // The preview shows every page before the same pages are printed from it.
    int previewPages = -1;
    QTimer::singleShot(0, [&] {
        if (auto* preview = qobject_cast<PrintPreviewDialog*>(QApplication::activeModalWidget())) {
            previewPages = preview->previewWidget()->pageCount();
            preview->printButton()->click();
        }
    });
    click(button);
    QCOMPARE(previewPages, button == QStringLiteral("批量预览") ? pages : -1);
    QCOMPARE(s.dialogs.messages(), QStringList{message});
    QCOMPARE(PrintCheck::pageCount(pdf), broken ? -1 : pages);
    QCOMPARE(s.dialogs.unanswered, QStringList{}); // no save question
    // One question for the batch, listing each record's finding.
    QCOMPARE(s.dialogs.allTexts().first(), QStringLiteral("发现3处可能的错误，是否仍然打印？"));
    const QStringList listed = s.dialogs.shown.first().details.split(u'\n');
    QCOMPARE(listed.size(), 3);
    for (int page = 1; page <= 3; ++page)
        QVERIFY2(listed[page - 1].startsWith(QStringLiteral("第%1页（序号").arg(page)) &&
                     listed[page - 1].endsWith(QStringLiteral("：预录入编号：应为18位")),
                 qPrintable(listed[page - 1]));
    QVERIFY(form.text(2) == QStringLiteral("typed") && form.ContentChanged());

    // Each page is what 打   印 prints for that record with the same layout.
    for (int page = 1; page <= pages; ++page) {
        for (int i = 0; i < BoxCount; ++i)
            form.setText(i, s.grid().access().text(page, 3 + i));
        QPrinter printer(QPrinter::HighResolution);
        s.toPdf(printer, s.folder.file(QStringLiteral("single.pdf")));
        QVERIFY(PrintJob(form, printer, s.dialogs));
        QCOMPARE(placed(PrintCheck::words(pdf, page)),
                 placed(PrintCheck::words(printer.outputFileName())));
    }
}

// The batch's questions before paper: No to the findings prints nothing; uncalibrated, Yes
// prints the calibration page alone and No the batch.
void CommandsTest::batchQuestions_data() {
    QTest::addColumn<bool>("calibrated");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<int>("pages");
    QTest::addColumn<bool>("square");
    QTest::newRow("findings, not printed") << true << QList<bool>{false} << 0 << false;
    QTest::newRow("the calibration page instead") << false << QList<bool>{true, true} << 1 << true;
    QTest::newRow("uncalibrated, printed as it is")
        << false << QList<bool>{true, false} << 2 << false;
}

void CommandsTest::batchQuestions() {
    QFETCH(bool, calibrated);
    QFETCH(QList<bool>, answers);
    QFETCH(int, pages);
    QFETCH(bool, square);
    History s({{"E-100", "宁波"}, {"E-101", "上海"}});
    if (calibrated)
        storeCalibration();
    s.grid().setGridSelection(1, 2);
    const QString pdf = s.folder.file(QStringLiteral("batch.pdf"));
    s.dialogs.printer = [&](QPrinter& p) { return s.toPdf(p, pdf); };
    s.dialogs.yesNo.append(answers);
    click(QStringLiteral("批量打印"));
    QCOMPARE(PrintCheck::pageCount(pdf), pages ? pages : -1);
    QCOMPARE(PrintCheck::words(pdf).isEmpty(), pages == 0 || square);
    QCOMPARE(kinds(s.dialogs).count(QStringLiteral("printer")), pages ? 1 : 0);
    QCOMPARE(s.dialogs.messages().size(), pages && !square ? 1 : 0);
    auto* margins = s.mf->findChild<CollateForm*>();
    QCOMPARE(margins && margins->isVisible(), square);
}

void CommandsTest::findAndTheImageButtons() {
    // Grid order is 4, 3, 2, 1, 0; "abc" hides record 1, between records 2 and 0.
    History s({{"ABC-001", "宁波"},
               {"xyz-002", "上海"},
               {"abc-003", "宁波"},
               {"abc-004", "a"},
               {"abc-000", "b"}});
    auto* find = named<QLineEdit>(QStringLiteral("查找"));
    QTest::keyClick(&s.grid(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(find->hasFocus());
    find->setText(QStringLiteral("宁波"));
    QCOMPARE(s.column(3), (QStringList{"abc-003", "ABC-001"}));
    find->setText(QStringLiteral("abc"));
    QCOMPARE(s.column(3), (QStringList{"abc-000", "abc-004", "abc-003", "ABC-001"}));
    // Headers follow the history's own mode, not the form view's (import here).
    QCOMPARE(s.grid().access().text(0, 3 + 10), QStringLiteral("发货单位"));

    // 导 出 writes the rows shown.
    const QString xls = s.folder.file(QStringLiteral("shown.xls"));
    s.dialogs.saveFiles.enqueue(xls);
    click(s.imageButton(0));
    QCOMPARE(s.dialogs.messages(), QStringList{QStringLiteral("已导出4条记录到文件：%1").arg(xls)});

    // 再次打印 takes shown row 4 (record 0, not the hidden record 1) into the export working
    // record; the form view comes back in its own mode. A refill keeps the find text and
    // shows the new working record last.
    s.grid().setGridSelection(4, 4);
    click(s.imageButton(4));
    QCOMPARE(s.tabs("SST")->currentIndex(), 0);
    QCOMPARE(s.mf->formMode(), Mode::Import);
    QCOMPARE(s.shown(6), QString());
    s.selectTab("SS1", 0);
    QCOMPARE(s.shown(6), QStringLiteral("宁波"));
    s.tabs("SST")->setCurrentIndex(1);
    QCOMPARE(find->text(), QStringLiteral("abc"));
    QCOMPARE(s.column(3), (QStringList{"abc-000", "abc-004", "abc-003", "ABC-001", "ABC-001"}));

    // 删除记录 on shown rows 3 and 4 leaves the hidden record between them.
    s.grid().setGridSelection(3, 4);
    s.dialogs.yesNo.enqueue(true);
    click(s.imageButton(2));
    // A header click sorts the shown rows; sequence numbers stay with their rows.
    emit s.grid().horizontalHeader()->sectionPressed(3);
    QCOMPARE(s.column(3), (QStringList{"abc-000", "ABC-001", "abc-004"}));
    find->clear();
    QCOMPARE(s.column(3), (QStringList{"abc-000", "ABC-001", "abc-004", "xyz-002"}));
    QCOMPARE(s.column(1), (QStringList{"1", "6", "2", "4"}));

    // 导 入 reads rows 2 to 4 of the workbook into the import history; 清除记录 empties it.
    s.tabs("SS2")->setCurrentIndex(1);
    s.dialogs.openFiles.enqueue(xls);
    s.dialogs.texts << QStringLiteral("2") << QStringLiteral("4");
    // The sheet dialog waits for the clerk: answer it once it is up.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* sheets = qobject_cast<Sheets*>(w); sheets && sheets->isVisible())
                sheets->okButton()->click();
    });
    click(s.imageButton(1));
    QVERIFY2(s.dialogs.messages().contains(QStringLiteral("导入EXCEL表格第2至第4行完成！")),
             qPrintable(s.dialogs.messages().join(u'|')));
    QCOMPARE(s.grid().access().text(0, 3 + 10), QStringLiteral("收货单位"));
    QStringList imported = s.column(3);
    imported.sort();
    QCOMPARE(imported, (QStringList{"abc-000", "abc-003", "abc-004"}));
    s.dialogs.okCancel.enqueue(true);
    click(s.imageButton(3));
    QCOMPARE(s.dialogs.shown.last().title, QStringLiteral("删除记录确认"));
    QCOMPARE(s.grid().access().rows(), 1);
    s.tabs("SS2")->setCurrentIndex(0);
    QCOMPARE(s.column(3).size(), 4);
}

void CommandsTest::findFoldsCaseAndReadsTheDate_data() {
    QTest::addColumn<QString>("find");
    QTest::addColumn<QStringList>("shown"); // box 0 of the rows shown
    QTest::newRow("lower case finds upper") << "abc" << QStringList{"ABC-001"};
    QTest::newRow("upper case finds lower") << "XYZ" << QStringList{"xyz-002"};
    QTest::newRow("the print date") << "2023-03-15" << QStringList{"ABC-001"};
    QTest::newRow("the print time") << "12:00" << QStringList{"ABC-001"};
}

void CommandsTest::findFoldsCaseAndReadsTheDate() {
    QFETCH(QString, find);
    QFETCH(QStringList, shown);
    History s({{"ABC-001", "宁波"}, {"xyz-002", "上海"}});
    { // record 0 was printed at noon on 15 March 2023
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "dates");
        db.setDatabaseName(s.dbPath);
        QVERIFY(db.open() && QSqlQuery(db).exec("UPDATE \"出口\" SET Dat = 45000.5 WHERE Ord = 0"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("dates"));
    s.tabs("SS2")->setCurrentIndex(1);
    s.tabs("SS2")->setCurrentIndex(0);
    named<QLineEdit>(QStringLiteral("查找"))->setText(find);
    QCOMPARE(s.column(3), shown);
}

void CommandsTest::keysCalibrationAndAbout() {
    History s({});
    s.tabs("SST")->setCurrentIndex(0);
    s.box(0)->setFocus();
    QTRY_VERIFY(s.box(0)->hasFocus());
    QTest::keyClick(s.box(0), Qt::Key_Return);
    QVERIFY(s.box(1)->hasFocus());
    QTest::keyClick(s.box(1), Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
    QVERIFY(s.box(0)->hasFocus());
    QTest::keyClick(s.box(0), Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(s.box(0), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(s.dialogs.messages(), (QStringList{QStringLiteral("报关单内容已存入历史记录！"),
                                                QStringLiteral("同样内容已经保存过！")}));
    s.dialogs.yesNo.enqueue(false); // no calibration square printed
    click(QStringLiteral("打 印 校 准"));
    QTRY_VERIFY(s.mf->findChild<CollateForm*>() && s.mf->findChild<CollateForm*>()->isVisible());
    s.mf->findChild<CollateForm*>()->close();
    QTest::keyClick(s.box(0), Qt::Key_F1);
    QCOMPARE(s.tabs("SST")->currentIndex(), 2);
    click(QStringLiteral("版权信息"));
    QTRY_VERIFY(s.mf->findChild<AboutBox*>() && s.mf->findChild<AboutBox*>()->isVisible());
}

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"
