// Batch print, the find box and the commands on what it shows, keyboard-first entry.
#include "DataBase.h"
#include "Form.h"
#include "GridAccess.h"
#include "HistoryGrid.h"
#include "MF.h"
#include "PageWidget.h"
#include "PrintFixture.h"
#include "PrintJob.h"
#include "PrintPreview.h"
#include "ProgressWatcher.h"
#include "ScriptedDialogs.h"
#include "TabStrip.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>

namespace {

struct Session {
    TestFolder folder;
    ScriptedDialogs dialogs;
    QString dbPath = folder.file(QStringLiteral("Par.db"));
    std::unique_ptr<MF> mf;

    // Export records 0, 1, 2 … with box 0 and box 6 as given, on the export history view.
    explicit Session(const QList<QPair<QString, QString>>& records) {
        PrintCheck::isolateSettings(folder.path());
        DataBase db(dialogs, dbPath);
        for (const auto& [code, place] : records) {
            Form f;
            f.setText(0, code);
            f.setText(6, place);
            f.setText(31, QStringLiteral("N/M\r\n") + code);
            int ord = 0;
            db.SaveHistoryRecord(f, QStringLiteral("出口"), ord);
        }
        mf = std::make_unique<MF>(dialogs, dbPath, QSize(1024, 768));
        mf->show();
        mf->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(mf.get()));
        mf->historyTabs()->setCurrentIndex(0);
        mf->mainTabs()->setCurrentIndex(1);
    }
    GridAccess& grid() { return mf->historyGrid().access(); }
    QStringList column(int col) {
        QStringList out;
        for (int r = 1; r < grid().rows(); ++r)
            out.append(grid().text(r, col));
        return out;
    }
};

bool toPdf(QPrinter& printer, const QString& file) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    return true;
}

// Where each word of a page landed, to the hundredth of a millimetre.
QStringList placed(const QList<PrintCheck::Word>& words) {
    QStringList out;
    for (const PrintCheck::Word& w : words)
        out.append(QString::asprintf("%s@%.2f,%.2f", qPrintable(w.text), w.mm.left(), w.mm.top()));
    return out;
}

} // namespace

class HistoryWorkTest : public QObject {
    Q_OBJECT
private slots:
    void batchPrint_data();
    void batchPrint();
    void findActsOnShownRowsOnly();
    void keyboardFirstEntry();
};

void HistoryWorkTest::batchPrint_data() {
    QTest::addColumn<bool>("broken");
    QTest::addColumn<bool>("escape");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("preview");
    QTest::newRow("three records and a leftover row")
        << false << false << 3 << "批量打印完成：共打印3页。另有1行没有记录，未打印。" << false;
    QTest::newRow("printed from the batch preview")
        << false << false << 3 << "批量打印完成：共打印3页。另有1行没有记录，未打印。" << true;
    QTest::newRow("Esc after page one")
        << false << true << 1 << "批量打印已中止：已打印1页，共3页。另有1行没有记录，未打印。"
        << false;
    QTest::newRow("failing printer") << true << false << 0 << "打印出错！" << false;
}

void HistoryWorkTest::batchPrint() {
    QFETCH(bool, broken);
    QFETCH(bool, escape);
    QFETCH(int, pages);
    QFETCH(QString, message);
    QFETCH(bool, preview);
    Session s({{"E-100", "宁波"}, {"E-101", "上海"}, {"E-102", "天津"}});
    // The form view holds the clerk's own work in a layout of its own.
    Form& form = s.mf->form();
    form.setText(2, QStringLiteral("typed"));
    form.setGeometry(6, 3000, 5000, 2000, 300);
    form.setFontSize(0, 14);
    const int leftover = s.grid().addRow(); // a failed import's row
    s.grid().setText(leftover, 3, QStringLiteral("no record"));
    s.mf->historyGrid().setGridSelection(1, leftover);
    const QString pdf = s.folder.file(broken ? QStringLiteral("none/b.pdf") : "batch.pdf");
    s.dialogs.printer = [&](QPrinter& p) { return toPdf(p, pdf); };
    ProgressWatcher watcher(escape);
    int previewPages = 0;
    if (preview)
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<PrintPreviewDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            previewPages = dialog->previewWidget()->pageCount();
            dialog->printButton()->click();
        });
    (preview ? s.mf->findChild<QPushButton*>(QStringLiteral("批量预览")) : s.mf->batchPrintButton())
        ->click();
    QCOMPARE(previewPages, preview ? pages : 0);
    QCOMPARE(s.dialogs.messages(), QStringList{message});
    QCOMPARE(PrintCheck::pageCount(pdf), broken ? -1 : pages);
    QCOMPARE(s.dialogs.unanswered, QStringList{}); // no save question
    QVERIFY(form.text(2) == QStringLiteral("typed") && form.ContentChanged());

    // Each page is what 打   印 prints for that record with the same layout.
    for (int page = 1; page <= pages; ++page) {
        for (int i = 0; i < BoxCount; ++i)
            form.setText(i, s.grid().text(page, 3 + i));
        QPrinter printer(QPrinter::HighResolution);
        toPdf(printer, s.folder.file(QStringLiteral("single.pdf")));
        QVERIFY(PrintJob(form, printer, s.dialogs));
        QCOMPARE(placed(PrintCheck::words(pdf, page)),
                 placed(PrintCheck::words(printer.outputFileName())));
    }
}

void HistoryWorkTest::findActsOnShownRowsOnly() {
    // Grid order is 4, 3, 2, 1, 0; "abc" hides record 1, between records 2 and 0.
    Session s({{"ABC-001", "宁波"},
               {"xyz-002", "上海"},
               {"abc-003", "宁波"},
               {"abc-004", "a"},
               {"abc-000", "b"}});
    QLineEdit* find = s.mf->findBox();
    QTest::keyClick(&s.mf->historyGrid(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(find->hasFocus());
    find->setText(QStringLiteral("宁波"));
    QCOMPARE(s.column(3), (QStringList{"abc-003", "ABC-001"}));
    find->setText(QStringLiteral("abc"));
    QCOMPARE(s.column(3), (QStringList{"abc-000", "abc-004", "abc-003", "ABC-001"}));

    // 导 出 writes the rows shown.
    const QString xls = s.folder.file(QStringLiteral("shown.xls"));
    s.dialogs.saveFiles.enqueue(xls);
    s.mf->imageButton(0)->click();
    QCOMPARE(s.dialogs.messages(), QStringList{QStringLiteral("已导出4条记录到文件：%1").arg(xls)});

    // 再次打印 takes shown row 4 (record 0, not the hidden record 1); a refill keeps the
    // find text and shows the new working record last.
    s.mf->historyGrid().setGridSelection(4, 4);
    s.mf->imageButton(4)->click();
    s.mf->mainTabs()->setCurrentIndex(1);
    QCOMPARE(find->text(), QStringLiteral("abc"));
    QCOMPARE(s.column(3), (QStringList{"abc-000", "abc-004", "abc-003", "ABC-001", "ABC-001"}));

    // 删除记录 on shown rows 3 and 4 leaves the hidden record between them.
    s.mf->historyGrid().setGridSelection(3, 4);
    s.dialogs.yesNo.enqueue(true);
    s.mf->imageButton(2)->click();
    // A header click sorts the shown rows; sequence numbers stay with their rows.
    emit s.mf->historyGrid().horizontalHeader()->sectionPressed(3);
    QCOMPARE(s.column(3), (QStringList{"abc-000", "ABC-001", "abc-004"}));
    find->clear();
    QCOMPARE(s.column(3), (QStringList{"abc-000", "ABC-001", "abc-004", "xyz-002"}));
    QCOMPARE(s.column(1), (QStringList{"1", "6", "2", "4"}));
    s.mf->historyTabs()->setCurrentIndex(1);
    s.mf->historyTabs()->setCurrentIndex(0); // refilled: what the database holds
    QCOMPARE(s.column(3), (QStringList{"abc-000", "abc-004", "xyz-002", "ABC-001"}));
}

void HistoryWorkTest::keyboardFirstEntry() {
    Session s({});
    s.mf->mainTabs()->setCurrentIndex(0);
    PageWidget* page = s.mf->page();
    page->boxWidget(0)->setFocus();
    QTRY_VERIFY(page->boxWidget(0)->hasFocus());
    QTest::keyClick(page->boxWidget(0), Qt::Key_Return);
    QVERIFY(page->boxWidget(1)->hasFocus());
    QTest::keyClick(page->boxWidget(1), Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
    QVERIFY(page->boxWidget(0)->hasFocus());
    QTest::keyClick(page->boxWidget(0), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(s.dialogs.messages(), QStringList{QStringLiteral("报关单内容已存入历史记录！")});
    QTest::keyClick(page->boxWidget(0), Qt::Key_F1);
    QCOMPARE(s.mf->mainTabs()->currentIndex(), 2);
}

QTEST_MAIN(HistoryWorkTest)
#include "tst_historywork.moc"
