#include "Indicater.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>

// The progress window: bar, caption, placement and the Esc flag.
class IndicaterTest : public QObject {
    Q_OBJECT
private slots:
    void barLength_data();
    void barLength();
    void barIsPureBlueToTheRightEdge();
    void windowPlacedOnTopWithItsCaption();
    void escapeSetsTheFlag();
    void reopeningClearsBarAndFlag();
};

void IndicaterTest::barLength_data() {
    QTest::addColumn<int>("total");
    QTest::addColumn<QList<int>>("values"); // IndicaterSet calls in order
    QTest::addColumn<double>("fraction");   // of the bar's width finally shown
    QTest::newRow("four steps of four") << 4 << QList<int>{1, 2, 3, 4} << 1.0;
    QTest::newRow("half way") << 10 << QList<int>{5} << 0.5;
    QTest::newRow("beyond the total stays full") << 3 << QList<int>{7} << 1.0;
    QTest::newRow("never shrinks") << 4 << QList<int>{3, 1} << 0.75;
    QTest::newRow("total 0 draws nothing") << 0 << QList<int>{1, 2} << 0.0;
}

void IndicaterTest::barLength() {
    QFETCH(int, total);
    QFETCH(QList<int>, values);
    QFETCH(double, fraction);
    Indicater indicater;
    indicater.IndicaterOpen(QStringLiteral("t"), total);
    for (int v : values)
        indicater.IndicaterSet(v);
    ProgressBarPicture* pic = indicater.window()->picture();
    QCOMPARE(pic->drawnWidth(), qRound(fraction * pic->width()));
    QCOMPARE(indicater.value(), values.last());
}

void IndicaterTest::barIsPureBlueToTheRightEdge() {
    Indicater indicater;
    indicater.IndicaterOpen(QStringLiteral("t"), 4);
    for (int i = 0; i < 4; ++i)
        indicater.IndicaterStep(1);
    ProgressBarPicture* pic = indicater.window()->picture();
    const QImage image = pic->grab().toImage();
    const int y = image.height() / 2;
    QCOMPARE(QColor(image.pixel(0, y)), QColor(0, 0, 255));
    QCOMPARE(QColor(image.pixel(image.width() - 1, y)), QColor(0, 0, 255));

    Indicater half;
    half.IndicaterOpen(QStringLiteral("t"), 2);
    half.IndicaterStep(1);
    const QImage halfImage = half.window()->picture()->grab().toImage();
    QCOMPARE(QColor(halfImage.pixel(halfImage.width() - 1, y)), QColor(Qt::white));
}

void IndicaterTest::windowPlacedOnTopWithItsCaption() {
    Indicater indicater;
    indicater.IndicaterOpen(QStringLiteral("正在读取EXCEL数据…"), 10);
    ProgressDisplay* w = indicater.window();
    QVERIFY(w->isVisible());
    QCOMPARE(w->objectName(), QStringLiteral("进度显示"));
    QCOMPARE(w->windowTitle(), QStringLiteral("正在读取EXCEL数据…"));
    QVERIFY(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(w->windowModality(), Qt::ApplicationModal); // the rest of the program waits
    QCOMPARE(w->size(), QSize(9045 / 15, 390 / 15));
    QCOMPARE(w->picture()->geometry(), QRect(0, 0, 9015 / 15, 375 / 15));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(w->x(), screen.x() + (screen.width() - w->width()) / 2);
    QCOMPARE(w->y(), screen.y() + (screen.height() - w->height()) / 3);
    indicater.IndicaterClose();
    QVERIFY(!indicater.window());
    indicater.IndicaterClose(); // closing twice is harmless
}

void IndicaterTest::escapeSetsTheFlag() {
    Indicater indicater;
    indicater.IndicaterOpen(QStringLiteral("t"), 10);
    QTest::keyClick(indicater.window(), Qt::Key_A);
    QTest::keyClick(indicater.window(), Qt::Key_Return);
    QVERIFY(!indicater.ProgressCancelled());
    QTest::keyClick(indicater.window(), Qt::Key_Escape);
    QTest::keyClick(indicater.window(), Qt::Key_Escape);
    QVERIFY(indicater.ProgressCancelled());
    indicater.IndicaterClose();
    QVERIFY(indicater.ProgressCancelled()); // kept until the window opens again
}

void IndicaterTest::reopeningClearsBarAndFlag() {
    Indicater indicater;
    indicater.IndicaterOpen(QStringLiteral("t"), 2);
    indicater.IndicaterStep(2);
    QTest::keyClick(indicater.window(), Qt::Key_Escape);
    indicater.IndicaterClose();
    indicater.IndicaterOpen(QStringLiteral("again"), 2);
    QCOMPARE(indicater.window()->picture()->drawnWidth(), 0);
    QCOMPARE(indicater.value(), 0);
    QVERIFY(!indicater.ProgressCancelled());
}

QTEST_MAIN(IndicaterTest)
#include "tst_indicater.moc"
