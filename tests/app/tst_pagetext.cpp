#include "PageText.h"
#include "TestFolder.h"

#include <QTest>

// 软件版本：軟體 in GBK, written out by hand; 軟體 exists in GBK but not in GB2312.
static const QByteArray gbkText = QByteArray::fromHex("c8edbcfeb0e6b1bea3badc9bf377");

class PageTextTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(m_folder.isValid());
        QVERIFY(TestFolder::write(m_folder.file("pre.css"), "p { white-space: pre }"));
    }

    void text_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("text");
        const QByteArray html = "text/html";
        const QString gbkRead = QStringLiteral("软件版本：軟體");
        QTest::newRow("GBK by meta") << "<meta charset=gbk><body>" + gbkText << html << gbkRead;
        QTest::newRow("GB2312 label on GBK text")
            << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">" + gbkText
            << html << gbkRead;
        QTest::newRow("GBK by header, outranks meta")
            << "<meta charset=utf-8>" + gbkText << QByteArray("text/html; charset=\"GBK\"")
            << gbkRead;
        QTest::newRow("unknown header charset, meta read")
            << "<meta charset=gb2312>" + gbkText << QByteArray("text/html; charset=x-none")
            << gbkRead;
        QTest::newRow("undeclared GBK") << gbkText << html << gbkRead;
        QTest::newRow("UTF-8 with BOM, outranks header")
            << QStringLiteral("\uFEFF<p>软件</p>").toUtf8() << QByteArray("text/html; charset=gbk")
            << "软件";
        QTest::newRow("entities") << QByteArray(
                                         "<p>a&amp;b &lt;c&gt; &#36719;&#x4EF6; 1&nbsp;元</p>")
                                  << html << "a&b <c> 软件 1 元";
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
};

QTEST_MAIN(PageTextTest)
#include "tst_pagetext.moc"
