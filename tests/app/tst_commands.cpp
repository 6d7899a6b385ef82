// The window's commands wired to their work: print, calibration, the history view and
// its five image buttons, the top strip and the version-check timer.
#include "AboutBox.h"
#include "CollateForm.h"
#include "DataBase.h"
#include "Form.h"
#include "HistoryGrid.h"
#include "HistoryGridModel.h"
#include "ImageButtons.h"
#include "MF.h"
#include "MakerSite.h"
#include "PageWidget.h"
#include "ScriptedDialogs.h"
#include "Sheets.h"
#include "TabStrip.h"
#include "TestFolder.h"
#include "VersionCheck.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString ExportWord = QStringLiteral("出口");
const QString ImportWord = QStringLiteral("进口");

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

struct Session {
    TestFolder folder;
    ScriptedDialogs dialogs;
    QString dbPath = folder.file(QStringLiteral("Par.db"));
    std::unique_ptr<MF> mf;

    Session() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path()); }
    void start() {
        mf = std::make_unique<MF>(dialogs, dbPath, QSize(1024, 768));
        mf->show();
        QVERIFY(QTest::qWaitForWindowExposed(mf.get()));
    }
    void storeRecord(const QString& table, const QList<QPair<int, QString>>& texts) {
        DataBase db(dialogs, dbPath);
        Form f;
        for (const auto& [index, text] : texts)
            f.setText(index, text);
        int ord = 0;
        QVERIFY(db.SaveHistoryRecord(f, table, ord));
    }
    int count(const QString& table, const QString& where = QStringLiteral("1")) {
        DataBase db(dialogs, dbPath);
        int n = 0;
        db.forEachHistoryRow(table, [&](const HistoryRow& r) {
            if (where == QLatin1String("1") || r.ord == where.toInt())
                ++n;
        });
        return n;
    }
    void showHistory(Mode mode) {
        mf->historyTabs()->setCurrentIndex(static_cast<int>(mode));
        mf->mainTabs()->setCurrentIndex(1);
    }
    HistoryGrid& grid() { return mf->historyGrid(); }
};

} // namespace

class CommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void printStoresRecordOfFormMode_data();
    void printStoresRecordOfFormMode();
    void calibrationOpensDialog();
    void historyViewFillsItsMode();
    void deleteAndClearButtons();
    void printAgainOnExportRowWhileFormShowsImport();
    void exportThenImportThroughButtons();
    void topStrip();
    void versionTimerArmed();
};

void CommandsTest::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
}

void CommandsTest::printStoresRecordOfFormMode_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("answer");
    QTest::newRow("import, yes") << 1 << true;
    QTest::newRow("export, yes") << 0 << true;
    QTest::newRow("import, no") << 1 << false;
}

void CommandsTest::printStoresRecordOfFormMode() {
    QFETCH(int, mode);
    QFETCH(bool, answer);
    Session s;
    s.start();
    s.mf->modeTabs()->setCurrentIndex(mode);
    s.mf->form().setText(6, QStringLiteral("上海某某进出口有限公司"));
    const QString pdf = s.folder.file(QStringLiteral("print.pdf"));
    s.dialogs.printer = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
        return true;
    };
    s.dialogs.yesNo.enqueue(answer);
    s.mf->commandButton(0)->click();
    QVERIFY(QFile(pdf).size() > 0);
    QVERIFY(s.dialogs.allTexts().contains(QStringLiteral("是否保存打印记录？")));
    QVERIFY(!s.mf->form().ContentChanged());
    const QString table = mode == 0 ? ExportWord : ImportWord;
    const QString other = mode == 0 ? ImportWord : ExportWord;
    QCOMPARE(s.count(table, QStringLiteral("0")), answer ? 1 : 0);
    QCOMPARE(s.count(other, QStringLiteral("0")), 0);
    // Printing again without a change asks nothing.
    s.dialogs.clear();
    s.mf->commandButton(0)->click();
    QVERIFY(!s.dialogs.allTexts().contains(QStringLiteral("是否保存打印记录？")));
}

void CommandsTest::calibrationOpensDialog() {
    Session s;
    s.start();
    s.dialogs.yesNo.enqueue(false); // no square printed
    s.mf->commandButton(4)->click();
    QCOMPARE(s.dialogs.allTexts().value(0),
             QStringLiteral("您是否需要打印校验图形？如果要打印，请在打印机中放好A4纸一张。"));
    auto* dialog = s.mf->findChild<CollateForm*>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
}

void CommandsTest::historyViewFillsItsMode() {
    Session s;
    s.storeRecord(ImportWord, {{0, QStringLiteral("I-1")}});
    s.storeRecord(ImportWord, {{0, QStringLiteral("I-2")}});
    s.storeRecord(ExportWord, {{0, QStringLiteral("E-1")}});
    s.start();
    s.mf->mainTabs()->setCurrentIndex(1);
    // The history view starts on import, whatever the form view shows.
    const GridAccess& g = s.grid().access();
    QCOMPARE(g.rows(), 1 + 2); // header and two records; empty boxes left no working record
    QCOMPARE(g.text(1, 3), QStringLiteral("I-2"));
    s.mf->historyTabs()->setCurrentIndex(0);
    QCOMPARE(s.grid().access().rows(), 1 + 1);
    QCOMPARE(s.grid().access().text(1, 3), QStringLiteral("E-1"));
    // Headers follow the history's own mode, not the form view's (import here).
    QCOMPARE(s.grid().access().text(0, 3 + 10), QStringLiteral("发货单位"));
    QCOMPARE(s.grid().access().text(0, 3 + 15), QStringLiteral("运抵国(地区)"));
}

void CommandsTest::deleteAndClearButtons() {
    Session s;
    for (int n = 0; n < 5; ++n)
        s.storeRecord(ExportWord, {{1, QStringLiteral("E%1").arg(n)}});
    s.start();
    s.showHistory(Mode::Export);
    QCOMPARE(s.grid().access().rows(), 6);
    s.grid().setGridSelection(2, 3); // records 3 and 2
    s.dialogs.yesNo.enqueue(true);
    s.mf->imageButton(2)->click();
    QCOMPARE(s.dialogs.allTexts().value(0), QStringLiteral("您确定要删除第2至第3行数据？"));
    QCOMPARE(s.grid().access().rows(), 4);
    QCOMPARE(s.count(ExportWord, QStringLiteral("3")), 0);
    QCOMPARE(s.count(ExportWord, QStringLiteral("2")), 0);
    QCOMPARE(s.count(ExportWord, QStringLiteral("4")), 1);
    s.dialogs.okCancel.enqueue(true);
    s.mf->imageButton(3)->click();
    QCOMPARE(s.dialogs.shown.last().text, QStringLiteral("您真的要清除历史数据？"));
    QCOMPARE(s.dialogs.shown.last().title, QStringLiteral("删除记录确认"));
    QCOMPARE(s.grid().access().rows(), 1);
    QCOMPARE(s.count(ExportWord), 0);
}

void CommandsTest::printAgainOnExportRowWhileFormShowsImport() {
    Session s;
    s.storeRecord(ExportWord, {{2, QStringLiteral("天津新港")}, {87, QStringLiteral("放行")}});
    s.start();
    s.mf->form().setText(0, QStringLiteral("typed in import"));
    s.showHistory(Mode::Export);
    s.grid().setGridSelection(1, 1);
    s.mf->imageButton(4)->click();
    // The form view is shown again in import mode, with the import working record.
    QCOMPARE(s.mf->mainTabs()->currentIndex(), 0);
    QCOMPARE(s.mf->formMode(), Mode::Import);
    QCOMPARE(s.mf->form().text(2), QString());
    // The row became the export working record: it shows when the form switches mode.
    s.mf->modeTabs()->setCurrentIndex(0);
    QCOMPARE(s.mf->form().text(2), QStringLiteral("天津新港"));
    QCOMPARE(s.mf->form().text(87), QStringLiteral("放行"));
    QCOMPARE(s.mf->page()->boxWidgetText(2), QStringLiteral("天津新港"));
}

void CommandsTest::exportThenImportThroughButtons() {
    Session s;
    for (int n = 0; n < 3; ++n)
        s.storeRecord(ImportWord,
                      {{0, QStringLiteral("0%1").arg(n)}, {43, QStringLiteral("棉布 %1").arg(n)}});
    s.start();
    s.showHistory(Mode::Import);
    const QString file = s.folder.file(QStringLiteral("history"));
    s.dialogs.saveFiles.enqueue(file);
    s.mf->imageButton(0)->click();
    QVERIFY(QFile::exists(file + QStringLiteral(".xls")));

    // Into the export history: rows 2 to 4 of the workbook are the three records.
    s.mf->historyTabs()->setCurrentIndex(0);
    QCOMPARE(s.grid().access().rows(), 1);
    s.dialogs.openFiles.enqueue(file + QStringLiteral(".xls"));
    s.dialogs.texts.enqueue(QStringLiteral("2"));
    s.dialogs.texts.enqueue(QStringLiteral("4"));
    // The sheet dialog waits for the clerk: answer it once it is up.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* sheets = qobject_cast<Sheets*>(w); sheets && sheets->isVisible())
                sheets->okButton()->click();
    });
    s.mf->imageButton(1)->click();
    QVERIFY2(s.dialogs.messages().contains(QStringLiteral("导入EXCEL表格第2至第4行完成！")),
             qPrintable(s.dialogs.messages().join(u'|')));
    QCOMPARE(s.count(ExportWord), 6);
    QCOMPARE(s.grid().access().rows(), 4);
    QSet<QString> codes;
    for (int r = 1; r < 4; ++r)
        codes.insert(s.grid().access().text(r, 3));
    QCOMPARE(codes,
             (QSet<QString>{QStringLiteral("00"), QStringLiteral("01"), QStringLiteral("02")}));
}

void CommandsTest::topStrip() {
    Session s;
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    s.start();
    s.mf->topStripButton(1)->click();
    s.mf->topStripButton(2)->click();
    QCOMPARE(catcher.opened, (QList<QUrl>{MakerSite::chatHelpPage(), MakerSite::chatHelpPage()}));
    s.mf->topStripButton(0)->click();
    auto* about = s.mf->findChild<AboutBox*>();
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("关于 Quillmarsh报关单打印软件"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void CommandsTest::versionTimerArmed() {
    Session s;
    s.start();
    QVERIFY(s.mf->timer1().isActive());
    QCOMPARE(s.mf->timer1().interval(), 500);
    QVERIFY(s.mf->versionCheck().LastWebVersion().isEmpty());
}

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"
