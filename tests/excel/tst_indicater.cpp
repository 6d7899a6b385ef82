#include "Indicater.h"

#include <QImage>
#include <QTest>

// The progress window: the bar never shrinks and fills to the right edge; Esc is kept
// until the window opens again.
class IndicaterTest : public QObject {
    Q_OBJECT
private slots:
    void bar_data();
    void bar();
    void escapeKeptUntilReopened();
};

void IndicaterTest::bar_data() {
    QTest::addColumn<int>("total");
    QTest::addColumn<QList<int>>("steps"); // IndicaterStep calls in order
    QTest::addColumn<double>("fraction");  // of the bar's width finally shown
    QTest::newRow("four steps of four") << 4 << QList<int>{1, 1, 1, 1} << 1.0;
    QTest::newRow("half way") << 10 << QList<int>{5} << 0.5;
    QTest::newRow("beyond the total stays full") << 3 << QList<int>{7} << 1.0;
    QTest::newRow("never shrinks") << 4 << QList<int>{3, -2} << 0.75;
    QTest::newRow("total 0 draws nothing") << 0 << QList<int>{1, 2} << 0.0;
}

void IndicaterTest::bar() {
    QFETCH(int, total);
    QFETCH(QList<int>, steps);
    QFETCH(double, fraction);
    Indicater indicater;
    indicater.IndicaterOpen(QStringLiteral("t"), total);
    for (int step : steps)
        indicater.IndicaterStep(step);
    const QImage image = indicater.window()->picture()->grab().toImage();
    const int drawn = qRound(fraction * image.width());
    QCOMPARE(indicater.window()->picture()->drawnWidth(), drawn);
    const int y = image.height() / 2;
    for (int x : {0, drawn - 1, drawn, image.width() - 1})
        if (x >= 0 && x < image.width())
            QCOMPARE(QColor(image.pixel(x, y)), x < drawn ? QColor(Qt::blue) : QColor(Qt::white));
}

void IndicaterTest::escapeKeptUntilReopened() {
    Indicater indicater;
    indicater.IndicaterOpen(QStringLiteral("t"), 2);
    indicater.IndicaterStep(2);
    QTest::keyClick(indicater.window(), Qt::Key_Return);
    QVERIFY(!indicater.ProgressCancelled());
    QTest::keyClick(indicater.window(), Qt::Key_Escape);
    indicater.IndicaterClose();
    QVERIFY(!indicater.window());
    QVERIFY(indicater.ProgressCancelled());
    indicater.IndicaterOpen(QStringLiteral("again"), 2);
    QCOMPARE(indicater.window()->picture()->drawnWidth(), 0);
    QCOMPARE(indicater.value(), 0);
    QVERIFY(!indicater.ProgressCancelled());
}

QTEST_MAIN(IndicaterTest)
#include "tst_indicater.moc"
