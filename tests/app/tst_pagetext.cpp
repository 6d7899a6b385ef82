#include "PageText.h"
#include "TestFolder.h"

#include <QTest>

// GBK bytes written out by hand, so the decoder is checked against bytes it did not make.
static QByteArray gbk(const char* hex) {
    return QByteArray::fromHex(hex);
}
static const char* const gbkVersionLabel = "c8edbcfeb0e6b1bea3ba"; // 软件版本：
static const char* const gbkTraditional = "dc9bf377";              // 軟體, only in GBK

class PageTextTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_folder.isValid()); }

    void bodyText_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        QTest::newRow("markup removed") << "<html><body><p>软件<b>版本</b>：V1.14</p></body></html>"
                                        << "软件版本：V1.14";
        QTest::newRow("only the body")
            << "<html><head><title>标题</title></head><body>正文</body></html>"
            << "正文";
        QTest::newRow("no body tag, head skipped") << "<head><title>标题</title></head>正文"
                                                   << "正文";
        QTest::newRow("named entities") << "<body>a&amp;b &lt;c&gt; &quot;d&quot;</body>"
                                        << "a&b <c> \"d\"";
        QTest::newRow("numeric entities") << "<body>&#36719;&#20214;&#x7248;&#X672C;&#65306;</body>"
                                          << "软件版本：";
        QTest::newRow("nbsp kept inside") << "<body>V1.14&nbsp;元</body>"
                                          << "V1.14\u00A0元";
        QTest::newRow("nbsp without semicolon") << "<body>a&nbspb</body>"
                                                << "a\u00A0b";
        QTest::newRow("unknown entity literal") << "<body>&bogus; &</body>"
                                                << "&bogus; &";
        QTest::newRow("invalid code points") << "<body>&#0;&#xD800;&#99999999999;</body>"
                                             << "\uFFFD\uFFFD\uFFFD";
        QTest::newRow("scripts and styles hidden")
            << "<body><script>var s='软件版本：9.9';</script><style>p{}</style>正文</body>"
            << "正文";
        QTest::newRow("comments hidden") << "<body>a<!-- 软件版本：9.9 -->b</body>"
                                         << "ab";
        QTest::newRow("quoted > in attribute") << "<body><a title=\"x>y\" href='/'>链接</a></body>"
                                               << "链接";
        QTest::newRow("lone less-than") << "<body>1 < 2</body>"
                                        << "1 < 2";
        QTest::newRow("blanks collapse") << "<body>  a \r\n\t  b  </body>"
                                         << "a b";
        QTest::newRow("cells and rows")
            << "<body><table><tr><td>软件版本：</td><td> V1.14 </td></tr>"
               "<tr><td>软件售价：</td><td>980</td></tr></table></body>"
            << "软件版本：\tV1.14\n软件售价：\t980";
        QTest::newRow("line breaks") << "<body>a<br>b<BR/>c</body>"
                                     << "a\nb\nc";
        QTest::newRow("upper-case tags") << "<HTML><BODY><P>正文</P></BODY></HTML>"
                                         << "正文";
        QTest::newRow("unterminated tag") << "<body>a<b"
                                          << "a";
        QTest::newRow("unterminated comment") << "<body>a<!-- b"
                                              << "a";
        QTest::newRow("empty") << ""
                               << "";
    }
    void bodyText() {
        QFETCH(QString, html);
        QFETCH(QString, text);
        QCOMPARE(htmlBodyText(html), text);
    }

    void decoding_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("contains");
        const QByteArray gbkBody =
            "<body>" + gbk(gbkVersionLabel) + gbk(gbkTraditional) + "</body>";
        QTest::newRow("GBK in the header")
            << gbkBody << QByteArray("text/html; charset=GBK") << "软件版本：軟體";
        QTest::newRow("GB2312 label on GBK text")
            << "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
               "</head>" +
                   gbkBody
            << QByteArray("text/html") << "软件版本：軟體";
        QTest::newRow("GB18030 meta charset")
            << "<meta charset='GB18030'>" + gbkBody << QByteArray() << "软件版本：軟體";
        QTest::newRow("quoted charset in header")
            << gbkBody << QByteArray("text/html; charset=\"gbk\"") << "软件版本：軟體";
        QTest::newRow("undeclared GBK") << gbkBody << QByteArray("text/html") << "软件版本：軟體";
        QTest::newRow("undeclared UTF-8")
            << QByteArray("<body>软件版本：</body>") << QByteArray("text/html") << "软件版本：";
        QTest::newRow("unknown charset")
            << gbkBody << QByteArray("text/html; charset=x-nonsense") << "软件版本：軟體";
        QTest::newRow("header before meta")
            << QByteArray("<meta charset=\"iso-8859-1\"><body>软件版本：</body>")
            << QByteArray("text/html; charset=utf-8") << "软件版本：";
        QTest::newRow("byte order mark before header")
            << QByteArray("\xEF\xBB\xBF<body>软件版本：</body>")
            << QByteArray("text/html; charset=gbk") << "软件版本：";
    }
    void decoding() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(QString, contains);
        const QString text = pageText(body, contentType);
        QVERIFY2(text.contains(contains), qPrintable(text));
        QVERIFY(!text.contains(QChar(0xFFFD)));
    }

    void iconvFallback() {
        const auto text = decodeWithIconv(gbk(gbkVersionLabel) + gbk(gbkTraditional), "GBK");
        QVERIFY(text);
        QCOMPARE(*text, QStringLiteral("软件版本：軟體"));
        QVERIFY(!decodeWithIconv("abc", "x-no-such-charset"));
        // A broken byte in the middle costs one character, not the rest of the page.
        const auto broken = decodeWithIconv("a\xFF" + gbk(gbkTraditional) + "b", "GBK");
        QVERIFY(broken);
        QCOMPARE(*broken, QStringLiteral("a\uFFFD軟體b"));
        const auto cutOff = decodeWithIconv("ab\xC8", "GBK");
        QVERIFY(cutOff);
        QCOMPARE(*cutOff, QStringLiteral("ab\uFFFD"));
        const QByteArray large = QByteArray(20000, 'x') + gbk(gbkTraditional);
        QCOMPARE(decodeWithIconv(large, "GBK")->size(), 20002);
    }

    void errorPages_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("text");
        QTest::newRow("cannot be found")
            << QByteArray("<body>无法找到该页 软件版本：V1.14 软件售价：</body>")
            << QByteArray("text/html") << "";
        QTest::newRow("cannot be shown")
            << QByteArray("<body><h1>无法显示网页</h1>软件版本：V1.14 软件售价：</body>")
            << QByteArray("text/html") << "";
        QTest::newRow("plain text page")
            << QByteArray("  软件版本：<V1.14>  ") << QByteArray("text/plain; charset=utf-8")
            << "软件版本：<V1.14>";
        QTest::newRow("ordinary page")
            << QByteArray("<body> 找到了 </body>") << QByteArray("text/html") << "找到了";
    }
    void errorPages() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(QString, text);
        QCOMPARE(pageText(body, contentType), text);
    }

private:
    TestFolder m_folder;
};

QTEST_GUILESS_MAIN(PageTextTest)
#include "tst_pagetext.moc"
