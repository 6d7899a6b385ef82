#include "ClerkTyping.h"
#include "DataBase.h"
#include "FontSetup.h"
#include "Form.h"
#include "ImageButtons.h"
#include "Layouts.h"
#include "MF.h"
#include "MainWindowGeometry.h"
#include "PageArea.h"
#include "PageWidget.h"
#include "RulerGrid.h"
#include "ScriptedDialogs.h"
#include "SelDialog.h"
#include "TabStrip.h"
#include "TestFolder.h"
#include "Units.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabBar>
#include <QTest>

#include <memory>

namespace {

const QString ExportWord = QStringLiteral("出口");
const QString ImportWord = QStringLiteral("进口");

// A window over its own database file, started as the program starts it.
struct Session {
    TestFolder folder;
    ScriptedDialogs dialogs;
    QString dbPath = folder.file(QStringLiteral("Par.db"));
    std::unique_ptr<MF> mf;

    void start(QSize screen = QSize(1024, 768)) {
        mf = std::make_unique<MF>(dialogs, dbPath, screen);
        mf->show();
        QVERIFY(QTest::qWaitForWindowExposed(mf.get()));
    }
    void close() {
        mf->close();
        mf.reset();
    }
    Form& form() { return mf->form(); }
    QWidget* box(int i) { return mf->page()->boxWidget(i); }
    QString shown(int i) { return mf->page()->boxWidgetText(i); }

    // Stores a working record from outside the window, as an earlier run left it.
    void seedWorkingRecord(const QString& table, const QList<QPair<int, QString>>& texts) {
        DataBase db(dialogs, dbPath);
        Form f;
        for (const auto& [index, text] : texts)
            f.setText(index, text);
        int ord = WorkingRecordOrd;
        QVERIFY(db.SaveHistoryRecord(f, table, ord));
    }
    QMap<int, QString> storedRecord(const QString& table, int ord) {
        DataBase db(dialogs, dbPath);
        Form f;
        db.LoadHistoryRecord(f, ord, table);
        QMap<int, QString> texts;
        for (int i = 0; i < BoxCount; ++i)
            if (!f.text(i).isEmpty())
                texts.insert(i, f.text(i));
        return texts;
    }
    int layoutRows(const QString& name) {
        int rows = -1;
        DataBase db(dialogs, dbPath);
        db.withConnection([&](QSqlDatabase& c) {
            QSqlQuery q(c);
            q.prepare(QStringLiteral("SELECT COUNT(*) FROM \"格式\" WHERE Name = ?"));
            q.bindValue(0, name);
            if (q.exec() && q.next())
                rows = q.value(0).toInt();
            return true;
        });
        return rows;
    }
    void selectMode(Mode mode) {
        QTabBar* bar = mf->modeTabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(static_cast<int>(mode)).center());
        QCOMPARE(mf->formMode(), mode);
    }
    void selectView(int tab) {
        QTabBar* bar = mf->mainTabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
        QCOMPARE(mf->mainTabs()->currentIndex(), tab);
    }
};

void type(QWidget* box, const QString& text) {
    typeLikeClerk(box, text);
}

bool layerHasGrid(const PageWidget& page) {
    const QImage& layer = page.drawingLayer();
    const QPoint at =
        page.pageToPixel(QPointF(100 * Units::PageHeight / 297.0, 9 * Units::PageHeight / 297.0))
            .toPoint();
    for (int dx = -1; dx <= 1; ++dx)
        if (QColor(layer.pixel(at + QPoint(dx, 0))).rgb() == RulerGrid::CentimetreLine.rgb() &&
            qAlpha(layer.pixel(at + QPoint(dx, 0))) == 255)
            return true;
    return false;
}

bool layerIsEmpty(const PageWidget& page) {
    const QImage& layer = page.drawingLayer();
    for (int y = 0; y < layer.height(); y += 3)
        for (int x = 0; x < layer.width(); x += 3)
            if (qAlpha(layer.pixel(x, y)) != 0)
                return false;
    return true;
}

void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void startUpState();
    void captionsAndTexts();
    void modeSwitchKeepsBothModes();
    void reenteringTheFormViewReloadsTheWorkingRecord();
    void exitInExportStoresItAndNextStartShowsImport();
    void exitSavesTheLayoutAndNextStartLoadsIt();
    void saveContentsTwiceGivesBothMessages();
    void clearContentsEmptiesEveryBox();
    void geometry_data();
    void geometry();
    void windowPlacedByTheScreenOnly();
    void tinyScreensStayUsable_data();
    void tinyScreensStayUsable();
    void rulerFollowsTheCheckBoxes();
    void layoutDialogSavesAndLoads_data();
    void layoutDialogSavesAndLoads();
    void layoutDialogOpensOnceAndFollowsTheButtons();
    void layoutDialogListsNamesOnce();
    void layoutDialogTakesEnterAsOk();
    void brokenDatabaseKeepsTheProgramRunning();
    void layoutDialogOverwriteQuestion_data();
    void layoutDialogOverwriteQuestion();
    void historyViewReportsItsMode();
    void accessibleNames();
    void imageButtonPictures();
    void qtSpeaksChinese();
};

void MainWindowTest::initTestCase() {
    registerFontSubstitutions();
    installChineseTranslations(*qApp);
}

void MainWindowTest::startUpState() {
    Session s;
    s.seedWorkingRecord(ImportWord,
                        {{0, QStringLiteral("I-0001")}, {31, QStringLiteral("唛头\r\nN/M")}});
    s.seedWorkingRecord(ExportWord, {{0, QStringLiteral("E-0001")}});
    {
        // The layout of the last exit moved box 7.
        DataBase db(s.dialogs, s.dbPath);
        Layouts layouts(db);
        Form f;
        f.setGeometry(7, 3333, 2222, 1111, 300);
        layouts.SaveLayout(f, Catalogue::fixedLayoutName());
    }
    s.start();
    MF& w = *s.mf;
    QCOMPARE(w.windowTitle(), QStringLiteral("Quillmarsh报关单打印软件1.13"));
    QCOMPARE(w.mainTabs()->currentIndex(), 0);
    QCOMPARE(w.formMode(), Mode::Import);
    QCOMPARE(w.historyMode(), Mode::Import);
    QCOMPARE(w.page()->title(), QStringLiteral("中华人民共和国海关进口货物报关单"));
    QCOMPARE(w.page()->backColor(), QColor(255, 208, 255));
    QVERIFY(w.checkBox(1)->isChecked());
    QVERIFY(!w.checkBox(0)->isChecked());
    QVERIFY(w.layoutLocked());
    QVERIFY(layerIsEmpty(*w.page()));
    QCOMPARE(w.form().label(10).caption, QStringLiteral("收货单位"));
    // The import working record is in the boxes, shown by their widgets.
    QCOMPARE(s.shown(0), QStringLiteral("I-0001"));
    QCOMPARE(s.shown(31), QStringLiteral("唛头\r\nN/M"));
    QCOMPARE(qobject_cast<QPlainTextEdit*>(s.box(31))->toPlainText(), QStringLiteral("唛头\nN/M"));
    QVERIFY(w.form().ContentChanged());
    QVERIFY(w.modeSwitchArmed());
    // The last layout is applied, on the model and on the screen.
    QCOMPARE(w.form().box(7).left, 3333.f);
    QCOMPARE(w.layouts().CurrentLayoutName(), Catalogue::fixedLayoutName());
    QCOMPARE(s.box(7)->geometry(), w.page()->pageRectToPixels(QRectF(3333, 2222, 1111, 300)));
    QVERIFY(s.dialogs.shown.isEmpty());
}

void MainWindowTest::captionsAndTexts() {
    Session s;
    s.start();
    MF& w = *s.mf;
    const QStringList commands{QStringLiteral("打   印"),     QStringLiteral("保 存 格 式"),
                               QStringLiteral("读 取 格 式"), QStringLiteral("清 空 内 容"),
                               QStringLiteral("打 印 校 准"), QStringLiteral("保 存 内 容")};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(w.commandButton(i)->text(), commands[i]);
    QVERIFY(w.commandButton(0)->font().bold());
    QVERIFY(!w.commandButton(4)->font().bold());
    // From top to bottom: print, calibration, clear, save contents, save layout, load layout.
    QList<int> byTop{0, 1, 2, 3, 4, 5};
    std::sort(byTop.begin(), byTop.end(),
              [&](int a, int b) { return w.commandButton(a)->y() < w.commandButton(b)->y(); });
    QCOMPARE(byTop, (QList<int>{0, 4, 3, 5, 1, 2}));
    QCOMPARE(w.topStripButton(0)->text(), QStringLiteral("版权信息"));
    QVERIFY(w.topStripButton(0)->font().bold());
    QCOMPARE(w.topStripButton(1)->text(), QStringLiteral("QQ在线帮助2"));
    QCOMPARE(w.topStripButton(2)->text(), QStringLiteral("QQ在线帮助1"));
    QVERIFY(w.topStripButton(2)->x() < w.topStripButton(1)->x());
    QVERIFY(w.topStripButton(1)->x() < w.topStripButton(0)->x());
    QCOMPARE(w.checkBox(1)->text(), QStringLiteral("锁定格式"));
    QCOMPARE(w.checkBox(0)->text(), QStringLiteral("显示标尺\n单位：厘米"));
    QTabBar* main = w.mainTabs()->tabBar();
    QCOMPARE(main->tabText(0), QStringLiteral("打印界面"));
    QCOMPARE(main->tabText(1), QStringLiteral("历史记录"));
    QCOMPARE(main->tabText(2), QStringLiteral("帮    助"));
    for (TabStrip* strip : {w.modeTabs(), w.historyTabs()}) {
        QCOMPARE(strip->tabBar()->tabText(0), QStringLiteral("出口报关单"));
        QCOMPARE(strip->tabBar()->tabText(1), QStringLiteral("进口报关单"));
    }
    const QString help = w.helpTextBox()->toPlainText();
    int last = -1;
    for (const QString& heading :
         {QStringLiteral("一、如何进行套打校准"), QStringLiteral("二、修改输入框大小"),
          QStringLiteral("三、修改字体大小及属性"), QStringLiteral("四、提高打印填写效率")}) {
        const int at = help.indexOf(heading);
        QVERIFY2(at > last, qPrintable(heading));
        last = at;
    }
    QCOMPARE(w.helpTextBox()->font().pointSizeF(), 10.5);
    QCOMPARE(w.helpTextBox()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(w.helpTextBox()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

void MainWindowTest::modeSwitchKeepsBothModes() {
    Session s;
    s.seedWorkingRecord(ExportWord, {{0, QStringLiteral("E-old")}, {43, QStringLiteral("螺钉")}});
    s.start();
    type(s.box(0), QStringLiteral("I-typed"));
    type(s.box(10), QStringLiteral("上海收货"));

    s.selectMode(Mode::Export);
    QCOMPARE(s.mf->page()->title(), QStringLiteral("中华人民共和国海关出口货物报关单"));
    QCOMPARE(s.mf->page()->backColor(), QColor(208, 255, 255));
    QCOMPARE(s.form().label(10).caption, QStringLiteral("发货单位"));
    QCOMPARE(s.shown(0), QStringLiteral("E-old"));
    QCOMPARE(s.shown(43), QStringLiteral("螺钉"));
    QCOMPARE(s.shown(10), QString());
    // Leaving import stored what was typed there as its working record.
    QCOMPARE(
        s.storedRecord(ImportWord, WorkingRecordOrd),
        (QMap<int, QString>{{0, QStringLiteral("I-typed")}, {10, QStringLiteral("上海收货")}}));

    qobject_cast<QLineEdit*>(s.box(0))->clear();
    type(s.box(0), QStringLiteral("E-new"));
    QTest::keyClick(s.box(31), Qt::Key_X);
    QTest::keyClick(s.box(31), Qt::Key_Return);
    QTest::keyClick(s.box(31), Qt::Key_Y);

    s.selectMode(Mode::Import);
    QCOMPARE(s.shown(0), QStringLiteral("I-typed"));
    QCOMPARE(s.shown(10), QStringLiteral("上海收货"));
    QCOMPARE(s.shown(31), QString());
    QCOMPARE(s.form().label(10).caption, QStringLiteral("收货单位"));

    s.selectMode(Mode::Export);
    QCOMPARE(s.shown(0), QStringLiteral("E-new"));
    QCOMPARE(s.shown(43), QStringLiteral("螺钉"));
    QCOMPARE(s.shown(31), QStringLiteral("x\r\ny"));
    QCOMPARE(s.storedRecord(ExportWord, WorkingRecordOrd),
             (QMap<int, QString>{{0, QStringLiteral("E-new")},
                                 {31, QStringLiteral("x\r\ny")},
                                 {43, QStringLiteral("螺钉")}}));
    // Selecting the tab already shown changes nothing.
    s.selectMode(Mode::Export);
    QCOMPARE(s.shown(0), QStringLiteral("E-new"));
}

void MainWindowTest::reenteringTheFormViewReloadsTheWorkingRecord() {
    Session s;
    s.seedWorkingRecord(ImportWord, {{2, QStringLiteral("stored")}});
    s.start();
    type(s.box(2), QStringLiteral("-typed"));
    QCOMPARE(s.shown(2), QStringLiteral("stored-typed"));
    s.mf->page()->drawRulerGrid(true);
    s.mf->pageArea()->scrollBar()->setValue(s.mf->pageArea()->scrollBar()->maximum());

    for (int view : {1, 2}) {
        s.selectView(view);
        s.selectView(0);
        QCOMPARE(s.shown(2), QStringLiteral("stored"));
        type(s.box(2), QStringLiteral("-again"));
    }
    // Nothing typed was stored on the way: the working record is as it was.
    QCOMPARE(s.storedRecord(ImportWord, WorkingRecordOrd),
             (QMap<int, QString>{{2, QStringLiteral("stored")}}));
    QCOMPARE(s.mf->formMode(), Mode::Import);
    QVERIFY(layerIsEmpty(*s.mf->page()));
    QCOMPARE(s.mf->pageArea()->scrollBar()->value(), 0);
}

void MainWindowTest::exitInExportStoresItAndNextStartShowsImport() {
    Session s;
    s.seedWorkingRecord(ImportWord, {{5, QStringLiteral("import date")}});
    s.start();
    s.selectMode(Mode::Export);
    type(s.box(5), QStringLiteral("2026-12-06"));
    type(s.box(32), QStringLiteral("tax"));
    s.close();
    QCOMPARE(s.storedRecord(ExportWord, WorkingRecordOrd),
             (QMap<int, QString>{{5, QStringLiteral("2026-12-06")}, {32, QStringLiteral("tax")}}));
    QCOMPARE(s.storedRecord(ImportWord, WorkingRecordOrd),
             (QMap<int, QString>{{5, QStringLiteral("import date")}}));

    s.start();
    QCOMPARE(s.mf->formMode(), Mode::Import);
    QCOMPARE(s.shown(5), QStringLiteral("import date"));
    s.selectMode(Mode::Export);
    QCOMPARE(s.shown(5), QStringLiteral("2026-12-06"));
    QCOMPARE(s.shown(32), QStringLiteral("tax"));
    QVERIFY(s.dialogs.shown.isEmpty());
}

void MainWindowTest::exitSavesTheLayoutAndNextStartLoadsIt() {
    Session s;
    s.start();
    // A new database starts with the factory layout under the name of the last exit.
    QCOMPARE(s.layoutRows(Catalogue::fixedLayoutName()), 88);
    s.form().CtlMove(20, 1000 - s.form().box(20).left, 5000 - s.form().box(20).top);
    s.form().setFontSize(20, 14);
    const QPointF labelOffset(s.form().label(20).left - s.form().box(20).left,
                              s.form().label(20).top - s.form().box(20).top);
    s.close();
    QCOMPARE(s.layoutRows(Catalogue::fixedLayoutName()), 88);
    s.start();
    QCOMPARE(s.form().box(20).left, 1000.f);
    QCOMPARE(s.form().box(20).top, 5000.f);
    QCOMPARE(s.form().box(20).fontSize, 14.f);
    // The label keeps its place beside its box.
    QCOMPARE(QPointF(s.form().label(20).left - s.form().box(20).left,
                     s.form().label(20).top - s.form().box(20).top),
             labelOffset);
    QVERIFY(s.dialogs.unanswered.isEmpty());
}

void MainWindowTest::saveContentsTwiceGivesBothMessages() {
    Session s;
    s.start();
    type(s.box(0), QStringLiteral("A1"));
    click(s.mf->commandButton(5));
    click(s.mf->commandButton(5));
    QCOMPARE(s.dialogs.messages(), (QStringList{QStringLiteral("报关单内容已存入历史记录！"),
                                                QStringLiteral("同样内容已经保存过！")}));
    QCOMPARE(s.storedRecord(ImportWord, 0), (QMap<int, QString>{{0, QStringLiteral("A1")}}));
    // Clearing changes the texts, so the next save stores again.
    click(s.mf->commandButton(3));
    s.dialogs.clear();
    click(s.mf->commandButton(5));
    QCOMPARE(s.dialogs.messages(), (QStringList{QStringLiteral("报关单内容已存入历史记录！")}));
}

void MainWindowTest::clearContentsEmptiesEveryBox() {
    Session s;
    QList<QPair<int, QString>> texts;
    for (int i = 0; i < BoxCount; i += 3)
        texts.append({i, QStringLiteral("t%1").arg(i)});
    s.seedWorkingRecord(ImportWord, texts);
    s.start();
    s.form().setSelected(6, true);
    const QRect before = s.box(6)->geometry();
    click(s.mf->commandButton(3));
    for (int i = 0; i < BoxCount; ++i)
        QCOMPARE(s.shown(i), QString());
    QVERIFY(s.form().box(6).selected());
    QCOMPARE(s.box(6)->geometry(), before);
    QVERIFY(s.dialogs.shown.isEmpty());
}

void MainWindowTest::geometry_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QRectF>("window");
    QTest::addColumn<QRectF>("mainTabs");
    QTest::addColumn<double>("modeTabsWidth");
    QTest::addColumn<double>("viewportWidth");
    QTest::addColumn<double>("canvasHeight");
    QTest::newRow("1024x768") << QSize(1024, 768) << QRectF(1000, 0, 13360, 11020)
                              << QRectF(50, 50, 13150, 10420) << 11615.0 << 11295.0 << 15974.357;
    // The screen the page twips were drawn for shows the page at zoom 1.
    QTest::newRow("800x600") << QSize(800, 600) << QRectF(1000, 0, 10000, 8500)
                             << QRectF(50, 50, 9790, 7900) << 8255.0 << 7935.0 << 11222.357;
    QTest::newRow("1920x1080") << QSize(1920, 1080) << QRectF(1000, 0, 26800, 15700)
                               << QRectF(50, 50, 26590, 15100) << 25055.0 << 24735.0 << 34982.357;
}

void MainWindowTest::geometry() {
    QFETCH(QSize, screen);
    QFETCH(QRectF, window);
    QFETCH(QRectF, mainTabs);
    QFETCH(double, modeTabsWidth);
    QFETCH(double, viewportWidth);
    QFETCH(double, canvasHeight);
    const MainWindowGeometry g =
        computeMainWindowGeometry(QSizeF(screen) * 15, MainWindowGeometry::FirstViewportTop);
    QCOMPARE(g.window, window);
    QCOMPARE(g.mainTabs, mainTabs);
    QCOMPARE(g.modeTabs, QRectF(0, 340, modeTabsWidth, mainTabs.height() - 420 - 60));
    const double buttonLeft = mainTabs.width() - 1335 - 120;
    const QList<double> tops{600, 2760, 3120, 1800, 1200, 2160};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(g.commands[i], QRectF(buttonLeft, tops[i], 1335, 375));
    QCOMPARE(g.frame.left(), buttonLeft);
    QCOMPARE(g.topStrip[0], QRectF(window.width() - 1140, 40, 975, 320));
    QCOMPARE(g.topStrip[1], QRectF(window.width() - 1260 - 1140, 40, 1260, 320));
    QCOMPARE(g.topStrip[2], QRectF(window.width() - 2520 - 1140, 40, 1260, 320));
    QCOMPARE(g.historyTabs, QRectF(40, 340, mainTabs.width() - 80, mainTabs.height() - 380));
    QCOMPARE(g.imageStrip, QRectF(g.historyTabs.width() - 6165, 0, 6165, 360));
    QCOMPARE(g.historyGrid, QRectF(0, 300, g.historyTabs.width(), g.historyTabs.height() - 300));
    QCOMPARE(g.helpText, QRectF(40, 360, mainTabs.width() - 80, mainTabs.height() - 400));
    // Later entries of the form view count from the viewport top the canvas layout left.
    const MainWindowGeometry later = computeMainWindowGeometry(QSizeF(screen) * 15, 300);
    QCOMPARE(later.modeTabs.height(), mainTabs.height() - 300 - 60);

    // The running window uses the same numbers.
    Session s;
    s.start(screen);
    MF& w = *s.mf;
    QCOMPARE(w.geometryPlan().window, window);
    // The layout's rectangle is the outer one: the platform's frame is inside it.
    QTRY_COMPARE(w.frameGeometry(), ScreenTwips::toPixelRect(window));
    QCOMPARE(w.mainTabs()->geometry(), ScreenTwips::toPixelRect(mainTabs));
    QCOMPARE(w.modeTabs()->width(), ScreenTwips::toPixels(modeTabsWidth));
    const CanvasLayout& l = w.pageArea()->layout();
    QCOMPARE(l.viewport.width(), viewportWidth);
    QCOMPARE(l.canvas.width(), viewportWidth);
    QVERIFY(std::abs(l.canvas.height() - canvasHeight) < 0.001);
    QCOMPARE(w.page()->size(),
             QSize(ScreenTwips::toPixels(viewportWidth), ScreenTwips::toPixels(canvasHeight)));
    QVERIFY(std::abs(w.page()->zoom() - viewportWidth / 7935) < 1e-12);
    // The image buttons stand flush with the right edge of the history strip, 80 × 24 pixels.
    s.selectView(1);
    QCOMPARE(w.imageButtonStrip()->geometry().right(), w.historyTabs()->width() - 1);
    QCOMPARE(w.imageButton(0)->size(), QSize(80, 24));
}

void MainWindowTest::windowPlacedByTheScreenOnly() {
    Session s;
    s.start();
    const QRect tabs = s.mf->mainTabs()->geometry();
    const QRect strip = s.mf->modeTabs()->geometry();
    s.mf->resize(500, 400);
    QCoreApplication::processEvents();
    QCOMPARE(s.mf->mainTabs()->geometry(), tabs);
    QCOMPARE(s.mf->modeTabs()->geometry(), strip);
}

void MainWindowTest::tinyScreensStayUsable_data() {
    QTest::addColumn<QSize>("screen");
    QTest::newRow("nothing") << QSize(0, 0);
    QTest::newRow("smaller than the margins") << QSize(120, 100);
    QTest::newRow("narrow") << QSize(260, 900);
    QTest::newRow("low") << QSize(1024, 110);
}

void MainWindowTest::tinyScreensStayUsable() {
    QFETCH(QSize, screen);
    Session s;
    s.start(screen);
    MF& w = *s.mf;
    const MainWindowGeometry& g = w.geometryPlan();
    QVERIFY(g.window.width() > 0 && g.window.height() > 0);
    for (const QRectF& r : {g.mainTabs, g.modeTabs, g.historyTabs, g.historyGrid, g.helpText})
        QVERIFY(r.width() >= 0 && r.height() >= 0);
    QVERIFY(w.page()->zoom() > 0);
    type(s.box(0), QStringLiteral("ok"));
    s.selectMode(Mode::Export);
    s.selectMode(Mode::Import);
    QCOMPARE(s.shown(0), QStringLiteral("ok"));
    click(w.checkBox(0));
    s.selectView(1);
    s.selectView(2);
    s.selectView(0);
    s.close();
    QCOMPARE(s.storedRecord(ImportWord, WorkingRecordOrd),
             (QMap<int, QString>{{0, QStringLiteral("ok")}}));
}

void MainWindowTest::rulerFollowsTheCheckBoxes() {
    Session s;
    s.start();
    MF& w = *s.mf;
    PageWidget& page = *w.page();
    click(w.checkBox(0));
    QVERIFY(w.checkBox(0)->isChecked());
    QVERIFY(layerHasGrid(page));
    // The grid is on the canvas itself: the shown page carries it.
    const QImage shot = page.grab().toImage();
    const QPoint at =
        page.pageToPixel(QPointF(100 * Units::PageHeight / 297.0, 9 * Units::PageHeight / 297.0))
            .toPoint();
    bool seen = false;
    for (int dx = -1; dx <= 1; ++dx)
        seen = seen || QColor(shot.pixel(at + QPoint(dx, 0))) == RulerGrid::CentimetreLine;
    QVERIFY(seen);

    click(w.checkBox(1)); // the lock redraws the grid as well
    QVERIFY(!w.layoutLocked());
    QVERIFY(layerHasGrid(page));

    s.selectMode(Mode::Export); // a mode change wipes the grid, the box stays ticked
    QVERIFY(w.checkBox(0)->isChecked());
    QVERIFY(layerIsEmpty(page));
    click(w.checkBox(1));
    QVERIFY(layerHasGrid(page));

    s.selectView(2);
    s.selectView(0);
    QVERIFY(layerIsEmpty(page));

    click(w.checkBox(0));
    click(w.checkBox(0));
    QVERIFY(layerHasGrid(page));
    click(w.checkBox(0));
    QVERIFY(!w.checkBox(0)->isChecked());
    QVERIFY(layerIsEmpty(page));
    click(w.checkBox(1));
    QVERIFY(layerIsEmpty(page));
}

void MainWindowTest::layoutDialogSavesAndLoads_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << QStringLiteral("HP 1020");
    QTest::newRow("apostrophe") << QStringLiteral("Kim's 格式");
    QTest::newRow("quotes and blanks kept") << QStringLiteral(" a'b\"c' ");
    QTest::newRow("sql-looking") << QStringLiteral("x'; DROP TABLE 格式; --");
}

void MainWindowTest::layoutDialogSavesAndLoads() {
    QFETCH(QString, name);
    Session s;
    s.start();
    MF& w = *s.mf;
    s.form().setGeometry(3, 4000, 6000, 2000, 500);
    click(w.commandButton(1));
    QPointer<Sel> sel = w.layoutDialog();
    QVERIFY(sel);
    QCOMPARE(sel->windowTitle(), QStringLiteral("选择格式"));
    QVERIFY(!sel->isModal());
    QVERIFY(sel->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(sel->size(), QSize(312, 80));
    QCOMPARE(sel->pos(), QPoint((1024 - 312) / 2, (768 - 80) / 2));
    QVERIFY(w.layouts().SelSaveMode());
    sel->nameBox()->setEditText(name);
    click(sel->okButton());
    QTRY_VERIFY(sel.isNull());
    QCOMPARE(s.layoutRows(name), 88);
    QCOMPARE(w.layouts().CurrentLayoutName(), name);

    s.form().setGeometry(3, 100, 100, 300, 300);
    click(w.commandButton(2));
    sel = w.layoutDialog();
    QVERIFY(sel);
    QVERIFY(!w.layouts().SelSaveMode());
    QCOMPARE(sel->nameBox()->currentText(), name);
    QVERIFY(sel->nameBox()->findText(name) >= 0);
    click(sel->okButton());
    QTRY_VERIFY(sel.isNull());
    QCOMPARE(s.form().box(3).left, 4000.f);
    QCOMPARE(s.box(3)->geometry(), w.page()->pageRectToPixels(QRectF(4000, 6000, 2000, 500)));
    QCOMPARE(s.dialogs.allTexts(), QStringList());
    QCOMPARE(s.layoutRows(QStringLiteral("格式")), 0);
}

void MainWindowTest::layoutDialogOpensOnceAndFollowsTheButtons() {
    Session s;
    s.start();
    MF& w = *s.mf;
    click(w.commandButton(2)); // load
    QPointer<Sel> sel = w.layoutDialog();
    QVERIFY(sel);
    sel->nameBox()->setEditText(QStringLiteral("typed"));
    click(w.commandButton(1)); // save, while the dialog is open
    QCOMPARE(w.layoutDialog(), sel.data());
    QCOMPARE(sel->nameBox()->currentText(), QStringLiteral("typed"));
    QVERIFY(w.layouts().SelSaveMode());
    // The main window stays usable while the dialog is open.
    type(s.box(0), QStringLiteral("abc"));
    QCOMPARE(s.form().text(0), QStringLiteral("abc"));
    click(sel->okButton());
    QTRY_VERIFY(sel.isNull());
    QCOMPARE(s.layoutRows(QStringLiteral("typed")), 88);

    // OK with no name does nothing but close.
    click(w.commandButton(1));
    sel = w.layoutDialog();
    sel->nameBox()->setEditText(QString());
    click(sel->okButton());
    QTRY_VERIFY(sel.isNull());
    QCOMPARE(w.layouts().CurrentLayoutName(), QStringLiteral("typed"));

    // Cancel closes without acting.
    click(w.commandButton(1));
    sel = w.layoutDialog();
    sel->nameBox()->setEditText(QStringLiteral("never"));
    click(sel->cancelButton());
    QTRY_VERIFY(sel.isNull());
    QCOMPARE(s.layoutRows(QStringLiteral("never")), 0);

    // Closing the main window closes the dialog with it.
    click(w.commandButton(2));
    sel = w.layoutDialog();
    QVERIFY(sel->isVisible());
    w.close();
    QVERIFY(!sel || !sel->isVisible());
    QVERIFY(s.dialogs.allTexts().isEmpty());
}

void MainWindowTest::layoutDialogListsNamesOnce() {
    Session s;
    s.start();
    MF& w = *s.mf;
    for (const QString& name : {QStringLiteral("B"), QStringLiteral("A"), QStringLiteral("C")})
        w.layouts().SaveLayout(w.form(), name);
    w.layouts().LoadLayout(w.form(), QStringLiteral("B"));
    click(w.commandButton(2));
    Sel* sel = w.layoutDialog();
    QStringList listed;
    for (int i = 0; i < sel->nameBox()->count(); ++i)
        listed.append(sel->nameBox()->itemText(i));
    QCOMPARE(listed, (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                                  Catalogue::fixedLayoutName(), QStringLiteral("标准格式")}));
    QCOMPARE(sel->nameBox()->currentText(), QStringLiteral("B"));
    click(sel->cancelButton());
}

void MainWindowTest::layoutDialogTakesEnterAsOk() {
    Session s;
    s.start();
    click(s.mf->commandButton(1));
    QPointer<Sel> sel = s.mf->layoutDialog();
    sel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(sel));
    QLineEdit* edit = sel->nameBox()->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("Epson"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_VERIFY(sel.isNull());
    QCOMPARE(s.layoutRows(QStringLiteral("Epson")), 88);
    // Esc closes without acting.
    click(s.mf->commandButton(1));
    sel = s.mf->layoutDialog();
    sel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(sel));
    sel->nameBox()->setEditText(QStringLiteral("escaped"));
    QTest::keyClick(sel->nameBox()->lineEdit(), Qt::Key_Escape);
    QTRY_VERIFY(sel.isNull());
    QCOMPARE(s.layoutRows(QStringLiteral("escaped")), 0);
}

void MainWindowTest::brokenDatabaseKeepsTheProgramRunning() {
    Session s;
    QFile file(s.dbPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray garbage(4096, 'x');
    file.write(garbage);
    file.close();
    s.start();
    QVERIFY(!s.dialogs.messages().isEmpty());
    for (const QString& m : s.dialogs.messages())
        QCOMPARE(m, QStringLiteral("数据库打开错误！"));
    QCOMPARE(s.mf->formMode(), Mode::Import);
    type(s.box(0), QStringLiteral("still typing"));
    s.selectMode(Mode::Export);
    s.selectMode(Mode::Import);
    s.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), garbage); // never overwritten
}

void MainWindowTest::layoutDialogOverwriteQuestion_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("yes") << QStringLiteral("mine") << true << true << true;
    QTest::newRow("no") << QStringLiteral("mine") << true << false << false;
    QTest::newRow("last exit, never asked")
        << Catalogue::fixedLayoutName() << false << false << true;
}

void MainWindowTest::layoutDialogOverwriteQuestion() {
    QFETCH(QString, name);
    QFETCH(bool, asked);
    QFETCH(bool, answer);
    QFETCH(bool, replaced);
    Session s;
    s.start();
    MF& w = *s.mf;
    s.form().setLeft(9, 1234);
    w.layouts().SaveLayout(w.form(), name);
    s.form().setLeft(9, 2345);
    if (asked)
        s.dialogs.yesNo.enqueue(answer);
    click(w.commandButton(1));
    Sel* sel = w.layoutDialog();
    QCOMPARE(sel->nameBox()->currentText(), name); // opened on the current layout
    click(sel->okButton());
    QCOMPARE(s.dialogs.allTexts(),
             asked ? QStringList{QStringLiteral("该记录已存在，是否覆盖？")} : QStringList());
    QCOMPARE(s.layoutRows(name), 88);
    w.layouts().LoadLayout(w.form(), name);
    QCOMPARE(s.form().box(9).left, replaced ? 2345.f : 1234.f);
}

void MainWindowTest::historyViewReportsItsMode() {
    Session s;
    s.start();
    QList<Mode> reported;
    connect(s.mf.get(), &MF::historyGridShown, this, [&](Mode m) { reported.append(m); });
    s.selectView(1);
    QTabBar* bar = s.mf->historyTabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    s.selectView(0);
    QCOMPARE(s.mf->formMode(), Mode::Import); // the two strips are independent
    s.selectView(1);
    QCOMPARE(reported, (QList<Mode>{Mode::Import, Mode::Export, Mode::Export}));
    QVERIFY(s.mf->historyGridArea()->isVisible());
    QVERIFY(s.mf->historyGridArea()->layout());
    QCOMPARE(s.mf->historyGridArea()->geometry(),
             ScreenTwips::toPixelRect(s.mf->geometryPlan().historyGrid));
}

void MainWindowTest::accessibleNames() {
    Session s;
    s.start();
    MF& w = *s.mf;
    QCOMPARE(w.page()->accessibleName(), QStringLiteral("报关单页面"));
    for (int i = 0; i < 6; ++i)
        QCOMPARE(w.commandButton(i)->accessibleName(), w.commandButton(i)->text());
    QCOMPARE(w.checkBox(1)->accessibleName(), QStringLiteral("锁定格式"));
    QVERIFY(w.checkBox(0)->accessibleName().startsWith(QStringLiteral("显示标尺")));
    for (int i = 0; i < ImageButtonStrip::Count; ++i)
        QCOMPARE(w.imageButton(i)->accessibleName(), ImageButtonStrip::words()[i]);
    QCOMPARE(s.box(15)->accessibleName(), QStringLiteral("起运国(地区)"));
    QCOMPARE(s.box(52)->accessibleName(), QStringLiteral("第2行 原产国(地区)单价"));
    s.selectMode(Mode::Export);
    QCOMPARE(s.box(15)->accessibleName(), QStringLiteral("运抵国(地区)"));
    QCOMPARE(s.box(52)->accessibleName(), QStringLiteral("第2行 最终目的国(地区)单价"));
    // Every control a clerk can reach has a name.
    for (QWidget* c : w.findChildren<QWidget*>())
        if (c->focusPolicy() != Qt::NoFocus && c->isVisibleTo(&w) &&
            qobject_cast<QScrollBar*>(c) == nullptr && c->parentWidget() &&
            !c->parentWidget()->inherits("QAbstractScrollArea"))
            QVERIFY2(!c->accessibleName().isEmpty(), c->metaObject()->className());
}

void MainWindowTest::imageButtonPictures() {
    QList<QImage> pictures;
    for (const QString& word : ImageButtonStrip::words()) {
        const QImage picture = imageButtonPicture(word).toImage();
        QCOMPARE(picture.size(), QSize(80, 24));
        int dark = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 8; x < 72; ++x)
                if (qGray(picture.pixel(x, y)) < 90)
                    ++dark;
        QVERIFY2(dark > 20, qPrintable(word)); // the word is drawn
        for (const QImage& other : pictures)
            QVERIFY(other != picture);
        pictures.append(picture);
    }
}

void MainWindowTest::qtSpeaksChinese() {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("t"), QStringLiteral("x"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
    QVERIFY(box.button(QMessageBox::Yes)->text().startsWith(QStringLiteral("是")));
    QVERIFY(box.button(QMessageBox::No)->text().startsWith(QStringLiteral("否")));
    QVERIFY(box.button(QMessageBox::Ok)->text().startsWith(QStringLiteral("确定")));
    QVERIFY(box.button(QMessageBox::Cancel)->text().startsWith(QStringLiteral("取消")));
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
