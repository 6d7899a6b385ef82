#include "MakerSite.h"
#include "PageText.h"
#include "ScriptedDialogs.h"
#include "TestFolder.h"
#include "VersionCheck.h"

#include <QDesktopServices>
#include <QNetworkProxy>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <memory>

// Records the addresses the program asks the desktop to open, so no browser starts.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

// A product page server on 127.0.0.1: answers every request with the page it is given,
// after a delay, or keeps the connection open without a word.
class PageServer : public QObject {
    Q_OBJECT
public:
    QByteArray status = "200 OK";
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
    bool silent = false;
    int delayMs = 150;
    QList<QByteArray> requestLines;

    PageServer() { connect(&m_server, &QTcpServer::newConnection, this, &PageServer::accept); }
    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QUrl productPage() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/quillmarshsoft/downpage/Product.asp?ID=27")
                        .arg(m_server.serverPort()));
    }

private:
    void accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
                request->append(socket->readAll());
                if (!request->contains("\r\n\r\n") || socket->property("answered").toBool())
                    return;
                socket->setProperty("answered", true);
                requestLines.append(request->left(request->indexOf("\r\n")));
                if (silent)
                    return;
                QTimer::singleShot(delayMs, socket, [this, socket] { answer(socket); });
            });
        }
    }
    void answer(QTcpSocket* socket) {
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + contentType +
                      "\r\nContent-Length: " + QByteArray::number(body.size()) +
                      "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
};

namespace {

// 软件版本：軟體 in GBK, written out by hand; 軟體 exists in GBK but not in GB2312.
const QByteArray gbkText = QByteArray::fromHex("c8edbcfeb0e6b1bea3badc9bf377");

const QString ownCaption = QStringLiteral("Quillmarsh报关单打印软件1.13");

QByteArray utf8Page(const QString& version) {
    return QStringLiteral("<html><head><title>产品</title></head><body><table>"
                          "<tr><td>软件名称：</td><td>Quillmarsh报关单打印软件</td></tr>"
                          "<tr><td>软件版本：</td><td>V%1 </td></tr>"
                          "<tr><td>软件售价：</td><td>980元</td></tr></table></body></html>")
        .arg(version)
        .toUtf8();
}

// "软件版本：" and "软件售价：" in GBK, written out as bytes.
QByteArray gbkPage() {
    return "<html><body>" + QByteArray::fromHex("c8edbcfeb0e6b1bea3ba") + "V1.14 " +
           QByteArray::fromHex("c8edbcfecadbbcdba3ba") + "980</body></html>";
}

QString expectedQuestion(const QString& version) {
    return QStringLiteral("本软件已升级，最新版本号为：") + version +
           QStringLiteral("\r\n\r\n现在就从") + MakerSite::host() +
           QStringLiteral("网站下载最新版软件？");
}

} // namespace

class VersionCheckTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(TestFolder::write(m_folder.file("pre.css"), "p { white-space: pre }"));
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "open");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
    void init() { m_urls.opened.clear(); }

    void parse_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("webVersion");
        QTest::addColumn<bool>("offer");
        QTest::newRow("newer version") << "软件版本：V1.14 软件售价：980元"
                                       << "1.14" << true;
        QTest::newRow("same version") << "软件版本：V1.13 软件售价：980元"
                                      << "1.13" << false;
        QTest::newRow("price label missing") << "软件版本：V1.14 980元"
                                             << "" << false;
        QTest::newRow("first version label counts")
            << "软件版本：V1.13 软件售价：1 软件版本：V9.9 软件售价："
            << "1.13" << false;
        QTest::newRow("zero version") << "软件版本：V0.0 软件售价：980"
                                      << "" << false;
        QTest::newRow("1.2 is newer than 1.13") << "软件版本：1.2 软件售价："
                                                << "1.2" << true;
    }
    void parse() {
        QFETCH(QString, page);
        QFETCH(QString, webVersion);
        QFETCH(bool, offer);
        const VersionFinding finding = readWebVersion(page, ownCaption);
        QCOMPARE(finding.webVersion, webVersion);
        QCOMPARE(finding.offerUpgrade, offer);
    }

    void wholeCheck_data() {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("lastWebVersion");
        QTest::addColumn<bool>("opensPage");

        const QByteArray ok = "200 OK";
        const QByteArray html = "text/html; charset=utf-8";
        QTest::newRow("newer, download") << ok << html << utf8Page("1.14") << QList<bool>{true}
                                         << expectedQuestion("1.14") << "1.14" << true;
        QTest::newRow("newer, not now") << ok << html << utf8Page("1.14") << QList<bool>{false}
                                        << expectedQuestion("1.14") << "1.14" << false;
        QTest::newRow("GBK page, header")
            << ok << QByteArray("text/html; charset=GBK") << gbkPage() << QList<bool>{false}
            << expectedQuestion("1.14") << "1.14" << false;
        QTest::newRow("error page: cannot be shown")
            << ok << html
            << QStringLiteral("<body><h1>无法显示网页</h1>软件版本：V1.14 软件售价：</body>")
                   .toUtf8()
            << QList<bool>{} << ""
            << "0" << false;
        QTest::newRow("oversized page")
            << ok << html << utf8Page("1.14") + QByteArray(PageFetch::maximumPageBytes, ' ')
            << QList<bool>{} << ""
            << "0" << false;
    }
    void wholeCheck() {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QList<bool>, answers);
        QFETCH(QString, question);
        QFETCH(QString, lastWebVersion);
        QFETCH(bool, opensPage);

        PageServer server;
        server.status = status;
        server.contentType = contentType;
        server.body = body;
        QVERIFY(server.listen());

        ScriptedDialogs dialogs;
        dialogs.yesNo.append(answers);
        VersionCheck check(dialogs);
        QSignalSpy finished(&check, &VersionCheck::checkFinished);
        check.ResetVersionCheck();
        QCOMPARE(check.LastWebVersion(), QString());

        // The main window's timer, ticking faster than the page arrives.
        QTimer timer;
        timer.setInterval(10);
        connect(&timer, &QTimer::timeout, &check,
                [&] { check.CheckNewVersion(server.productPage(), ownCaption); });
        timer.start();
        QVERIFY(finished.wait(10000));
        QTest::qWait(200);
        timer.stop();

        QCOMPARE(server.requestLines.size(), 1);
        QCOMPARE(server.requestLines.first(),
                 QByteArray("GET /quillmarshsoft/downpage/Product.asp?ID=27 HTTP/1.1"));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toString(),
                 lastWebVersion == QLatin1String("0") ? QString() : lastWebVersion);
        QCOMPARE(check.LastWebVersion(), lastWebVersion);
        QCOMPARE(dialogs.allTexts(), question.isEmpty() ? QStringList() : QStringList{question});
        if (!question.isEmpty()) {
            QCOMPARE(dialogs.shown.first().kind, QStringLiteral("yesno"));
            QCOMPARE(dialogs.shown.first().title, QString()); // the program's own title
        }
        QVERIFY(dialogs.unanswered.isEmpty());
        QCOMPARE(m_urls.opened, opensPage ? QList<QUrl>{server.productPage()} : QList<QUrl>{});
    }

    // A silent server: the bound ends the one fetch of the run, and a check destroyed
    // while it waits neither asks nor crashes when events run on.
    void serverSilent() {
        PageServer server;
        server.silent = true;
        QVERIFY(server.listen());
        ScriptedDialogs dialogs;
        VersionCheck check(dialogs);
        check.setFetchBound(std::chrono::milliseconds(400));
        QSignalSpy finished(&check, &VersionCheck::checkFinished);
        check.ResetVersionCheck();
        check.CheckNewVersion(server.productPage(), ownCaption);
        // Well under the bound of a real run, so only the bound set here can end the wait.
        QVERIFY(finished.wait(8000));
        QCOMPARE(finished.first().first().toString(), QString());
        for (int tick = 0; tick < 5; ++tick)
            check.CheckNewVersion(server.productPage(), ownCaption);
        {
            VersionCheck abandoned(dialogs);
            abandoned.ResetVersionCheck();
            abandoned.CheckNewVersion(server.productPage(), ownCaption);
            QTRY_COMPARE(server.requestLines.size(), 2);
        }
        QTest::qWait(100);
        QCOMPARE(server.requestLines.size(), 2);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(check.LastWebVersion(), QStringLiteral("0"));
        QVERIFY(dialogs.shown.isEmpty());
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
        QTest::newRow("cannot be found")
            << QStringLiteral("<h1>无法找到该页</h1>软件版本：1 软件售价：").toUtf8() << html << "";
        QTest::newRow("cannot be shown")
            << QStringLiteral("<h1>无法显示网页</h1>软件版本：1 软件售价：").toUtf8() << html << "";
        // With the style sheet read, "a   b" would keep its blanks.
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

private:
    TestFolder m_folder;
    UrlCatcher m_urls;
};

QTEST_MAIN(VersionCheckTest)
#include "tst_versioncheck.moc"
