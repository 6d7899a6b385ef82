#include "AboutBox.h"
#include "MakerSite.h"
#include "TestFolder.h"

#include <QDesktopServices>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

// The about box shows the caption's version, opens the home page from its logo and labels,
// and is one box at a time; the online help opens the chat page.
class AboutBoxTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "open");
        m_window.setWindowTitle(QStringLiteral("Quillmarsh报关单打印软件2.05"));
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }

    void showsTheVersionAndADrawnLogo() {
        AboutBox* box = ShowAboutBox(m_window);
        QVERIFY(box->isVisible() && !box->isModal());
        QVERIFY(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QStringList texts;
        for (QLabel* label : box->labels()) {
            texts.append(label->text());
            QVERIFY(box->rect().contains(label->geometry()));
            QVERIFY(!label->geometry().intersects(box->logo()->geometry()));
            QVERIFY(!label->geometry().intersects(box->okButton()->geometry()));
        }
        QVERIFY2(texts.contains(QStringLiteral("Quillmarsh报关单打印软件")),
                 qPrintable(texts.join(u'|')));
        QVERIFY2(texts.join(u'|').contains(QStringLiteral("2.05")), qPrintable(texts.join(u'|')));
        const QImage logo = box->logo()->grab().toImage();
        QSet<QRgb> colours; // more than a blank
        for (int y = 0; y < logo.height(); y += 4)
            for (int x = 0; x < logo.width(); x += 4)
                colours.insert(logo.pixel(x, y));
        QVERIFY(colours.size() > 5);
    }

    void clickOpensHomePage_data() {
        QTest::addColumn<QString>("control");
        for (const char* name : {"IMG", "lblTitle", "lblVersion", "lblCopyright", "lblSite"})
            QTest::newRow(name) << name;
    }
    void clickOpensHomePage() {
        QFETCH(QString, control);
        m_urls.opened.clear();
        auto* widget = ShowAboutBox(m_window)->findChild<QWidget*>(control);
        QVERIFY(widget);
        QTest::mouseClick(widget, Qt::RightButton);
        QTest::mouseClick(widget, Qt::LeftButton);
        QCOMPARE(m_urls.opened, QList<QUrl>{MakerSite::homePage()});
    }

    void okClosesAndTheNextOpensAnew() {
        m_urls.opened.clear();
        QPointer<AboutBox> box = ShowAboutBox(m_window);
        QCOMPARE(ShowAboutBox(m_window), box.data()); // one box at a time
        QTest::mouseClick(box->okButton(), Qt::LeftButton);
        QVERIFY(!box->isVisible());
        AboutBox* again = ShowAboutBox(m_window);
        QVERIFY(again != box.data() && again->isVisible());
        QTRY_VERIFY(box.isNull()); // the closed one is gone
        MakerSite::OpenChatHelp();
        QCOMPARE(m_urls.opened, QList<QUrl>{MakerSite::chatHelpPage()});
    }

private:
    TestFolder m_folder;
    UrlCatcher m_urls;
    QMainWindow m_window;
};

QTEST_MAIN(AboutBoxTest)
#include "tst_aboutbox.moc"
