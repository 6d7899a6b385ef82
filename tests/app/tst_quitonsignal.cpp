#include "QuitOnSignal.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <csignal>

// A signal to end the program ends its event loop the normal way, so aboutToQuit still
// stores the working record and the layout.
class QuitOnSignalTest : public QObject {
    Q_OBJECT
private slots:
    void signalEndsTheEventLoopGracefully_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalEndsTheEventLoopGracefully() {
        QFETCH(int, signal);
        QVERIFY(installQuitOnSignals());
        QSignalSpy aboutToQuit(QCoreApplication::instance(), &QCoreApplication::aboutToQuit);
        QTimer::singleShot(0, [signal] { std::raise(signal); });
        QObject watchdog; // ends with the row
        QTimer::singleShot(5000, &watchdog, [] { QCoreApplication::exit(3); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(aboutToQuit.count(), 1);
    }
};

QTEST_GUILESS_MAIN(QuitOnSignalTest)
#include "tst_quitonsignal.moc"
