// The main window: the two modes' working records and the layout across restarts, its outer
// frame and the names of its controls, the layout dialog, a broken database.
#include "ClerkTyping.h"
#include "FontSetup.h"
#include "HistoryGrid.h"
#include "MainWindowGeometry.h"
#include "SelDialog.h"
#include "Units.h"
#include "WindowSession.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void workingRecordsAndLayoutSurviveModesAndRestarts();
    void typedWorkOutlivesOtherViews_data();
    void typedWorkOutlivesOtherViews();
    void historyViewControlsDoNotOverlap_data();
    void historyViewControlsDoNotOverlap();
    void layoutDialogButtonsAndKeys();
    void brokenDatabaseKeepsTheProgramRunning();
};

// Qt's own buttons speak Chinese.
void MainWindowTest::initTestCase() {
    registerFontSubstitutions();
    installChineseTranslations(*qApp);
    QMessageBox box(QMessageBox::NoIcon, {}, {}, QMessageBox::Yes | QMessageBox::Cancel);
    QVERIFY(box.button(QMessageBox::Yes)->text().startsWith(QStringLiteral("是")));
    QVERIFY(box.button(QMessageBox::Cancel)->text().startsWith(QStringLiteral("取消")));
}

void MainWindowTest::workingRecordsAndLayoutSurviveModesAndRestarts() {
    WindowSession s;
    s.storeRecord(Mode::Import, {{0, "I-0001"}, {31, "唛头\r\nN/M"}}, WorkingRecordOrd);
    s.storeRecord(Mode::Export, {{0, "E-old"}, {43, "螺钉"}}, WorkingRecordOrd);
    s.start();
    QVERIFY(s.page()->title().contains(QStringLiteral("进口")));
    QCOMPARE(s.shown(31), QStringLiteral("唛头\r\nN/M"));
    QCOMPARE(qobject_cast<QPlainTextEdit*>(s.box(31))->toPlainText(), QStringLiteral("唛头\nN/M"));
    typeLikeClerk(s.box(10), QStringLiteral("上海收货"));
    s.form().CtlMove(20, 1000 - s.form().box(20).left, 5000 - s.form().box(20).top);

    s.selectTab("SS1", 0);
    QVERIFY(s.page()->title().contains(QStringLiteral("出口")));
    QCOMPARE(s.form().label(10).caption + s.shown(0) + s.shown(10),
             QStringLiteral("发货单位E-old"));
    QCOMPARE(s.storedRecord(Mode::Import, WorkingRecordOrd),
             (QMap<int, QString>{{0, "I-0001"}, {10, "上海收货"}, {31, "唛头\r\nN/M"}}));
    qobject_cast<QLineEdit*>(s.box(0))->clear();
    typeLikeClerk(s.box(0), QStringLiteral("E-new"));
    for (Qt::Key key : {Qt::Key_X, Qt::Key_Return, Qt::Key_Y})
        QTest::keyClick(s.box(31), key);
    s.selectTab("SS1", 1);
    QCOMPARE(s.shown(10), QStringLiteral("上海收货"));
    s.selectTab("SS1", 0);

    // The exit keeps the shown mode's work and the layout; the next start shows import.
    s.close();
    QCOMPARE(s.storedRecord(Mode::Export, WorkingRecordOrd),
             (QMap<int, QString>{{0, "E-new"}, {31, "x\r\ny"}, {43, "螺钉"}}));
    s.start();
    QCOMPARE(s.mf->formMode(), Mode::Import);
    QCOMPARE(s.shown(0), QStringLiteral("I-0001"));
    const Box& moved = s.form().box(20);
    QCOMPARE(s.box(20)->geometry(),
             s.page()->pageRectToPixels(QRectF(1000, 5000, moved.width, moved.height)));
    QVERIFY(s.dialogs.shown.isEmpty());
    // The layout's rectangle is the outer one: the platform's frame is inside it.
    QTRY_COMPARE(s.mf->frameGeometry(),
                 ScreenTwips::toPixelRect(
                     computeMainWindowGeometry(QSizeF(1024, 768) * ScreenTwips::PerPixel,
                                               MainWindowGeometry::FirstViewportTop)
                         .window));
    // Every control a clerk can reach has a name.
    for (QWidget* c : s.mf->findChildren<QWidget*>())
        if (c->focusPolicy() != Qt::NoFocus && c->isVisibleTo(s.mf.get()) &&
            !qobject_cast<QScrollBar*>(c) && !c->parentWidget()->inherits("QAbstractScrollArea"))
            QVERIFY2(!c->accessibleName().isEmpty(), c->metaObject()->className());
}

void MainWindowTest::typedWorkOutlivesOtherViews_data() {
    QTest::addColumn<QString>("away");      // main tabs visited, "F1" pressed in the typed box
    QTest::addColumn<int>("printAgain");    // the history mode of 再次打印's row; -1 none
    QTest::addColumn<QStringList>("shown"); // boxes 6 and 10 on the form view afterwards
    const QStringList typed{"", "上海收货"};
    QTest::newRow("F1") << "F1" << -1 << typed;
    QTest::newRow("history") << "1" << -1 << typed;
    QTest::newRow("help, then history") << "21" << -1 << typed;
    QTest::newRow("再次打印 in the same mode") << "1" << 1 << QStringList{"宁波", ""};
    QTest::newRow("再次打印 in the other mode") << "1" << 0 << typed;
}

// Whatever takes the clerk away from the form view, coming back shows what was typed; 再次打印
// still shows its row when the form view is in the row's mode.
void MainWindowTest::typedWorkOutlivesOtherViews() {
    QFETCH(QString, away);
    QFETCH(int, printAgain);
    QFETCH(QStringList, shown);
    WindowSession s;
    s.storeRecord(Mode::Import, {{6, "宁波"}});
    s.storeRecord(Mode::Export, {{6, "上海"}});
    s.start();
    typeLikeClerk(s.box(10), QStringLiteral("上海收货"));
    if (away == QLatin1String("F1"))
        QTest::keyClick(s.box(10), Qt::Key_F1);
    else
        for (const QChar tab : away)
            s.selectTab("SST", tab.digitValue());
    QVERIFY(s.tabs("SST")->currentIndex() != 0);
    if (printAgain >= 0) {
        s.selectTab("SS2", printAgain);
        s.mf->historyGrid().setGridSelection(1, 1); // the stored record, not a working one
        click(s.mf->imageButton(4));
    } else {
        s.selectTab("SST", 0);
    }
    QCOMPARE((QStringList{s.shown(6), s.shown(10)}), shown);
    if (printAgain == 0) { // the row waits in its own mode
        s.selectTab("SS1", 0);
        QCOMPARE(s.shown(6), QStringLiteral("上海"));
    }
}

void MainWindowTest::historyViewControlsDoNotOverlap_data() {
    QTest::addColumn<QSize>("screen");
    QTest::newRow("800x600") << QSize(800, 600);
    QTest::newRow("1024x768") << QSize(1024, 768);
    QTest::newRow("1600x1200") << QSize(1600, 1200);
}

// Every control of the history view can be clicked where it shows: none covers another.
void MainWindowTest::historyViewControlsDoNotOverlap() {
    QFETCH(QSize, screen);
    WindowSession s;
    s.start(screen);
    s.selectTab("SST", 1);
    QList<QPair<QWidget*, QRect>> controls; // in window coordinates
    for (const char* strip : {"SST", "SS2"}) {
        QTabBar* bar = s.tabs(strip)->tabBar();
        for (int tab = 0; tab < bar->count(); ++tab)
            controls.append({bar, QRect(bar->mapTo(s.mf.get(), bar->tabRect(tab).topLeft()),
                                        bar->tabRect(tab).size())});
    }
    QList<QWidget*> found;
    for (QWidget* w : s.mf->findChildren<QWidget*>())
        if (w->isVisible() && (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                               w == &s.mf->historyGrid()))
            found.append(w);
    for (QWidget* w : found) // the parts of a control are not controls of their own
        if (std::none_of(found.begin(), found.end(),
                         [w](QWidget* o) { return o != w && o->isAncestorOf(w); }))
            controls.append({w, QRect(w->mapTo(s.mf.get(), QPoint()), w->size())});
    // Tabs, the top strip, the image buttons, the batch buttons, the find box and the grid.
    QCOMPARE(controls.size(), 3 + 2 + 3 + 5 + 2 + 1 + 1);
    for (const auto& [widget, rect] : controls) {
        QVERIFY(s.mf->rect().contains(rect));
        QWidget* hit = s.mf->childAt(rect.center());
        QVERIFY2(hit == widget || widget->isAncestorOf(hit), qPrintable(widget->accessibleName()));
        for (const auto& [other, otherRect] : controls)
            QVERIFY2(other == widget || !rect.intersects(otherRect),
                     qPrintable(widget->accessibleName() + " / " + other->accessibleName()));
    }
}

// A second command reuses the open dialog in its own mode while the window stays usable;
// Return is OK; saving over a name asks first, and No keeps the stored layout.
void MainWindowTest::layoutDialogButtonsAndKeys() {
    WindowSession s;
    s.start();
    s.form().setLeft(9, 1234);
    click(QStringLiteral("读 取 格 式"));
    QPointer<Sel> sel = s.mf->findChild<Sel*>();
    const QString name = QStringLiteral(" a'b\"c' "); // quotes and outer blanks belong to it
    sel->nameBox()->setEditText(name);
    click(QStringLiteral("保 存 格 式"));
    QCOMPARE(s.mf->findChildren<Sel*>().size(), 1);
    typeLikeClerk(s.box(0), QStringLiteral("abc"));
    QCOMPARE(s.form().text(0), QStringLiteral("abc"));
    sel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(sel));
    QTest::keyClick(sel->nameBox()->lineEdit(), Qt::Key_Return);
    QTRY_VERIFY(sel.isNull());
    s.form().setLeft(9, 2345);
    s.dialogs.yesNo.enqueue(false);
    click(QStringLiteral("保 存 格 式"));
    sel = s.mf->findChild<Sel*>();
    sel->nameBox()->setEditText(name);
    click(sel->okButton());
    QCOMPARE(s.dialogs.allTexts(), QStringList{QStringLiteral("该记录已存在，是否覆盖？")});
    QTRY_VERIFY(sel.isNull());
    click(QStringLiteral("读 取 格 式"));
    click(s.mf->findChild<Sel*>()->okButton()); // loading offers the current layout's name
    QCOMPARE(s.form().box(9).left, 1234.f);     // as saved under the name
}

// A file that is no database: every command says so, typing goes on, nothing is written.
void MainWindowTest::brokenDatabaseKeepsTheProgramRunning() {
    WindowSession s;
    const QByteArray garbage(4096, 'x');
    QVERIFY(TestFolder::write(s.dbPath, garbage));
    s.start();
    typeLikeClerk(s.box(0), QStringLiteral("still typing"));
    click(QStringLiteral("保 存 内 容"));
    s.selectTab("SS1", 0);
    s.close();
    const QStringList told = s.dialogs.messages();
    QVERIFY(told.size() >= 2 && told.count(QStringLiteral("数据库打开错误！")) == told.size());
    QVERIFY(s.dialogs.shown.last().details.contains(QStringLiteral("文件不是数据库")));
    QCOMPARE(TestFolder::read(s.dbPath), garbage); // never overwritten
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
