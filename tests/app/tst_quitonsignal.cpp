#include "QuitOnSignal.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <csignal>

class QuitOnSignalTest : public QObject {
    Q_OBJECT
private slots:
    void signalEndsTheEventLoopGracefully_data();
    void signalEndsTheEventLoopGracefully();
};

void QuitOnSignalTest::signalEndsTheEventLoopGracefully_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void QuitOnSignalTest::signalEndsTheEventLoopGracefully() {
    QFETCH(int, signal);
    QVERIFY(installQuitOnSignals());
    // aboutToQuit is where the main window stores its working record and layout.
    QSignalSpy aboutToQuit(QCoreApplication::instance(), &QCoreApplication::aboutToQuit);
    QTimer::singleShot(0, [signal] { std::raise(signal); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    bool timedOut = false;
    connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::exit(3);
    });
    watchdog.start(5000);
    const int code = QCoreApplication::exec();
    QVERIFY(!timedOut);
    QCOMPARE(code, 0);
    QCOMPARE(aboutToQuit.count(), 1);
}

QTEST_GUILESS_MAIN(QuitOnSignalTest)
#include "tst_quitonsignal.moc"
