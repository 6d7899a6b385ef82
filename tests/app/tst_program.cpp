// The program's outer edges: the signals that end it, the new-version check against a
// product page served here, the text read from a page, the about box's links.
#include "AboutBox.h"
#include "MakerSite.h"
#include "PageText.h"
#include "PendingTyping.h"
#include "QuitOnSignal.h"
#include "ScriptedDialogs.h"
#include "SingleInstance.h"
#include "TestFolder.h"
#include "VersionCheck.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QMainWindow>
#include <QNetworkProxy>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <csignal>

// Records the addresses the program asks the desktop to open, so no browser starts.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

namespace {

// Answers each request with `body` after 150 ms, or never when silent; keeps the requests.
struct PageServer : QTcpServer {
    QByteArray contentType = "text/html; charset=utf-8", body;
    bool silent = false;
    QList<QByteArray> requests;

    PageServer() {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, this, [this, s] { answer(s); });
        });
    }
    QUrl productPage() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/quillmarshsoft/downpage/Product.asp?ID=27")
                        .arg(serverPort()));
    }
    void answer(QTcpSocket* socket) {
        if (!socket->peek(1 << 16).endsWith("\r\n\r\n")) // not the whole request yet
            return;
        const QByteArray request = socket->readAll();
        requests.append(request.left(request.indexOf("\r\n")));
        if (silent)
            return;
        QTimer::singleShot(150, socket, [this, socket] {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + contentType +
                          "\r\nContent-Length: " + QByteArray::number(body.size()) +
                          "\r\nConnection: close\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    }
};

const QString ownCaption = QStringLiteral("Quillmarsh报关单打印软件1.13");

// 软件版本：軟體 in GBK, written out by hand; 軟體 exists in GBK but not in GB2312.
const QByteArray gbkText = QByteArray::fromHex("c8edbcfeb0e6b1bea3badc9bf377");

} // namespace

class ProgramTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "open");
    }
    void init() { m_urls.opened.clear(); }

    // A signal to end the program ends its event loop the normal way, so aboutToQuit still
    // stores the working record and the layout.
    void signalEndsTheEventLoopGracefully_data() {
        QTest::addColumn<int>("signal");
        for (int signal : {SIGTERM, SIGINT, SIGHUP})
            QTest::addRow("%d", signal) << signal;
    }
    void signalEndsTheEventLoopGracefully() {
        QFETCH(int, signal);
        QVERIFY(installQuitOnSignals());
        int quits = 0;
        QObject row; // the connections and the watchdog end with the row
        connect(qApp, &QCoreApplication::aboutToQuit, &row, [&quits] { ++quits; });
        QTimer::singleShot(0, &row, [signal] { std::raise(signal); });
        QTimer::singleShot(5000, &row, [] { QCoreApplication::exit(3); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(quits, 1);
    }

    // A second start on the same database brings the first program's window forward.
    void secondStartBringsTheWindowForward_data() {
        QTest::addColumn<bool>("minimized"); // otherwise behind another window
        QTest::newRow("minimized") << true;
        QTest::newRow("behind another window") << false;
    }
    void secondStartBringsTheWindowForward() {
        QFETCH(bool, minimized);
        const QString db = m_folder.file(QStringLiteral("Par.db"));
        SingleInstance first(db);
        QVERIFY(first.acquire());
        QMainWindow window, other;
        first.setWindow(&window);
        window.show();
        other.show();
        if (minimized)
            window.showMinimized();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        SingleInstance second(db);
        QVERIFY(!second.acquire());
        QVERIFY(second.askHolderToComeForward());
        QTRY_VERIFY(window.isActiveWindow() && !window.isMinimized());
    }

    // The page's text as Qt reads it: charset by BOM, header, meta or GB18030, markup gone,
    // nothing the page names loaded.
    void text_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("text");
        const QByteArray html = "text/html";
        const QString gbkRead = QStringLiteral("软件版本：軟體");
        QTest::newRow("GBK by meta") << "<meta charset=gbk><body>" + gbkText << html << gbkRead;
        QTest::newRow("GBK by header, outranks meta")
            << "<meta charset=utf-8>" + gbkText << QByteArray("text/html; charset=\"GBK\"")
            << gbkRead;
        QTest::newRow("undeclared GBK") << gbkText << html << gbkRead;
        QTest::newRow("UTF-8 with BOM, outranks header")
            << QStringLiteral("\uFEFF<p>软件</p>").toUtf8() << QByteArray("text/html; charset=gbk")
            << "软件";
        QTest::newRow("markup removed")
            << QByteArray("<html><head><title>t</title><style>p{}</style></head><body> "
                          "<script>v='9.9'</script><table><tr><td>A</td><td>1.14</td></tr>"
                          "</table><img src=logo.png><!-- 9.9 --></body></html>")
            << html << "A\n1.14";
        QTest::newRow("plain text page")
            << QByteArray(" <V1.14> ") << QByteArray("text/plain") << "<V1.14>";
        for (const char* error : {"无法找到该页", "无法显示网页"}) // the browser's error pages
            QTest::newRow(error)
                << QString::fromUtf8(error).append("软件版本：1 软件售价：").toUtf8() << html << "";
        // With the style sheet read, "a   b" would keep its blanks.
        QVERIFY(TestFolder::write(m_folder.file("pre.css"), "p { white-space: pre }"));
        QTest::newRow("named file not read")
            << "<style>@import url(" + m_folder.file("pre.css").toUtf8() + ");</style><p>a   b</p>"
            << html << "a b";
    }
    void text() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(QString, text);
        QCOMPARE(pageText(body, contentType), text);
    }

    // The version on the product page against the own 1.13: the first "软件版本：" counts,
    // up to the first "软件售价：" after it; a different version, newer or older by number,
    // is offered. The window's timer ticks faster than the page arrives: one request all
    // the same.
    void wholeCheck_data() {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("found");
        const auto row = [&](const char* name, const QString& page, const char* found,
                             const char* type = "text/plain; charset=utf-8") {
            QTest::newRow(name) << QByteArray(type) << page.toUtf8() << QString::fromUtf8(found);
        };
        row("newer, in a table", "<td>软件版本：</td><td>V1.14 </td><td>软件售价：</td>", "1.14",
            "text/html; charset=utf-8");
        row("same", "软件版本：V1.13 软件售价：", "1.13");
        row("1.2 differs from 1.13", "软件版本：1.2 软件售价：", "1.2");
        row("first version label counts", "软件版本：V1.13 软件售价：1 软件版本：V9.9 软件售价：",
            "1.13");
        row("price label missing", "软件版本：V1.14 980元", "");
        row("zero version", "软件版本：V0.0 软件售价：", "");
        row("oversized page",
            "软件版本：V1.14 软件售价：" + QString(PageFetch::maximumPageBytes, u' '), "");
        // "软件版本：" and "软件售价：" in GBK.
        QTest::newRow("GBK by header") << QByteArray("text/html; charset=GBK")
                                       << QByteArray::fromHex("c8edbcfeb0e6b1bea3ba") + "V1.14 " +
                                              QByteArray::fromHex("c8edbcfecadbbcdba3ba")
                                       << "1.14";
    }
    void wholeCheck() {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, found);
        PageServer server;
        server.contentType = contentType;
        server.body = body;
        ScriptedDialogs dialogs;
        dialogs.yesNo.append(true);
        VersionCheck check(dialogs);
        QSignalSpy finished(&check, &VersionCheck::checkFinished);
        check.ResetVersionCheck();
        QTimer timer;
        connect(&timer, &QTimer::timeout, &check,
                [&] { check.CheckNewVersion(server.productPage(), ownCaption); });
        timer.start(10);
        QVERIFY(finished.wait(10000));
        QTest::qWait(200);
        timer.stop();
        QCOMPARE(server.requests,
                 QList<QByteArray>{"GET /quillmarshsoft/downpage/Product.asp?ID=27 HTTP/1.1"});
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toString(), found);
        const bool offered = !found.isEmpty() && found != QLatin1String("1.13");
        const QString question = QStringLiteral("本软件已升级，最新版本号为：") + found +
                                 QStringLiteral("\r\n\r\n现在就从") + MakerSite::host() +
                                 QStringLiteral("网站下载最新版软件？");
        QCOMPARE(dialogs.allTexts(), offered ? QStringList{question} : QStringList());
        QCOMPARE(m_urls.opened, offered ? QList<QUrl>{server.productPage()} : QList<QUrl>{});
    }

    // A silent server: the bound ends the one fetch of the run, and a check destroyed
    // while it waits neither asks nor crashes when events run on.
    void serverSilent() {
        PageServer server;
        server.silent = true;
        ScriptedDialogs dialogs;
        VersionCheck check(dialogs);
        check.setFetchBound(std::chrono::milliseconds(400));
        QSignalSpy finished(&check, &VersionCheck::checkFinished);
        check.ResetVersionCheck();
        for (int tick = 0; tick < 5; ++tick)
            check.CheckNewVersion(server.productPage(), ownCaption);
        QVERIFY(finished.wait(8000)); // well under the bound of a real run
        QCOMPARE(finished.first().first().toString(), QString());
        check.CheckNewVersion(server.productPage(), ownCaption);
        {
            VersionCheck abandoned(dialogs);
            abandoned.ResetVersionCheck();
            abandoned.CheckNewVersion(server.productPage(), ownCaption);
            QTRY_COMPARE(server.requests.size(), 2);
        }
        QTest::qWait(100);
        QCOMPARE(server.requests.size(), 2);
        QCOMPARE(finished.size(), 1);
        QVERIFY(dialogs.shown.isEmpty());
    }

    // One box at a time, with the caption's version; its logo and labels open the home page.
    void aboutBox_data() {
        QTest::addColumn<QString>("control");
        for (const char* name : {"IMG", "lblTitle", "lblVersion", "lblCopyright", "lblSite"})
            QTest::newRow(name) << name;
    }
    void aboutBox() {
        QFETCH(QString, control);
        QMainWindow window;
        window.setWindowTitle(QStringLiteral("Quillmarsh报关单打印软件2.05"));
        QPointer<AboutBox> box = ShowAboutBox(window);
        QCOMPARE(ShowAboutBox(window), box.data());
        QVERIFY(box->isVisible() && !box->isModal() &&
                box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(box->findChild<QLabel*>("lblVersion")->text().contains(QStringLiteral("2.05")));
        QWidget* clicked = box->findChild<QWidget*>(control);
        QTest::mouseClick(clicked, Qt::RightButton);
        QTest::mouseClick(clicked, Qt::LeftButton);
        QCOMPARE(m_urls.opened, QList<QUrl>{MakerSite::homePage()});
        const QImage logo = box->findChild<QWidget*>("IMG")->grab().toImage();
        QImage blank(logo.size(), logo.format());
        blank.fill(logo.pixel(0, 0));
        QVERIFY(logo != blank); // the logo is drawn
        // OK closes the box; the next one opens anew.
        QTest::mouseClick(box->findChild<QPushButton*>("CMD"), Qt::LeftButton);
        QVERIFY(!box->isVisible());
        AboutBox* again = ShowAboutBox(window);
        QVERIFY(again != box.data() && again->isVisible());
        QTRY_VERIFY(box.isNull());
    }

    // Keys queued while the window waited on the database reach their box before a message
    // opens; a shortcut or a click queued with them runs no second command.
    void typingQueuedDuringAWaitReachesItsBox() {
        QWidget window;
        auto* box = new QLineEdit(&window);
        auto* button = new QPushButton(QStringLiteral("打   印"), &window);
        int commands = 0;
        connect(button, &QPushButton::clicked, [&] { ++commands; });
        connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), &window),
                &QShortcut::activated, [&] { ++commands; });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        box->setFocus();
        const auto post = [](QWidget* to, QEvent::Type type, int key, const QString& text,
                             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QCoreApplication::postEvent(to, new QKeyEvent(type, key, modifiers, text));
        };
        for (const QChar c : QStringLiteral("ab3")) {
            post(box, QEvent::KeyPress, c.unicode(), c);
            post(box, QEvent::KeyRelease, c.unicode(), c);
        }
        post(box, QEvent::KeyPress, Qt::Key_S, QString(), Qt::ControlModifier);
        post(button, QEvent::KeyPress, Qt::Key_Space, QStringLiteral(" "));
        post(button, QEvent::KeyRelease, Qt::Key_Space, QStringLiteral(" "));
        const QPoint middle = button->rect().center();
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(
                button, new QMouseEvent(type, middle, button->mapToGlobal(middle), Qt::LeftButton,
                                        Qt::LeftButton, Qt::NoModifier));
        PendingTyping::deliver();
        QCOMPARE(box->text(), QStringLiteral("ab3"));
        QCOMPARE(commands, 0);
        QTest::keyClick(box, Qt::Key_S, Qt::ControlModifier); // the filter is gone again
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(commands, 2);
    }

private:
    TestFolder m_folder;
    UrlCatcher m_urls;
};

QTEST_MAIN(ProgramTest)
#include "tst_program.moc"
